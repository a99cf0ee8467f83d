// The production line's report: how long it takes over a big log, and how soon and how rarely
// its adapter alarm speaks on seeded simulated lines. A report for the reader; nothing is
// asserted.
#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <random>
#include <vector>

#include "adapter_alarm.h"
#include "exit_codes.h"
#include "line_figures.h"
#include "log_reader.h"
#include "report_pages.h"

using line_report::AdapterWatch;

namespace {
constexpr int kAdapters = 8;
constexpr int kBigLogRuns = 100000;
constexpr int kDetectionSeeds = 200;
constexpr int kBadAdapterRuns = 1000;  // how long a seed's line runs, in the bad adapter's runs
constexpr int kCleanLines = 100;
constexpr double kGoodRate = 0.005;
constexpr double kBadRate = 0.05;

QString adapterName(int index) {
    return QString("FT%1").arg(index + 1, 6, 10, QChar('0'));
}

// A log of `runs` flash attempts from eight adapters; a failed unit is tried once more.
QByteArray seededLog(int runs) {
    std::mt19937_64 random(7);
    std::uniform_int_distribution<int> adapter(0, kAdapters - 1);
    std::bernoulli_distribution fails(0.02);
    std::lognormal_distribution<double> seconds(3.7, 0.05);
    QByteArray log;
    const qint64 start = 1796601600000;  // 2026-12-07T00:00:00Z
    for (int run = 0, unit = 0; run < runs; ++unit) {
        for (int attempt = 1; attempt <= 2 && run < runs; ++attempt) {
            const bool failed = fails(random);
            ++run;
            log += QString(
                       "{\"result\":\"%1\",\"exit_code\":%2,\"message\":\"...\",\"file\":"
                       "\"fw.vlf\",\"sha256\":\"%3\",\"unit\":\"U-%4\",\"time\":\"%5\","
                       "\"program\":\"tressel\",\"subcommand\":\"flash\",\"adapter\":\"%6\","
                       "\"duration_s\":%7,\"attempt\":%8}\n")
                       .arg(failed ? "failed" : "done")
                       .arg(failed ? 6 : 0)
                       .arg(QString(64, QChar(unit % 3 ? 'a' : 'b')))
                       .arg(unit)
                       .arg(QDateTime::fromMSecsSinceEpoch(start + run * 5000LL, Qt::UTC)
                                .toString(Qt::ISODateWithMs))
                       .arg(adapterName(adapter(random)))
                       .arg(seconds(random), 0, 'f', 3)
                       .arg(attempt)
                       .toUtf8();
            if (!failed) {
                break;
            }
        }
    }
    return log;
}

void timeTheBigLog() {
    QTemporaryDir dir;
    const QString path = dir.filePath("line.jsonl");
    QFile out(path);
    out.open(QIODevice::WriteOnly);
    out.write(seededLog(kBigLogRuns));
    out.close();
    const auto started = std::chrono::steady_clock::now();
    const std::clock_t cpuStarted = std::clock();
    const auto secondsSince = [](std::chrono::steady_clock::time_point since) {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
    };
    QFile in(path);
    in.open(QIODevice::ReadOnly);
    line_report::LineTally tally;
    QString why;
    line_report::readRecords(in, tally, why);
    const double reading = secondsSince(started);
    const auto figures = tally.figures(command_line::exitClassName);
    const double summing = secondsSince(started) - reading;
    line_report::reportText(figures);
    line_report::reportHtml(figures, "line");
    line_report::reportJson(figures);
    const double seconds = secondsSince(started);
    const double cpuSeconds = double(std::clock() - cpuStarted) / CLOCKS_PER_SEC;
    std::printf(
        "report over %lld runs from %d adapters (%.1f MB): %.3f s, %.3f s of processor "
        "time (reading %.3f s, figures %.3f s, pages %.3f s; %lld units)\n\n",
        static_cast<long long>(figures.runs), kAdapters, double(in.size()) / 1e6, seconds,
        cpuSeconds, reading, summing, seconds - reading - summing,
        static_cast<long long>(figures.units));
}

int quantile(std::vector<int> values, double q) {
    std::sort(values.begin(), values.end());
    return values[size_t(q * double(values.size() - 1) + 0.5)];
}

// One simulated line, watched after every run: adapter 0 fails at `badRate`, the rest at
// kGoodRate. Returns the bad adapter's runs when the alarm first named it (0: never), and counts
// the alarms that named another adapter.
int watchOneLine(unsigned seed, double badRate, line_report::AlarmRule rule, int& wrongAlarms) {
    std::mt19937_64 random(seed);
    std::uniform_int_distribution<int> pick(0, kAdapters - 1);
    std::uniform_real_distribution<double> chance(0, 1);
    AdapterWatch watch(rule);
    std::vector<bool> named(kAdapters, false);
    int badRuns = 0;
    while (badRuns < kBadAdapterRuns) {
        const int adapter = pick(random);
        badRuns += adapter == 0;
        watch.add(adapterName(adapter), chance(random) < (adapter == 0 ? badRate : kGoodRate));
        const bool hasBadAdapter = badRate > kGoodRate;
        for (int other = hasBadAdapter ? 1 : 0; other < kAdapters; ++other) {
            if (!named[size_t(other)] && watch.alarmed(adapterName(other))) {
                named[size_t(other)] = true;
                ++wrongAlarms;
            }
        }
        if (hasBadAdapter && watch.alarmed(adapterName(0))) {
            return badRuns;
        }
    }
    return 0;
}
}  // namespace

