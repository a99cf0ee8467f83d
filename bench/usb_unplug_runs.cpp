// Unplugs: the real programs, as processes, on the FT232R emulated in this process (the mocked
// bus reaches them through the environment umockdev set), the chip pulled out at a chosen bulk
// transfer and plugged in again after the run.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <memory>
#include <random>
#include <set>

#include "bootloader.h"
#include "emulated_ft232r.h"
#include "fault_runs.h"
#include "sim_options.h"
#include "vlf_writer.h"

namespace soak {

namespace {
// Exit codes of the subcommands that an unplug may rightly end with: the adapter gone while it
// was opened, no drive answering, the link lost.
constexpr int kExitNoAdapter = 4;
constexpr int kExitNoDrive = 5;
constexpr int kExitLinkLost = 6;
constexpr int kLeastWatchdogMs = 30000;

// The chip and the files one workflow needs. The latency timer is off, so a run costs the
// software path only and hundreds of them fit in minutes.
class UnplugBench {
public:
    UnplugBench(UsbWorkflow workflow, const Programs& programs)
        : workflow_(workflow), programs_(programs) {
        drive_sim::ChipOptions options;
        options.latencyTimerOn = false;
        chip_ = std::make_unique<drive_sim::EmulatedFt232r>(workflow == UsbWorkflow::Flash
                                                                ? drive_sim::makeBootloader()
                                                                : drive_sim::makeFerroxFirmware(),
                                                            drive_sim::LinkFaults{}, options);
    }

    // The files the workflow reads, then a clean run: its transfers and its length.
    bool prepare(Problems& problems) {
        bool ready = true;
        if (workflow_ == UsbWorkflow::Flash) {
            vlf::ImageLayout image;
            image.words = vlf::patternPackets(3, 7);
            std::string error;
            ready = vlf::writeImage(path("image.vlf").toStdString(), image, error);
        } else if (workflow_ == UsbWorkflow::Apply) {
            ready = run({"backup", path("drive.frx")}, kLeastWatchdogMs).exited(0);
        }
        const long before = chip_->bulkTransfers();
        const ProgramRun clean = ready ? run(command(), kLeastWatchdogMs) : ProgramRun{};
        if (!clean.exited(0)) {
            problems.push_back(std::string(workflowName(workflow_)) +
                               ": the clean run failed: " + clean.out.toStdString());
            return false;
        }
        transfers_ = chip_->bulkTransfers() - before;
        watchdogMs_ = std::max(kLeastWatchdogMs, int(clean.seconds * 10000));
        return true;
    }

    long transfers() const { return transfers_; }

    // A run pulled out at `position` (or, with none, a clean one). A run that was not pulled out
    // (it took fewer transfers than the clean one) must succeed; after one that was, that is how
    // the next run shows that the adapter and the drive came back, as far as it gets.
    void unplugAt(long position, Tally& tally, Problems& problems) {
        const std::string replay =
            std::string(workflowName(workflow_)) +
            (position > 0 ? " unplugged at transfer " + std::to_string(position) : " clean") +
            " of " + std::to_string(transfers_) +
            (afterUnplug_ ? ", after an unplug at " + std::to_string(lastPulledAt_) : "");
        chip_->unplugAtTransfer(position);
        const ProgramRun run = this->run(command(), watchdogMs_);
        const bool pulledOut = chip_->pulledOut();
        chip_->unplugAtTransfer(-1);
        const bool rightFailure =
            run.exited(kExitNoAdapter) || run.exited(kExitNoDrive) || run.exited(kExitLinkLost);
        const bool wrong = !run.hung && !run.exited(0) && !(rightFailure && pulledOut);
        if (position > 0) {
            ++tally.runs;
            tally.hangs += run.hung;
            tally.successes += run.exited(0);
            tally.falseSuccesses += run.exited(0) && pulledOut;
            tally.reportedFailures += rightFailure && pulledOut;
            tally.unreported += wrong && (pulledOut || !afterUnplug_);
        }
        tally.unrecovered += wrong && !pulledOut && afterUnplug_;
        if (run.hung || wrong || (run.exited(0) && pulledOut)) {
            problems.push_back(replay + ": " +
                               (run.hung ? "hang" : "exit code " + std::to_string(run.exitCode)) +
                               " " + run.out.toStdString());
        }
        afterUnplug_ = pulledOut;
        lastPulledAt_ = position;
        if (pulledOut && !listedAgain()) {
            ++tally.unrecovered;
            problems.push_back(replay + ": the adapter was not listed after the replug");
        }
    }

private:
    QString path(const char* name) const { return dir_.filePath(name); }

