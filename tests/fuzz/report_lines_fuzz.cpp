// A log of any bytes through the report's line reader, in chunks of a size the input picks: the
// figures are those of the same log cut at its line breaks in memory (a line past the limit
// skipped, a blank one not counted), and the log given twice holds the same runs, each of its
// records then once more a duplicate, also when they are kept on disk (one input in eight).
#include <QBuffer>
#include <cmath>

#include "exit_codes.h"
#include "fuzz_check.h"
#include "line_figures.h"
#include "log_reader.h"
#include "report_pages.h"
#include "run_records.h"

using namespace line_report;

namespace {
LineFigures read(const QByteArray& log, ReadLimits limits, SpillLimits memory = {}) {
    QBuffer buffer;
    buffer.setData(log);
    buffer.open(QIODevice::ReadOnly);
    LineTally tally({}, memory);
    QString why;
    FUZZ_CHECK(readRecords(buffer, tally, why, limits), "a buffer reads to its end");
    return tally.figures(command_line::exitClassName);
}

LineFigures cutInMemory(const QByteArray& log, qint64 mostLineBytes) {
    LineTally tally;
    RunRecord record;
    const QList<QByteArray> lines = log.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        const QByteArray& line = lines[i];
        if (line.size() > mostLineBytes) {
            tally.skipLines(1);
        } else if (line.trimmed().isEmpty()) {
            continue;
        } else if (parseRecordLine(line.trimmed(), record)) {
            tally.add(record);
        } else {
            tally.skipLines(1);
        }
    }
    return tally.figures(command_line::exitClassName);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray log(reinterpret_cast<const char*>(data), int(size));
    const ReadLimits limits{qint64(1 + size % 67), qint64(200 + (size * 7) % 800)};
    const LineFigures figures = read(log, limits);
    FUZZ_CHECK(reportJson(figures) == reportJson(cutInMemory(log, limits.mostLineBytes)),
               "the figures of the log cut in memory");
    const qint64 lines = log.count('\n') + 1;
    FUZZ_CHECK(figures.runs + figures.duplicateRecords + figures.skippedLines <= lines,
               "no line counted twice");
    for (const auto& [subcommand, spread] : figures.durations) {
        FUZZ_CHECK(spread.median >= 0 && spread.median <= spread.p95 && std::isfinite(spread.p95),
                   "durations from 0 up");
    }
    // One input in eight keeps the doubled log past a tiny bound, in runs on disk: every input
    // through temporary files would slow the fuzzer tenfold for a path the others share.
    const SpillLimits memory = size % 8 == 0 ? SpillLimits{512, {}} : SpillLimits{};
    const LineFigures twice =
        read(log + '\n' + log, ReadLimits{4096, limits.mostLineBytes}, memory);
    FUZZ_CHECK(twice.runs == figures.runs && twice.units == figures.units,
               "the same log twice holds the same runs and units");
    FUZZ_CHECK(twice.duplicateRecords == 2 * figures.duplicateRecords + figures.runs &&
                   twice.skippedLines == 2 * figures.skippedLines,
               "each record of the second copy a duplicate");
    return 0;
}
