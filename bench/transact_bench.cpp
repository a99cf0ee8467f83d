// Transaction rates of the drive link on the simulated drive: with the trace printed (to
// /dev/null), with the trace silenced, parameter reads and writes, and at the simulated latency
// that the programs use with --simulate. A report on standard error; nothing is asserted.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>

#include "drive_link.h"
#include "sim_fixture.h"
#include "sim_options.h"

namespace {
using Clock = std::chrono::steady_clock;

// Standard output goes to /dev/null while the trace is timed, so the figure is the cost of
// formatting and flushing, not of a terminal.
class StdoutToNull {
public:
    StdoutToNull() {
        std::fflush(stdout);
        saved_ = dup(STDOUT_FILENO);
        int null = open("/dev/null", O_WRONLY);
        if (null >= 0) {
            dup2(null, STDOUT_FILENO);
            close(null);
        }
    }
    ~StdoutToNull() {
        std::fflush(stdout);
        if (saved_ >= 0) {
            dup2(saved_, STDOUT_FILENO);
            close(saved_);
        }
    }

private:
    int saved_ = -1;
};

struct Rate {
    long operations;
    double seconds;
};

// Runs `operation` until `budget` has passed, in batches so the clock is read rarely.
Rate measure(std::chrono::milliseconds budget, const std::function<void()>& operation) {
    long done = 0;
    Clock::time_point start = Clock::now();
    Clock::time_point end = start;
    do {
        for (int i = 0; i < 100; ++i) {
            operation();
        }
        done += 100;
        end = Clock::now();
    } while (end - start < budget);
    return {done, std::chrono::duration<double>(end - start).count()};
}

void report(const char* what, Rate rate, const char* unit) {
    std::fprintf(stderr, "  %-44s %10.0f %s/s  (%ld in %.2f s)\n", what,
                 double(rate.operations) / rate.seconds, unit, rate.operations, rate.seconds);
}

bool openSimulatedLink(drive_link::Link& link, double latencyMs) {
    FerroxBench bench = installFerroxDrive();
    bench.adapter.setLatencyMs(latencyMs);
    return link.open(true);
}
}  // namespace

int main() {
    constexpr std::chrono::milliseconds kBudget(2000);
    bool error = false;
    drive_link::Link link;
    std::fprintf(stderr, "transact_bench: drive link on the simulated Ferrox drive\n");

    if (!openSimulatedLink(link, 0.0)) {
        std::fprintf(stderr, "the simulated link did not open\n");
        return 1;
    }
    Rate traced{0, 1.0};
    {
        StdoutToNull quiet;
        traced = measure(kBudget, [&] { link.transact(2, 0, error); });
    }
    report("transact, trace to /dev/null, no latency", traced, "transactions");

    link.setQuietTrace(true);
    report("transact, quietTrace, no latency",
           measure(kBudget, [&] { link.transact(2, 0, error); }), "transactions");
    report("getParam, quietTrace, no latency",
           measure(kBudget, [&] { drive_link::getParam(link, 6020, error); }), "reads");
    {
        // setParam always prints its line.
        StdoutToNull quiet;
        traced = measure(kBudget, [&] { drive_link::setParam(link, 6092, 7, error); });
    }
    report("setParam, quietTrace, no latency", traced, "writes");

    double latencyMs = drive_sim::SimOptions{}.latencyMs;
    openSimulatedLink(link, latencyMs);
    link.setQuietTrace(true);
    char label[64];
    std::snprintf(label, sizeof label, "transact, quietTrace, latency %.2f ms", latencyMs);
    report(label, measure(std::chrono::milliseconds(1000), [&] { link.transact(2, 0, error); }),
           "transactions");
    link.setQuietTrace(false);
    std::fprintf(stderr, "  (a transaction is four USB transfers; any CRC error above: %s)\n",
                 error ? "yes" : "no");
    link.close();
    return 0;
}
