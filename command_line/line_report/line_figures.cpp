#include "line_figures.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

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

// Numbers in keys and payloads: big-endian with the sign bit flipped, so that the bytes sort
// as the numbers do.
void appendNumber(std::string& to, qint64 value, int bytes) {
    const quint64 sortable = quint64(value) ^ (quint64(1) << (8 * bytes - 1));
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8) {
        to.push_back(char((sortable >> shift) & 0xff));
    }
}

// A label kept whole: its size, then its UTF-16 (a lone surrogate stays itself).
void appendText(std::string& to, const QString& text) {
    appendNumber(to, text.size(), 4);
    to.append(reinterpret_cast<const char*>(text.utf16()), size_t(text.size()) * 2);
}

// The fields of a key or payload, in the order they were appended.
class Fields {
public:
    explicit Fields(std::string_view bytes) : rest_(bytes) {}
    qint64 number(int bytes) {
        quint64 sortable = 0;
        for (int i = 0; i < bytes; ++i) {
            sortable = sortable << 8 | quint8(rest_[size_t(i)]);
        }
        rest_.remove_prefix(size_t(bytes));
        const quint64 sign = quint64(1) << (8 * bytes - 1);
        return bytes < 8 ? qint64(sortable) - qint64(sign) : qint64(sortable ^ sign);
    }
    // A label's bytes as appended, its size with them.
    std::string_view textBytes() {
        const size_t size = 4 + 2 * size_t(Fields(rest_).number(4));
        const std::string_view text = rest_.substr(0, size);
        rest_.remove_prefix(size);
        return text;
    }
    QString text() {
        const std::string_view bytes = textBytes().substr(4);
        QString text(int(bytes.size() / 2), Qt::Uninitialized);
        std::memcpy(text.data(), bytes.data(), bytes.size());
        return text;
    }

private:
    std::string_view rest_;
};

constexpr int kTimeBytes = 8;
constexpr int kSequenceBytes = 8;

// What the distinct runs make of their units: per unit its first and last attempt, and the
// units in the order they were first worked on, cut into stretches of about equal size.
class UnitFigures {
public:
    explicit UnitFigures(const SpillLimits& memory) : attempts_(memory), starts_(memory) {}
    // An attempt, `sequence` its place in the log. One that cannot be kept fails `into`.
    void add(std::string_view unit, qint64 timeMs, qint64 sequence, bool passed) {
        std::string key(unit);
        appendNumber(key, timeMs, kTimeBytes);
        appendNumber(key, sequence, kSequenceBytes);
        attempts_.add(key, std::string(1, char(passed)));
    }

    bool into(LineFigures& figures, QString& why) {
        // By unit, then by start and place in the log: the earliest is first, the last of the
        // latest final.
        std::string unit, start;
        std::string outcomes;
        const auto unitEnds = [&] {
            if (!unit.empty()) {
                const std::string_view label(unit.data(),
                                             unit.size() - kTimeBytes - kSequenceBytes);
                std::string key = start;
                key.append(label);
                starts_.add(key, outcomes);
            }
        };
        const bool grouped = attempts_.forEach(
            [&](std::string_view key, std::string_view passed) {
                const size_t labelSize = key.size() - kTimeBytes - kSequenceBytes;
                if (unit.empty() ||
                    key.substr(0, labelSize) != std::string_view(unit).substr(0, labelSize)) {
                    unitEnds();
                    start.assign(key.substr(labelSize, kTimeBytes));
                    outcomes.assign(2, passed[0]);
                } else {
                    outcomes[1] = passed[0];
                }
                unit.assign(key);
            },
            why);
        unitEnds();
        if (!grouped) {
            return false;
        }
        if (!starts_.failure().isEmpty()) {
            why = starts_.failure();
            return false;
        }
        figures.units = starts_.size();
        if (figures.units == 0) {
            return true;
        }
        const qint64 stretches = std::min<qint64>(figures.units, kMostYieldStretches);
        qint64 index = 0, firstPass = 0, finalPass = 0;
        const bool ordered = starts_.forEach(
            [&](std::string_view key, std::string_view passed) {
                const qint64 stretch = qint64(figures.yieldOverTime.size());
                if (index == stretch * figures.units / stretches) {
                    const qint64 end = (stretch + 1) * figures.units / stretches;
                    figures.yieldOverTime.push_back(
                        {Fields(key).number(kTimeBytes), end - index, 0, 0});
                }
                YieldStretch& last = figures.yieldOverTime.back();
                last.firstPass += passed[0];
                last.finalPass += passed[1];
                firstPass += passed[0];
                finalPass += passed[1];
                ++index;
            },
            why);
        figures.firstPassYield = double(firstPass) / double(figures.units);
        figures.finalYield = double(finalPass) / double(figures.units);
        return ordered;
    }

private:
    SpillSort attempts_;
    SpillSort starts_;  // by first attempt's start, then label
};
}  // namespace

