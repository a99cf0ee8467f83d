// One JSON object per line, as the subcommands print their events and results and append to
// their log.
#pragma once

#include <QJsonObject>
#include <cstddef>

namespace command_line {

// Writes all `size` bytes at `data`, going on after a short or an interrupted write; false, with
// errno, when the rest cannot be written.
bool writeAll(int fd, const char* data, size_t size);

// Writes `object` and a line break with a single write(2), so that lines that several
// processes append to one file never interleave. False, with errno, when not all of it was
// written.
bool writeJsonLine(int fd, const QJsonObject& object);

}  // namespace command_line
