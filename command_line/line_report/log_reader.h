// Reading a log of any size, from a file or a pipe, line by line in chunks of bounded size: the
// report's memory does not grow with the log, only with the runs and units it counts.
#pragma once

#include <QIODevice>
#include <QString>

#include "line_figures.h"
#include "run_records.h"

namespace line_report {

struct ReadLimits {
    qint64 chunkBytes = 64 * 1024;
    // Far above any record (a journal entry of ours is a few hundred bytes): a longer line is
    // skipped, and only this much of it is ever held.
    qint64 mostLineBytes = 64 * 1024;
};

// Hands every record of `input`, read to its end, to the tally and counts the lines that are
// none as skipped (an overlong line among them); blank lines are neither. False, with the
// reason, when reading failed or the tally could not keep a record; what was read up to then is
// counted all the same. Journal entries `trust` does not believe are skipped lines.
bool readRecords(QIODevice& input, LineTally& into, QString& why, ReadLimits limits = {},
                 const RecordTrust& trust = {});

}  // namespace line_report
