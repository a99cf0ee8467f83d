// The shift's figures on the station's strip: the records the tiles file, counted by the line
// report's own tally and alarm as `report` counts the log lines they become.
#pragma once

#include <QJsonObject>
#include <QString>

#include "line_figures.h"

namespace gui_station {

class ShiftTally {
public:
    ShiftTally();
    // Counts a record a tile filed; the adapter it names, or empty for what a report would skip.
    QString file(const QJsonObject& record);
    // "units N   first-pass yield P %   final yield P %   adapter alarm: none" (or the adapters).
    QString stripText() const;
    bool alarmed(const QString& adapter) const;

private:
    line_report::LineTally tally_;
    line_report::LineFigures figures_;
};

}  // namespace gui_station
