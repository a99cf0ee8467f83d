// What a subcommand's run leaves behind besides its exit code: the result on standard output
// (a line, or a JSON object), the transaction trace where --trace sends it, and one line in the
// --log file.
#pragma once

#include "drive_link.h"

#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <memory>

#include "command_line.h"
#include "replacing_write.h"

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

// What the log says of one attempt at a run besides its result.
struct RunFacts {
    QDateTime started;  // UTC
    const char* program;
    const char* subcommand;
    QString adapter;  // the adapter's serial number, or "simulated"
    double seconds;   // how long the attempt took
    int attempt = 1;  // 1, then 2, ... when --retries starts the run again
};

// The record of one attempt at a run, as the log files it: the result with the run's facts.
QJsonObject runRecord(const QJsonObject& result, const RunFacts& facts);

// Where a production line keeps its records, one per attempt at a run: a file of JSON lines
// (--log=FILE) or the system journal (--log=journal).
class RunLog {
public:
    virtual ~RunLog() = default;
    // Files one record (runRecord's); false, with the reason, when it is lost.
    virtual bool append(const QJsonObject& record, QString& why) = 0;
};

// The log --log=`where` names: the system journal for "journal", else the file `where`, opened
// for appending (created when missing; several processes may append to it at once). Null, with
// the reason, when it cannot be used.
std::unique_ptr<RunLog> openRunLog(const QString& where, QString& why);

// The file --trace names, open for the link's trace.
struct TraceFile {
    bool toStandardOutput = false;                // "-"
    std::unique_ptr<files::ReplacingWrite> file;  // null for standard output or no trace
};

// Opens what --trace=`path` asks for: standard output for "-", nothing for an empty path, a
// character device or a FIFO as it is, else a new file beside `path` that takes its place only
// when the whole trace is written, so a trace cut short by a full disk leaves the old file as it
// was; a symbolic link, a folder or a socket is refused. False, with the reason, when it cannot
// be opened.
bool openTrace(const QString& path, TraceFile& file, QString& why);

// While it lives, the link's trace goes to `file` (opened by openTrace), or nowhere when it
// has neither.
class TraceRouted {
public:
    TraceRouted(drive_link::Link& link, TraceFile file);
    ~TraceRouted();
    TraceRouted(const TraceRouted&) = delete;
    TraceRouted& operator=(const TraceRouted&) = delete;

    // Whether some of the trace could not be written.
    bool lost() const { return writeError_ != 0 || (file_.file && file_.file->lost()); }
    // Ends the trace and puts the file in place; false, with the reason, when some of it was
    // lost (then the old file stays).
    bool complete(QString& why);

private:
    drive_link::Link& link_;
    TraceFile file_;
    int writeError_ = 0;  // errno of the first write to standard output that failed
};

}  // namespace command_line
