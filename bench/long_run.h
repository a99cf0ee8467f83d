// What both long-run benchmarks share: the process's resident memory, the trace and the scope's
// samples kept off the terminal while the windows work, and the report of a run of many cycles of
// one window.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QtGlobal>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include "offscreen.h"

// Before the application object: offscreen unless a platform is asked for, and Qt's warnings
// about the boxes the run answers kept off the report.
inline void startQuietlyOffscreen() {
    chooseOffscreenUnlessAsked();
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
}

// VmRSS from /proc/self/status, in KiB; -1 when it cannot be read.
inline long residentKib() {
    FILE* status = std::fopen("/proc/self/status", "r");
    if (!status) {
        return -1;
    }
    long kib = -1;
    char line[256];
    while (std::fgets(line, sizeof line, status)) {
        if (std::strncmp(line, "VmRSS:", 6) == 0) {
            kib = std::strtol(line + 6, nullptr, 10);
        }
    }
    std::fclose(status);
    return kib;
}

// Standard output and standard error go to /dev/null while this lives (the link's trace, a line
// per transaction, and the scope's samples); the report goes to the output there was before.
class QuietStreams {
public:
    QuietStreams() : savedOut_(dup(STDOUT_FILENO)), savedErr_(dup(STDERR_FILENO)) {
        std::fflush(stdout);
        std::fflush(stderr);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        close(null);
        report_ = fdopen(dup(savedOut_), "w");
    }
    ~QuietStreams() {
        std::fflush(stdout);
        std::fflush(stderr);
        std::fclose(report_);
        dup2(savedOut_, STDOUT_FILENO);
        dup2(savedErr_, STDERR_FILENO);
        close(savedOut_);
        close(savedErr_);
    }
    QuietStreams(const QuietStreams&) = delete;
    QuietStreams& operator=(const QuietStreams&) = delete;
    FILE* report() const { return report_; }

private:
    int savedOut_;
    int savedErr_;
    FILE* report_;
};

// Runs `cycle` `count` times and reports the resident memory at the start, after the first
// tenth and at the end, the growth over the last nine tenths, and the mean time of a cycle in
// the first and the last tenth. `cycle` returns false when a cycle did not do its work.
inline int runCycles(FILE* report, const char* what, int count,
                     const std::function<bool()>& cycle) {
    const int tenth = std::max(1, count / 10);
    const long atStart = residentKib();
    long afterTenth = atStart;
    double firstMs = 0;
    double lastMs = 0;
    int failed = 0;
    for (int i = 0; i < count; ++i) {
        QElapsedTimer clock;
        clock.start();
        failed += cycle() ? 0 : 1;
        const double ms = clock.nsecsElapsed() / 1e6;
        firstMs += i < tenth ? ms : 0;
        lastMs += i >= count - tenth ? ms : 0;
        if (i + 1 == tenth) {
            afterTenth = residentKib();
        }
    }
    const long atEnd = residentKib();
    std::fprintf(report, "%s: %d cycles, %d failed\n", what, count, failed);
    std::fprintf(report,
                 "  resident memory: %ld KiB at the start, %ld after %d cycles, %ld at the end\n",
                 atStart, afterTenth, tenth, atEnd);
    std::fprintf(report, "  growth over the last %d cycles: %ld KiB (%.1f KiB a cycle)\n",
                 count - tenth, atEnd - afterTenth,
                 count > tenth ? double(atEnd - afterTenth) / (count - tenth) : 0.0);
    std::fprintf(report, "  time of a cycle: %.1f ms in the first %d, %.1f ms in the last %d\n",
                 firstMs / tenth, tenth, lastMs / tenth, tenth);
    std::fflush(report);
    return failed == 0 ? 0 : 1;
}
