// What a subcommand's run leaves behind besides its exit code: the result on standard output
// (a line, or a JSON object), the transaction trace where --trace sends it, and one line in the
// --log file.
#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QString>

#include "command_line.h"

namespace command_line {

// The result as a JSON object: "result", "exit_code", "message", and "file", "sha256" and
// "version" where the run has them, and the subcommand's details. The hash is of the file as it
// is after the run.
QJsonObject resultObject(const SubcommandResult& result);

// The result on standard output (`fd`): `object` as one JSON line, or `line` when `object` is
// empty. With the trace on standard output, the result comes after all of it.
void printResult(int fd, const QJsonObject& object, const QString& line);

// What the log says of one attempt at a run besides its result.
struct RunFacts {
    QDateTime started;  // UTC
    const char* program;
    const char* subcommand;
    QString adapter;  // the adapter's serial number, or "simulated"
    double seconds;   // how long the attempt took
    int attempt = 1;  // 1, then 2, ... when --retries starts the run again
};

// The log a production line keeps: one JSON line appended per attempt at a run. Several processes
// may append to the same file at once.
class RunLog {
public:
    RunLog() = default;
    RunLog(const RunLog&) = delete;
    RunLog& operator=(const RunLog&) = delete;
    ~RunLog();
    // Opens `path` for appending (created when missing); false, with the reason, when it cannot.
    bool open(const QString& path, QString& why);
    bool isOpen() const { return fd_ >= 0; }
    // Appends the run's result and facts as one whole line; false, with the reason, when it
    // could not.
    bool append(const QJsonObject& result, const RunFacts& facts, QString& why);

private:
    int fd_ = -1;
};

// The file descriptor --trace=`path` asks for: STDOUT_FILENO for "-", -1 (no trace) for an
// empty path, else the file opened for writing; false, with the reason, when it cannot be.
bool openTrace(const QString& path, int& fd, QString& why);

// While it lives, the link's trace goes to `traceFd` (opened by openTrace), or nowhere when
// that is -1; STDOUT_FILENO leaves it on standard output. The file is closed at the end.
class TraceRouted {
public:
    explicit TraceRouted(int traceFd);
    ~TraceRouted();
    TraceRouted(const TraceRouted&) = delete;
    TraceRouted& operator=(const TraceRouted&) = delete;

private:
    int traceFd_;
};

}  // namespace command_line
