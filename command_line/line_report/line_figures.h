// The figures of a production line's report, from the runs its log holds.
#pragma once

#include <QString>
#include <functional>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "adapter_alarm.h"
#include "run_records.h"
#include "spill_sort.h"

namespace line_report {

struct Spread {
    double median;
    double p95;  // the nearest-rank 95th percentile: no more than 5 % of the runs took longer
};

struct AdapterFigures {
    QString adapter;
    qint64 runs;
    qint64 failures;
    bool alarm;
};

struct ImageFigures {
    QString sha256;
    qint64 runs;
    qint64 failures;
};

// The units first worked on in one stretch of the log, for the yield over time.
struct YieldStretch {
    qint64 firstMs;  // the first unit's first attempt
    qint64 units;
    qint64 firstPass;
    qint64 finalPass;
};

struct LineFigures {
    qint64 runs = 0;
    qint64 units = 0;
    qint64 unnamedRuns = 0;  // runs without a unit: counted as runs, in no unit and no yield
    qint64 skippedLines = 0;
    qint64 duplicateRecords = 0;           // records of a run counted already: not counted again
    std::optional<double> firstPassYield;  // none without units
    std::optional<double> finalYield;
    std::vector<std::pair<QString, qint64>> failuresByClass;  // most frequent first
    std::vector<AdapterFigures> adapters;                     // by name
    std::map<QString, Spread> durations;                      // by subcommand
    std::vector<ImageFigures> images;                         // flash runs' images, most runs first
    std::vector<YieldStretch> yieldOverTime;                  // in time order
};

// The figures of a log, taken record by record in any order: a unit's first attempt is its
// earliest, its final one its latest. Every record's run is kept whole, in memory up to the
// bound and past it in sorted runs on disk, and the figures are made from them sorted: a run
// seen again is found by its whole identity, the units by their whole labels. Per subcommand
// the report counts how many runs took each millisecond (the durations' precision in the log and
// the report), per adapter, image and exit code a count.
class LineTally {
public:
    explicit LineTally(AlarmRule rule = {}, SpillLimits memory = {});
    // Keeps the record. Of records of the same run (the same start, unit, adapter, attempt and
    // subcommand) the figures count the first in the log and the rest as duplicates. False when
    // it could not be kept (`failure`), and nothing is kept after it.
    bool add(const RunRecord& record);
    void skipLines(qint64 lines) { skippedLines_ += lines; }
    // `exitClass` names a failure's class by its exit code. When the records kept cannot be
    // read back, the figures of those read and the reason in `failure`.
    LineFigures figures(const std::function<QString(int)>& exitClass);
    // Why records were not kept or read back; empty while every record counts.
    const QString& failure() const { return failure_; }

private:
    AlarmRule rule_;
    SpillLimits memory_;
    SpillSort runs_;
    qint64 added_ = 0;
    qint64 skippedLines_ = 0;
    std::map<QString, qint32> imageIndex_;  // flash runs' images by sha256, as the runs name them
    std::vector<QString> images_;
    QString failure_;
};

// The figures of `records` with `skippedLines` lines skipped.
LineFigures summarize(const std::vector<RunRecord>& records, qint64 skippedLines,
                      const std::function<QString(int)>& exitClass, AlarmRule rule = {});

}  // namespace line_report
