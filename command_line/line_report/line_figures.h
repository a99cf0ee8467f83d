// The figures of a production line's report, from the runs its log holds.
#pragma once

#include <QString>
#include <functional>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "adapter_alarm.h"
#include "fingerprint_table.h"
#include "run_records.h"

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
// earliest, its final one its latest. It keeps no record: per distinct run a fingerprint, per
// unit its first and last attempt, per subcommand how many runs took each millisecond (the
// durations' precision in the log and the report), per adapter, image and exit code a count.
class LineTally {
public:
    explicit LineTally(AlarmRule rule = {}) : watch_(rule) {}
    // Counts the record, unless a record of the same run (the same start, unit, adapter,
    // attempt and subcommand) was counted before: false then, and it counts as a duplicate.
    bool add(const RunRecord& record);
    void skipLines(qint64 lines) { skippedLines_ += lines; }
    // `exitClass` names a failure's class by its exit code.
    LineFigures figures(const std::function<QString(int)>& exitClass) const;

private:
    struct Seen {};
    // An attempt's start and outcome in one number (start x 2, plus 1 when it passed): a unit
    // costs two words besides its fingerprint.
    struct Attempt {
        qint64 packed = 0;
        static Attempt of(qint64 ms, bool passed) { return {ms * 2 + (passed ? 1 : 0)}; }
        qint64 ms() const { return packed >> 1; }
        bool passed() const { return packed & 1; }
    };
    struct UnitRuns {
        Attempt first;
        Attempt last;
    };
    FingerprintTable<Seen> seen_;
    FingerprintTable<UnitRuns> units_;
    qint64 runs_ = 0;
    qint64 unnamedRuns_ = 0;
    qint64 skippedLines_ = 0;
    qint64 duplicates_ = 0;
    std::map<int, qint64> failures_;                           // by exit code
    std::map<QString, std::map<qint64, qint64>> durationsMs_;  // by subcommand
    std::map<QString, ImageFigures> images_;                   // by sha256
    AdapterWatch watch_;
};

// The figures of `records` with `skippedLines` lines skipped.
LineFigures summarize(const std::vector<RunRecord>& records, qint64 skippedLines,
                      const std::function<QString(int)>& exitClass, AlarmRule rule = {});

}  // namespace line_report
