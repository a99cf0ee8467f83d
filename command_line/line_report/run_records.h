// The runs a production line's log holds: our own log lines, or the same records as
// `journalctl -o json` prints them from the journal.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

namespace line_report {

// One attempt at a run, as the log records it.
struct RunRecord {
    qint64 timeMs = 0;  // start of the attempt, milliseconds since the epoch, UTC
    QString unit;       // empty when the run named none
    QString adapter;
    QString subcommand;
    QString sha256;  // of the image or settings file; empty when the run had none
    int exitCode = 0;
    double durationS = 0;
    int attempt = 1;
    bool passed() const { return exitCode == 0; }
};

// Whose journal records a report believes. Any process may send an entry with our message id and
// fields; what the journal daemon adds itself (the fields starting with '_') cannot be forged by
// the sender, so an entry is ours only when its daemon-given command name, where it has one, and
// its identifier are one of the programs', and, when the line's user is known, its user id.
struct RecordTrust {
    std::optional<uint> journalUid;  // report --journal-user
};

// The record one line holds; false for a line that is not one of our records (malformed, or
// another program's, or with a duration that is not a number of seconds from 0 up, or a journal
// entry `trust` does not believe), which a report skips.
bool parseRecordLine(const QByteArray& line, RunRecord& record, const RecordTrust& trust = {});

}  // namespace line_report
