// What a soak counts for one case (a workflow on a noisy line, unplugged at some transfer, or cut
// off by a kill at some moment), and its row in the one table the soak prints.
#pragma once

#include <cstdio>

namespace soak {

struct Tally {
    int runs = 0;
    int successes = 0;
    int falseSuccesses = 0;    // a success that did not do what it says, or could not have
    int reportedFailures = 0;  // a failure told to the user, with its class where one is due
    int unreported = 0;        // neither success nor a proper failure: must not happen either
    int cut = 0;               // killed before it ended, as a power cut ends a run
    int hangs = 0;             // still running when its watchdog ran out
    int torn = 0;              // a file left neither old nor new, or a log line half-written
    int unrecovered = 0;       // afterwards the adapter was not found again or the next run failed

    void count(bool success, bool holdsWhatWasSaid, bool failureShown) {
        ++runs;
        successes += success;
        falseSuccesses += success && !holdsWhatWasSaid;
        reportedFailures += !success && failureShown;
        unreported += !success && !failureShown;
    }

    Tally& operator+=(const Tally& other) {
        runs += other.runs;
        successes += other.successes;
        falseSuccesses += other.falseSuccesses;
        reportedFailures += other.reportedFailures;
        unreported += other.unreported;
        cut += other.cut;
        hangs += other.hangs;
        torn += other.torn;
        unrecovered += other.unrecovered;
        return *this;
    }

    // Whatever a soak must never see.
    int defects() const { return falseSuccesses + unreported + hangs + torn + unrecovered; }
};

inline void printTallyHeader() {
    std::printf("%-24s %-12s %6s %9s %8s %8s %10s %5s %5s %4s %11s\n", "case", "fault", "runs",
                "successes", "false ok", "reported", "unreported", "cut", "hangs", "torn",
                "unrecovered");
}

inline void printTallyRow(const char* name, const char* fault, const Tally& t) {
    std::printf("%-24s %-12s %6d %9d %8d %8d %10d %5d %5d %4d %11d\n", name, fault, t.runs,
                t.successes, t.falseSuccesses, t.reportedFailures, t.unreported, t.cut, t.hangs,
                t.torn, t.unrecovered);
    std::fflush(stdout);
}

}  // namespace soak
