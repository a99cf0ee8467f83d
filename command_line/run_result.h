// What a subcommand's run prints besides its exit code: the result on standard output, a line or
// a JSON object, with the hash of the file it wrote or read.
#pragma once

#include <QJsonObject>
#include <QString>

#include "command_line.h"

namespace command_line {

// The SHA-256 of a regular file in lower-case hex; empty when it is no regular file or unreadable.
QString sha256Of(const QString& path);

// The result as a JSON object: "result", "exit_code", "message", and "file", "sha256" and
// "version" where the run has them, and the subcommand's details. The hash is of the file as it
// is after the run.
QJsonObject resultObject(const SubcommandResult& result);

// The result on standard output (`fd`): `object` as one JSON line, or `line` when `object` is
// empty. With the trace on standard output, the result comes after all of it. False, with errno,
// when `fd` did not take all of it.
bool printResult(int fd, const QJsonObject& object, const QString& line);

}  // namespace command_line
