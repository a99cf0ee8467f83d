// What both responsiveness benchmarks share: a timer on the GUI thread every 50 ms while a
// window's drive sequence runs, and the longest gap between its ticks and their 99th percentile.
#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

struct TickGaps {
    double seconds = 0;
    size_t ticks = 0;
    double longestMs = 0;
    double p99Ms = 0;
};

// Runs `sequence` (a click that returns when the window's work ended) with the timer going.
inline TickGaps measureTickGaps(const std::function<void()>& sequence) {
    std::vector<double> at;
    QElapsedTimer clock;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] { at.push_back(clock.nsecsElapsed() / 1e6); });
    clock.start();
    at.push_back(0);
    ticker.start(50);
    sequence();
    ticker.stop();
    at.push_back(clock.nsecsElapsed() / 1e6);
    std::vector<double> gaps;
    for (size_t i = 1; i < at.size(); ++i) {
        gaps.push_back(at[i] - at[i - 1]);
    }
    std::sort(gaps.begin(), gaps.end());
    TickGaps result;
    result.seconds = at.back() / 1000;
    result.ticks = at.size() - 2;
    result.longestMs = gaps.back();
    result.p99Ms = gaps[std::min(gaps.size() - 1, size_t(0.99 * double(gaps.size())))];
    return result;
}

inline void printTickGaps(std::FILE* out, const char* work, const TickGaps& gaps, bool worked) {
    std::fprintf(out, "  %-44s %8.1f %7zu %12.1f %10.1f%s\n", work, gaps.seconds, gaps.ticks,
                 gaps.longestMs, gaps.p99Ms, worked ? "" : "  (the work failed)");
}

inline void printTickGapsHeader(const char* window) {
    std::printf(
        "%s: a 50 ms timer on the GUI thread while the window works (simulated drive)\n"
        "  %-44s %8s %7s %12s %10s\n",
        window, "work", "seconds", "ticks", "longest ms", "p99 ms");
}
