// What a subcommand's run leaves behind besides its exit code: the result on standard output
// (a line, or a JSON object), the transaction trace where --trace sends it, and one line in the
// --log file.
#pragma once

#include <QJsonObject>
#include <QString>

#include "command_line.h"

// The result as a JSON object: "result", "exit_code", "message", and "file", "sha256" and
// "version" where the run has them. The hash is of the file as it is after the run.
QJsonObject resultObject(const SubcommandResult& result);

// The log a production line keeps: one JSON line appended per run. Several processes may
// append to the same file at once.
class RunLog {
public:
    RunLog() = default;
    RunLog(const RunLog&) = delete;
    RunLog& operator=(const RunLog&) = delete;
    ~RunLog();
    // Opens `path` for appending (created when missing); false, with the reason, when it cannot.
    bool open(const QString& path, QString& why);
    bool isOpen() const { return fd_ >= 0; }
    // Appends `entry` as one whole line; false, with the reason, when it could not.
    bool append(const QJsonObject& entry, QString& why);

private:
    int fd_ = -1;
};

// While it lives, what the link prints on standard output (its transaction trace) goes to
// `traceFd`, or to nowhere when that is -1; `resultFd` is where standard output was.
// With `traceFd` equal to STDOUT_FILENO the trace stays on standard output.
class TraceRedirected {
public:
    explicit TraceRedirected(int traceFd);
    ~TraceRedirected();
    TraceRedirected(const TraceRedirected&) = delete;
    TraceRedirected& operator=(const TraceRedirected&) = delete;
    int resultFd() const { return resultFd_; }

private:
    int resultFd_;
};
