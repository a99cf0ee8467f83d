// The --log a production line keeps: one record per attempt at a run, in a file of JSON lines or
// in the system journal.
#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <memory>

namespace command_line {

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

}  // namespace command_line