// `report_bench [RATE]`: the alarm's false-alarm rate to try instead of the report's.
int main(int argc, char** argv) {
    line_report::AlarmRule rule;
    if (argc > 1) {
        rule.falseAlarmRate = std::atof(argv[1]);
    } else {
        timeTheBigLog();
    }
    std::printf(
        "adapter alarm: one-sided Fisher exact test against the rest of the line, false "
        "alarm rate %.3g per look (Bonferroni over the adapters), at least %d failures\n",
        rule.falseAlarmRate, rule.fewestFailures);
    std::vector<int> detectedAt;
    int missed = 0, wrong = 0, withinLineOf1000 = 0;
    for (unsigned seed = 1; seed <= kDetectionSeeds; ++seed) {
        const int at = watchOneLine(seed, kBadRate, rule, wrong);
        at ? detectedAt.push_back(at) : void(++missed);
        // A line of 1000 runs holds about 125 of the bad adapter's.
        withinLineOf1000 += at && at * kAdapters <= 1000;
    }
    const auto within300 =
        std::count_if(detectedAt.begin(), detectedAt.end(), [](int at) { return at <= 300; });
    std::printf(
        "one adapter at %.1f %% failures, seven at %.1f %%, %d seeds, watched after every "
        "run for %d of the bad adapter's runs:\n",
        kBadRate * 100, kGoodRate * 100, kDetectionSeeds, kBadAdapterRuns);
    if (!detectedAt.empty()) {
        std::printf("  named after its run: median %d, 90th percentile %d, latest %d\n",
                    quantile(detectedAt, 0.5), quantile(detectedAt, 0.9),
                    *std::max_element(detectedAt.begin(), detectedAt.end()));
    }
    std::printf(
        "  named within its first 300 runs: %ld of %d seeds; never: %d; about within a "
        "line of 1000 runs: %d; good adapters named: %d\n",
        long(within300), kDetectionSeeds, missed, withinLineOf1000, wrong);
    int falseAlarms = 0;
    for (unsigned seed = 1001; seed <= 1000 + kCleanLines; ++seed) {
        watchOneLine(seed, kGoodRate, rule, falseAlarms);
    }
    std::printf(
        "%d lines of %d runs without a bad adapter, watched after every run: %d false "
        "alarms\n",
        kCleanLines, kBadAdapterRuns * kAdapters, falseAlarms);
    return 0;
}
