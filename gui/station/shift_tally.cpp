#include "shift_tally.h"

#include <QJsonDocument>
#include <QStringList>
#include <cmath>

#include "exit_codes.h"

namespace gui_station {

namespace {
// Whole percent where it is one: the strip is read from across the line.
QString percent(const std::optional<double>& share) {
    return share ? QString("%1 %").arg(std::round(*share * 1000) / 10) : QString("-");
}
}  // namespace

ShiftTally::ShiftTally() : figures_(tally_.figures(command_line::exitClassName)) {}

QString ShiftTally::file(const QJsonObject& record) {
    line_report::RunRecord parsed;
    if (!line_report::parseRecordLine(QJsonDocument(record).toJson(QJsonDocument::Compact),
                                      parsed) ||
        !tally_.add(parsed)) {
        return {};
    }
    figures_ = tally_.figures(command_line::exitClassName);
    return parsed.adapter;
}

QString ShiftTally::stripText() const {
    QStringList alarmed;
    for (const line_report::AdapterFigures& adapter : figures_.adapters) {
        if (adapter.alarm) {
            alarmed += adapter.adapter;
        }
    }
    return QString("units %1   first-pass yield %2   final yield %3   adapter alarm: %4")
        .arg(figures_.units)
        .arg(percent(figures_.firstPassYield), percent(figures_.finalYield),
             alarmed.isEmpty() ? QString("none") : alarmed.join(", "));
}

bool ShiftTally::alarmed(const QString& adapter) const {
    for (const line_report::AdapterFigures& figures : figures_.adapters) {
        if (figures.adapter == adapter) {
            return figures.alarm;
        }
    }
    return false;
}

}  // namespace gui_station
