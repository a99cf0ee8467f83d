// One attempt at a unit, as every front end that works units files it: `tressel flash --unit`
// and each tile of the flashing station. The same record, the same retry rule, so that the line
// report reads them all alike.
#pragma once

#include <QJsonObject>
#include <QString>

#include "command_line.h"

namespace command_line {

// A lost link, a drive that did not answer or a check that failed may be the line's noise or a
// drive that needed a power cycle: worth the whole run again. A refused file or command line
// will be refused again, and an adapter that cannot be opened is the station's fault, not the
// unit's: someone must look at it before more units are worked on.
bool worthRetrying(int exitCode);

// The attempt's outcome as the result and the log show it: the result with the unit (when one
// is named) and, when retries were asked for, the attempt's number.
QJsonObject attemptOutcome(const SubcommandResult& result, const QString& unit, int attempt,
                           bool retriesAsked);

// The drive's work is done, but a line script reading the exit code must not file the unit as
// done while its record (the log line, the trace asked for, the simulated drive's state) is lost.
// A failed run keeps its own failure.
void markNotRecorded(SubcommandResult& result, QJsonObject& outcome);

}  // namespace command_line
