// The run log in the system journal (--log=journal): each record as one journal entry whose
// fields are the log line's keys, so a line's stations can forward their records with the
// journal's own tools.
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <memory>

#include "run_log.h"

namespace command_line {

// The value of --log that names the system journal rather than a file (a file of that name is
// still reached as ./journal).
inline constexpr char kJournalLog[] = "journal";

// Marks the run records among the journal's entries, for readers that select them.
inline constexpr char kRunRecordMessageId[] = "8c1e4b7a2f5d4e6b9a0c3d2e1f4a5b6c";

// The journal entry of a record: MESSAGE_ID, a one-line MESSAGE, PRIORITY (info when done,
// error else), SYSLOG_IDENTIFIER (the program) and each key of the record as KMR_ and the key in
// capitals, its value as text (numbers as JSON writes them, nested values as compact JSON).
QList<QByteArray> journalFields(const QJsonObject& record);

// The system journal as the run log; null, with the reason, when this system has none running
// (or this build cannot reach it). Nothing is sent to find out.
std::unique_ptr<RunLog> openJournalLog(QString& why);

}  // namespace command_line
