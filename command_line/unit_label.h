// The unit a run works on, as a production line names it (--unit=ID or a scanner's output read
// with --unit-from=FILE), for the log line and the result.
#pragma once

#include <QString>

namespace command_line {

// Why `unit` cannot name a unit in the log (empty, too long or holding control characters);
// empty when it can.
QString unitRefusal(const QString& unit);

// The first line of the regular file at `path`, without its line break, into `unit`; false,
// with the reason, when the file cannot be read. Only the first few KiB are read: a scanner's
// line is short, and a device or an endless file must not hold the run.
bool readUnitFrom(const QString& path, QString& unit, QString& why);

}  // namespace command_line
