// Text from outside the program (a log's adapter name, a file name, a drive's message) made safe
// to print on a terminal: a control character could retitle the terminal, move the cursor over
// earlier lines or forge lines of its own, and a format character (U+202E) can show a text in
// another order than it is read.
#pragma once

#include <QString>

namespace terminal_text {

// `text` with every control (C0, DEL, C1), format (Cf), line and paragraph separator character
// written as an escape: \x1b, \u202e, \U000e0001. A line break is escaped too: one field stays
// on one line.
QString escapedForTerminal(const QString& text);

// The same for a text of several lines: its line breaks stay, all else is escaped.
QString escapedLines(const QString& text);

}  // namespace terminal_text