LineTally::LineTally(AlarmRule rule, SpillLimits memory)
    : rule_(rule), memory_(std::move(memory)), runs_(memory_) {}

bool LineTally::add(const RunRecord& record) {
    // The run's identity, then what the figures need of it.
    std::string key;
    appendNumber(key, record.timeMs, kTimeBytes);
    appendNumber(key, record.attempt, 4);
    appendText(key, record.unit);
    appendText(key, record.adapter);
    appendText(key, record.subcommand);
    qint32 image = -1;
    if (record.subcommand == "flash" && !record.sha256.isEmpty()) {
        const auto found = imageIndex_.emplace(record.sha256, qint32(images_.size())).first;
        if (found->second == qint32(images_.size())) {
            images_.push_back(record.sha256);
        }
        image = found->second;
    }
    std::string payload;
    appendNumber(payload, added_++, kSequenceBytes);
    appendNumber(payload, record.exitCode, 4);
    appendNumber(payload, std::llround(std::min(record.durationS, kLongestDurationS) * 1000), 8);
    appendNumber(payload, image, 4);
    if (!runs_.add(key, payload)) {
        failure_ = runs_.failure();
        return false;
    }
    return true;
}

LineFigures LineTally::figures(const std::function<QString(int)>& exitClass) {
    LineFigures figures;
    figures.skippedLines = skippedLines_;
    AdapterWatch watch(rule_);
    std::map<int, qint64> failuresByCode;
    std::map<QString, std::map<qint64, qint64>> durationsMs;  // by subcommand
    std::map<QString, ImageFigures> images;                   // by sha256
    UnitFigures units(memory_);
    std::string previous;
    QString why;
    const bool read = runs_.forEach(
        [&](std::string_view key, std::string_view payload) {
            if (figures.runs > 0 && key == previous) {
                ++figures.duplicateRecords;
                return;
            }
            previous.assign(key);
            ++figures.runs;
            Fields run(key), outcome(payload);
            const qint64 timeMs = run.number(kTimeBytes);
            run.number(4);  // the attempt
            const std::string_view unit = run.textBytes();
            const QString adapter = run.text();
            const QString subcommand = run.text();
            const qint64 sequence = outcome.number(kSequenceBytes);
            const int exitCode = int(outcome.number(4));
            const bool passed = exitCode == 0;
            watch.add(adapter, !passed);
            ++durationsMs[subcommand][outcome.number(8)];
            if (!passed) {
                ++failuresByCode[exitCode];
            }
            const qint32 image = qint32(outcome.number(4));
            if (image >= 0) {
                const QString& sha256 = images_[size_t(image)];
                ImageFigures& figuresOfImage = images[sha256];
                figuresOfImage.sha256 = sha256;
                ++figuresOfImage.runs;
                figuresOfImage.failures += !passed;
            }
            if (unit.size() == 4) {  // no label
                ++figures.unnamedRuns;
            } else {
                units.add(unit, timeMs, sequence, passed);
            }
        },
        why);
    if (!read || !units.into(figures, why)) {
        failure_ = why;
    }
    std::map<QString, qint64> failures;
    for (const auto& [exitCode, count] : failuresByCode) {
        failures[exitClass(exitCode)] += count;
    }
    figures.failuresByClass.assign(failures.begin(), failures.end());
    std::stable_sort(figures.failuresByClass.begin(), figures.failuresByClass.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    for (const auto& [adapter, tally] : watch.tallies()) {
        figures.adapters.push_back({adapter, tally.runs, tally.failures, watch.alarmed(adapter)});
    }
    for (const auto& [subcommand, runsPerMs] : durationsMs) {
        figures.durations[subcommand] = spreadOf(runsPerMs);
    }
    for (const auto& [sha256, image] : images) {
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
