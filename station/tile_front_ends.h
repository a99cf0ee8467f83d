// The workflows' front ends on a tile: the command line's (its messages and last message, as
// `tressel flash --unit` and `morvane restore` have them), with the phases and packets shown on
// the tile and the power cycle done by the fixture.
#pragma once

#include <QPointer>
#include <QString>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include "drive_link.h"
#include "flasher_command_line.h"
#include "morvane_command_line.h"
#include "tile_worker.h"

namespace station {

using Clock = std::chrono::steady_clock;

// What the unit's thread shares with its tile. The tile may give the thread up and even be
// gone before the thread returns: the thread then only finishes its own work.
struct TileWorker::Run {
    drive_link::Link flashLink{drive_link::LinkDialect::Bootloader};
    drive_link::Link configureLink{drive_link::LinkDialect::Firmware};
    QPointer<TileWorker> owner;
    QString unit;
    std::atomic<bool> finished{false};
    std::atomic<bool> abandoned{false};
    std::atomic<bool> waitingForOperator{false};
    std::atomic<Clock::rep> lastSign{Clock::now().time_since_epoch().count()};
    std::mutex mutex;
    std::condition_variable answered;
    bool powerCycled = false;

    void alive() { lastSign.store(Clock::now().time_since_epoch().count()); }
    bool silentFor(std::chrono::milliseconds limit) const {
        return Clock::now() - Clock::time_point(Clock::duration(lastSign.load())) > limit;
    }
    // The tile gives the unit up: both links stop at their next frame, a wait for the operator
    // ends.
    void abandon() {
        abandoned = true;
        flashLink.requestStop();
        configureLink.requestStop();
        answered.notify_all();
    }
};

// How the unit's thread shows its work on the tile, for one attempt.
struct TileDisplay {
    std::function<void(TilePhase)> showPhase;
    std::function<void(int, int)> showProgress;
    std::function<void(QString)> askOperator;
};

// The fixture's power cycle, when a workflow asks for it: its command, the operator at the tile,
// or, simulated without a command, the drive itself, powered as its adapter opened.
class FixturePower {
public:
    FixturePower(const Fixture& fixture, const TileSettings& settings,
                 std::shared_ptr<TileWorker::Run> run, TileDisplay display, drive_link::Link& link);
    // Shows the wait, cycles the power and shows `next` as the phase after it.
    void cycle(const QString& instructions, TilePhase next);

    // Why the station, not the unit, failed; empty when it did not.
    QString stationFault;

private:
    void runCommand();
    void waitForOperator(const QString& instructions);

    Fixture fixture_;
    TileSettings settings_;
    std::shared_ptr<TileWorker::Run> run_;
    TileDisplay display_;
    drive_link::Link& link_;
};

class TileFlashFrontEnd : public command_line::FlasherCommandLine {
public:
    TileFlashFrontEnd(const QString& image, FixturePower& power, TileDisplay display,
                      std::shared_ptr<TileWorker::Run> run);

    void showStatus(const QString&, int) override { run_->alive(); }
    void setFlashing(bool flashing) override;
    void packetStarted(int packet, int packetCount) override;
    void verifyStarted(int packetCount) override;
    bool stopBeforeNextPacket() override { return run_->abandoned; }
    void askForPowerCycle(const QString& instructions) override {
        power_.cycle(instructions, TilePhase::Connecting);
    }

private:
    FixturePower& power_;
    TileDisplay display_;
    std::shared_ptr<TileWorker::Run> run_;
};

// The settings after the flash: the drive must now run its firmware, so the operator's power
// cycle comes with the jumper.
class TileConfigureFrontEnd : public command_line::MorvaneCommandLine {
public:
    TileConfigureFrontEnd(FixturePower& power, std::shared_ptr<TileWorker::Run> run)
        : MorvaneCommandLine(0), power_(power), run_(std::move(run)) {}

    void showStatus(const QString&, int) override { run_->alive(); }
    void askForPowerCycle(const QString& instructions) override {
        power_.cycle(QString("Firmware mode for the settings: take the bootloader jumper off.\n") +
                         instructions,
                     TilePhase::Configuring);
    }

private:
    FixturePower& power_;
    std::shared_ptr<TileWorker::Run> run_;
};

}  // namespace station
