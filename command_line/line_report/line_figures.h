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

namespace line_report {

struct Spread {
    double median;
    double p95;  // the nearest-rank 95th percentile: no more than 5 % of the runs took longer
};

struct AdapterFigures {
    QString adapter;
    int runs;
    int failures;
    bool alarm;
};

struct ImageFigures {
    QString sha256;
    int runs;
    int failures;
};

// The units first worked on in one stretch of the log, for the yield over time.
struct YieldStretch {
    qint64 firstMs;  // the first unit's first attempt
    int units;
    int firstPass;
    int finalPass;
};

struct LineFigures {
    int runs = 0;
    int units = 0;
    int unnamedRuns = 0;  // runs without a unit: counted as runs, in no unit and no yield
    int skippedLines = 0;
    std::optional<double> firstPassYield;  // none without units
    std::optional<double> finalYield;
    std::vector<std::pair<QString, int>> failuresByClass;  // most frequent first
    std::vector<AdapterFigures> adapters;                  // by name
    std::map<QString, Spread> durations;                   // by subcommand
    std::vector<ImageFigures> images;                      // flash runs' images, most runs first
    std::vector<YieldStretch> yieldOverTime;               // in time order
};

// The figures of `records`, taken in the order of their start (a unit's first attempt is its
// earliest, its final one its latest); `exitClass` names a failure's class by its exit code.
LineFigures summarize(std::vector<RunRecord> records, int skippedLines,
                      const std::function<QString(int)>& exitClass, AlarmRule rule = {});

}  // namespace line_report
