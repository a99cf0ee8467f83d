#include "line_figures.h"

#include <algorithm>
#include <cmath>

namespace line_report {

namespace {
constexpr int kMostYieldStretches = 20;
// Beyond any run's duration, and far inside what a count of milliseconds holds.
constexpr double kLongestDurationS = 1e12;

// The value at a 0-based rank of a count of runs per millisecond.
double secondsAtRank(const std::map<qint64, qint64>& runsPerMs, qint64 rank) {
    for (const auto& [ms, runs] : runsPerMs) {
        if (rank < runs) {
            return double(ms) / 1000;
        }
        rank -= runs;
    }
    return double(runsPerMs.rbegin()->first) / 1000;
}

Spread spreadOf(const std::map<qint64, qint64>& runsPerMs) {
    qint64 n = 0;
    for (const auto& entry : runsPerMs) {
        n += entry.second;
    }
    const double median =
        n % 2 ? secondsAtRank(runsPerMs, n / 2)
              : (secondsAtRank(runsPerMs, n / 2 - 1) + secondsAtRank(runsPerMs, n / 2)) / 2;
    const qint64 rank = qint64(std::ceil(0.95 * double(n)));
    return {median, secondsAtRank(runsPerMs, std::max<qint64>(rank, 1) - 1)};
}

struct UnitStart {
    qint64 firstMs;
    uint64_t fingerprint;  // orders units that started at the same millisecond
    bool firstPassed;
    bool lastPassed;
};

// Units in the order they were first worked on, cut into stretches of about equal size.
std::vector<YieldStretch> yieldOverTime(std::vector<UnitStart> units) {
    std::sort(units.begin(), units.end(), [](const UnitStart& a, const UnitStart& b) {
        return a.firstMs != b.firstMs ? a.firstMs < b.firstMs : a.fingerprint < b.fingerprint;
    });
    const size_t stretches = std::min<size_t>(units.size(), kMostYieldStretches);
    std::vector<YieldStretch> out;
    for (size_t i = 0; i < stretches; ++i) {
        const size_t begin = i * units.size() / stretches;
        const size_t end = (i + 1) * units.size() / stretches;
        YieldStretch stretch{units[begin].firstMs, qint64(end - begin), 0, 0};
        for (size_t u = begin; u < end; ++u) {
            stretch.firstPass += units[u].firstPassed;
            stretch.finalPass += units[u].lastPassed;
        }
        out.push_back(stretch);
    }
    return out;
}

void appendText(QByteArray& key, const QString& text) {
    const int size = text.size();
    key.append(reinterpret_cast<const char*>(&size), sizeof size);
    key.append(reinterpret_cast<const char*>(text.utf16()), size * int(sizeof(char16_t)));
}

uint64_t fingerprintOf(const QString& text) {
    return line_report::fingerprintOf(reinterpret_cast<const char*>(text.utf16()),
                                      size_t(text.size()) * sizeof(char16_t));
}
}  // namespace

bool LineTally::add(const RunRecord& record) {
    QByteArray key;
    key.append(reinterpret_cast<const char*>(&record.timeMs), sizeof record.timeMs);
    key.append(reinterpret_cast<const char*>(&record.attempt), sizeof record.attempt);
    appendText(key, record.unit);
    appendText(key, record.adapter);
    appendText(key, record.subcommand);
    bool isNew = false;
    seen_.find(fingerprintOf(key.constData(), size_t(key.size())), isNew, [] { return Seen{}; });
    if (!isNew) {
        ++duplicates_;
        return false;
    }
    ++runs_;
    const bool passed = record.passed();
    watch_.add(record.adapter, !passed);
    const double seconds = std::min(record.durationS, kLongestDurationS);
    ++durationsMs_[record.subcommand][std::llround(seconds * 1000)];
    if (!passed) {
        ++failures_[record.exitCode];
    }
    if (record.subcommand == "flash" && !record.sha256.isEmpty()) {
        ImageFigures& image = images_[record.sha256];
        image.sha256 = record.sha256;
        ++image.runs;
        image.failures += !passed;
    }
    if (record.unit.isEmpty()) {
        ++unnamedRuns_;
        return true;
    }
    const Attempt attempt = Attempt::of(record.timeMs, passed);
    UnitRuns& unit = units_.find(fingerprintOf(record.unit), isNew, [&] {
        return UnitRuns{attempt, attempt};
    });
    // The earliest start is the first attempt, the first of them in the log; the latest the
    // final one, the last of them in the log.
    if (record.timeMs < unit.first.ms()) {
        unit.first = attempt;
    }
    if (record.timeMs >= unit.last.ms()) {
        unit.last = attempt;
    }
    return true;
}

LineFigures LineTally::figures(const std::function<QString(int)>& exitClass) const {
    LineFigures figures;
    figures.runs = runs_;
    figures.unnamedRuns = unnamedRuns_;
    figures.skippedLines = skippedLines_;
    figures.duplicateRecords = duplicates_;
    figures.units = qint64(units_.size());
    if (figures.units > 0) {
        std::vector<UnitStart> all;
        all.reserve(units_.size());
        qint64 firstPass = 0, finalPass = 0;
        units_.forEach([&](uint64_t fingerprint, const UnitRuns& unit) {
            firstPass += unit.first.passed();
            finalPass += unit.last.passed();
            all.push_back({unit.first.ms(), fingerprint, unit.first.passed(), unit.last.passed()});
        });
        figures.firstPassYield = double(firstPass) / double(figures.units);
        figures.finalYield = double(finalPass) / double(figures.units);
        figures.yieldOverTime = yieldOverTime(std::move(all));
    }
    std::map<QString, qint64> failures;
    for (const auto& [exitCode, count] : failures_) {
        failures[exitClass(exitCode)] += count;
    }
    figures.failuresByClass.assign(failures.begin(), failures.end());
    std::stable_sort(figures.failuresByClass.begin(), figures.failuresByClass.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    for (const auto& [adapter, tally] : watch_.tallies()) {
        figures.adapters.push_back({adapter, tally.runs, tally.failures, watch_.alarmed(adapter)});
    }
    for (const auto& [subcommand, runsPerMs] : durationsMs_) {
        figures.durations[subcommand] = spreadOf(runsPerMs);
    }
    for (const auto& [sha256, image] : images_) {
        figures.images.push_back(image);
    }
    std::stable_sort(figures.images.begin(), figures.images.end(),
                     [](const ImageFigures& a, const ImageFigures& b) { return a.runs > b.runs; });
    return figures;
}

LineFigures summarize(const std::vector<RunRecord>& records, qint64 skippedLines,
                      const std::function<QString(int)>& exitClass, AlarmRule rule) {
    LineTally tally(rule);
    for (const RunRecord& record : records) {
        tally.add(record);
    }
    tally.skipLines(skippedLines);
    return tally.figures(exitClass);
}

}  // namespace line_report
