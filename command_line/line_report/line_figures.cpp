#include "line_figures.h"

#include <algorithm>
#include <cmath>

namespace line_report {

namespace {
constexpr int kMostYieldStretches = 20;

Spread spreadOf(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    const double median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    const size_t rank = size_t(std::ceil(0.95 * double(n)));
    return {median, values[std::max<size_t>(rank, 1) - 1]};
}

struct UnitRuns {
    qint64 firstMs;
    bool firstPassed;
    bool lastPassed;
};

// Units in the order they were first worked on, cut into stretches of about equal size.
std::vector<YieldStretch> yieldOverTime(std::vector<UnitRuns> units) {
    std::sort(units.begin(), units.end(),
              [](const UnitRuns& a, const UnitRuns& b) { return a.firstMs < b.firstMs; });
    const size_t stretches = std::min<size_t>(units.size(), kMostYieldStretches);
    std::vector<YieldStretch> out;
    for (size_t i = 0; i < stretches; ++i) {
        const size_t begin = i * units.size() / stretches;
        const size_t end = (i + 1) * units.size() / stretches;
        YieldStretch stretch{units[begin].firstMs, int(end - begin), 0, 0};
        for (size_t u = begin; u < end; ++u) {
            stretch.firstPass += units[u].firstPassed;
            stretch.finalPass += units[u].lastPassed;
        }
        out.push_back(stretch);
    }
    return out;
}
}  // namespace

LineFigures summarize(std::vector<RunRecord> records, int skippedLines,
                      const std::function<QString(int)>& exitClass, AlarmRule rule) {
    std::stable_sort(records.begin(), records.end(),
                     [](const RunRecord& a, const RunRecord& b) { return a.timeMs < b.timeMs; });
    LineFigures figures;
    figures.runs = int(records.size());
    figures.skippedLines = skippedLines;
    std::map<QString, UnitRuns> units;
    std::map<QString, int> failures;
    std::map<QString, std::vector<double>> durations;
    std::map<QString, ImageFigures> images;
    AdapterWatch watch(rule);
    for (const RunRecord& record : records) {
        watch.add(record.adapter, !record.passed());
        durations[record.subcommand].push_back(record.durationS);
        if (!record.passed()) {
            ++failures[exitClass(record.exitCode)];
        }
        if (record.subcommand == "flash" && !record.sha256.isEmpty()) {
            ImageFigures& image = images[record.sha256];
            image.sha256 = record.sha256;
            ++image.runs;
            image.failures += !record.passed();
        }
        if (record.unit.isEmpty()) {
            ++figures.unnamedRuns;
            continue;
        }
        const auto [unit, isNew] =
            units.try_emplace(record.unit, UnitRuns{record.timeMs, record.passed(), false});
        unit->second.lastPassed = record.passed();
    }
    figures.units = int(units.size());
    if (!units.empty()) {
        std::vector<UnitRuns> all;
        int firstPass = 0, finalPass = 0;
        for (const auto& [name, unit] : units) {
            firstPass += unit.firstPassed;
            finalPass += unit.lastPassed;
            all.push_back(unit);
        }
        figures.firstPassYield = double(firstPass) / figures.units;
        figures.finalYield = double(finalPass) / figures.units;
        figures.yieldOverTime = yieldOverTime(std::move(all));
    }
    figures.failuresByClass.assign(failures.begin(), failures.end());
    std::stable_sort(figures.failuresByClass.begin(), figures.failuresByClass.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    for (const auto& [adapter, tally] : watch.tallies()) {
        figures.adapters.push_back({adapter, tally.runs, tally.failures, watch.alarmed(adapter)});
    }
    for (const auto& [subcommand, seconds] : durations) {
        figures.durations[subcommand] = spreadOf(seconds);
    }
    for (const auto& [sha256, image] : images) {
        figures.images.push_back(image);
    }
    std::stable_sort(figures.images.begin(), figures.images.end(),
                     [](const ImageFigures& a, const ImageFigures& b) { return a.runs > b.runs; });
    return figures;
}

}  // namespace line_report
