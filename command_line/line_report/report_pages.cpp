#include "report_pages.h"

#include <QJsonArray>
#include <cmath>

#include "terminal_text.h"

namespace line_report {

using terminal_text::escapedForTerminal;

namespace {
QString percent(const std::optional<double>& fraction) {
    return fraction ? QString::number(*fraction * 100, 'f', 1) + " %" : QString("n/a");
}

QJsonValue fractionValue(const std::optional<double>& fraction) {
    return fraction ? QJsonValue(*fraction) : QJsonValue(QJsonValue::Null);
}

// Seconds to the millisecond: the clock of a run says no more.
double milliseconds(double seconds) {
    return std::round(seconds * 1000) / 1000;
}

QString column(const QString& text, int width) {
    return width < 0 ? text.leftJustified(-width) : text.rightJustified(width);
}
}  // namespace

QString summaryLine(const LineFigures& figures) {
    return QString("%1 runs, %2 units, first-pass yield %3, final yield %4")
        .arg(figures.runs)
        .arg(figures.units)
        .arg(percent(figures.firstPassYield), percent(figures.finalYield));
}

QString reportText(const LineFigures& figures) {
    QStringList lines{summaryLine(figures)};
    lines += QString("runs without a unit: %1; skipped lines: %2; duplicate records: %3")
                 .arg(figures.unnamedRuns)
                 .arg(figures.skippedLines)
                 .arg(figures.duplicateRecords);
    QStringList classes;
    for (const auto& [name, count] : figures.failuresByClass) {
        classes += QString("%1 %2").arg(name).arg(count);
    }
    lines += "failures by class: " + (classes.isEmpty() ? QString("none") : classes.join(", "));
    if (!figures.adapters.empty()) {
        lines += "";
        lines += column("adapter", -20) + column("runs", 8) + column("failures", 10) +
                 column("rate", 9) + "  alarm";
        for (const AdapterFigures& adapter : figures.adapters) {
            lines += column(escapedForTerminal(adapter.adapter), -20) +
                     column(QString::number(adapter.runs), 8) +
                     column(QString::number(adapter.failures), 10) +
                     column(percent(double(adapter.failures) / adapter.runs), 9) +
                     (adapter.alarm ? "  ALARM" : "");
        }
    }
    if (!figures.durations.empty()) {
        lines += "";
        lines += column("duration (s)", -20) + column("median", 10) + column("p95", 10);
        for (const auto& [subcommand, spread] : figures.durations) {
            lines += column(escapedForTerminal(subcommand), -20) +
                     column(QString::number(spread.median, 'f', 3), 10) +
                     column(QString::number(spread.p95, 'f', 3), 10);
        }
    }
    if (!figures.images.empty()) {
        lines += "";
        lines += column("image sha256", -66) + column("runs", 8) + column("failures", 10);
        for (const ImageFigures& image : figures.images) {
            lines += column(escapedForTerminal(image.sha256), -66) +
                     column(QString::number(image.runs), 8) +
                     column(QString::number(image.failures), 10);
        }
    }
    return lines.join('\n');
}

QJsonObject reportJson(const LineFigures& figures) {
    QJsonObject classes;
    for (const auto& [name, count] : figures.failuresByClass) {
        classes[name] = count;
    }
    QJsonArray adapters;
    for (const AdapterFigures& adapter : figures.adapters) {
        adapters.append(QJsonObject{{"adapter", adapter.adapter},
                                    {"runs", adapter.runs},
                                    {"failures", adapter.failures},
                                    {"alarm", adapter.alarm}});
    }
    QJsonObject durations;
    for (const auto& [subcommand, spread] : figures.durations) {
        durations[subcommand] =
            QJsonObject{{"median", milliseconds(spread.median)}, {"p95", milliseconds(spread.p95)}};
    }
    QJsonArray images;
    for (const ImageFigures& image : figures.images) {
        images.append(QJsonObject{
            {"sha256", image.sha256}, {"runs", image.runs}, {"failures", image.failures}});
    }
    return {{"runs", figures.runs},
            {"units", figures.units},
            {"unnamed_runs", figures.unnamedRuns},
            {"skipped_lines", figures.skippedLines},
            {"duplicate_records", figures.duplicateRecords},
            {"first_pass_yield", fractionValue(figures.firstPassYield)},
            {"final_yield", fractionValue(figures.finalYield)},
            {"failures_by_class", classes},
            {"adapters", adapters},
            {"duration_s", durations},
            {"images", images}};
}

}  // namespace line_report
