// The unit a run works on, as a production line names it (--unit=ID or a scanner's output read
// with --unit-from=FILE), for the log line and the result. A label is filed, searched and shown
// on a terminal or a page, so it must read as what it is: two units that look the same, or a
// label that rewrites what is shown around it, would put one unit's record on another.
#pragma once

#include <QByteArray>
#include <QString>

namespace command_line {

// Why `label` cannot name a unit, said after its subject ("is not valid UTF-8", ...); empty when
// it can: 1 to 64 characters of valid UTF-8, none of them a control (NUL included), format, line
// or paragraph separator character or U+FFFD, and no white space at either end.
QString unitLabelRefusal(const QByteArray& label);

// The same rules for --unit's value as the program was given it, with the reason: "--unit ...".
// The line's arguments come decoded already, with U+FFFD where their bytes were no UTF-8.
QString unitRefusal(const QString& unit);

// The first line of the regular file at `path` (up to its first line break, or the whole file
// when it has none) into `unit`; false, with the reason, when the file cannot be read, is not a
// regular file, lies in the kernel's own file systems (/proc, /sys and the like, whose files
// hold no scanner's output but the process's secrets) or holds a label the rules refuse. Only
// the first few KiB are read: a scanner's line is short, and an endless file must not hold the
// run.
bool readUnitFrom(const QString& path, QString& unit, QString& why);

}  // namespace command_line