    QStringList command() const {
        switch (workflow_) {
            case UsbWorkflow::Connect:
                return {"diagnose"};
            case UsbWorkflow::Apply:
                return {"restore", path("drive.frx")};
            case UsbWorkflow::Flash:
                return {"flash", path("image.vlf")};
            case UsbWorkflow::Backup:
                break;
        }
        return {"backup", path("drive.frx")};
    }

    ProgramRun run(const QStringList& arguments, int watchdogMs) const {
        const QString& program =
            workflow_ == UsbWorkflow::Flash ? programs_.tressel : programs_.morvane;
        return runProgram(program, arguments, watchdogMs);
    }

    // Plugged in again, the adapter is listed under its new number, e.g. "001:003  port 1-1".
    bool listedAgain() {
        chip_->plugBackIn();
        const ProgramRun listed = runProgram(programs_.morvane, {"--list-adapters"}, watchdogMs_);
        const QString number =
            QString::fromStdString(chip_->deviceNode()).section('/', -2).replace('/', ':');
        return listed.exited(0) && listed.out.startsWith(number + "  port 1-1");
    }

    UsbWorkflow workflow_;
    Programs programs_;
    QTemporaryDir dir_;
    std::unique_ptr<drive_sim::EmulatedFt232r> chip_;
    long transfers_ = 0;
    int watchdogMs_ = kLeastWatchdogMs;
    bool afterUnplug_ = false;
    long lastPulledAt_ = 0;
};

// Every position from 1 to `count`, or `wanted` of them drawn with `seed`, in an order drawn with
// `seed`: each run after an unplug then checks the recovery up to a different point.
std::vector<long> positionsToUnplug(long count, int wanted, uint64_t seed) {
    std::set<long> positions;
    if (wanted <= 0 || wanted >= count) {
        for (long k = 1; k <= count; ++k) {
            positions.insert(k);
        }
    } else {
        std::mt19937_64 random(seed);
        std::uniform_int_distribution<long> position(1, count);
        while (int(positions.size()) < wanted) {
            positions.insert(position(random));
        }
    }
    std::vector<long> order(positions.begin(), positions.end());
    std::shuffle(order.begin(), order.end(), std::mt19937_64(seed));
    return order;
}
}  // namespace

const char* workflowName(UsbWorkflow workflow) {
    switch (workflow) {
        case UsbWorkflow::Connect:
            return "Connect (diagnose)";
        case UsbWorkflow::Apply:
            return "Apply (restore)";
        case UsbWorkflow::Flash:
            return "flash, 3 packets";
        case UsbWorkflow::Backup:
            break;
    }
    return "backup";
}

bool unplugRunsAvailable() {
    return drive_sim::EmulatedFt232r::mockedBusAvailable();
}

Tally unplugRuns(UsbWorkflow workflow, const Programs& programs, int positions, uint64_t seed,
                 Problems& problems, long* cleanTransfers) {
    return unplugRunsAt(workflow, programs, {}, positions, seed, problems, cleanTransfers);
}

Tally unplugRunsAt(UsbWorkflow workflow, const Programs& programs, std::vector<long> order,
                   int positions, uint64_t seed, Problems& problems, long* cleanTransfers) {
    Tally tally;
    UnplugBench bench(workflow, programs);
    if (!bench.prepare(problems)) {
        ++tally.unreported;
        return tally;
    }
    if (cleanTransfers) {
        *cleanTransfers = bench.transfers();
    }
    if (order.empty()) {
        order = positionsToUnplug(bench.transfers(), positions, seed);
    }
    for (long position : order) {
        bench.unplugAt(position < 0 ? bench.transfers() + position : position, tally, problems);
    }
    bench.unplugAt(0, tally, problems);  // the last replug, then a whole clean run
    return tally;
}

}  // namespace soak
