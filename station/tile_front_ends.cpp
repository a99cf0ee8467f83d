#include "tile_front_ends.h"

#include <QProcess>

#include "command_line_report.h"

namespace station {

FixturePower::FixturePower(const Fixture& fixture, const TileSettings& settings,
                           std::shared_ptr<TileWorker::Run> run, TileDisplay display,
                           drive_link::Link& link)
    : fixture_(fixture),
      settings_(settings),
      run_(std::move(run)),
      display_(std::move(display)),
      link_(link) {}

void FixturePower::cycle(const QString& instructions, TilePhase next) {
    display_.showPhase(TilePhase::WaitingForDrive);
    if (!fixture_.powerCycleCommand.isEmpty()) {
        runCommand();
    } else if (!settings_.simulated) {
        waitForOperator(instructions);
    }
    // Simulated without a command: the drive was powered when its adapter opened.
    display_.showPhase(next);
}

void FixturePower::runCommand() {
    QProcess command;
    command.start("/bin/sh", {"-c", fixture_.powerCycleCommand});
    const int limitMs = int(settings_.powerCycleCommandLimit.count());
    if (!command.waitForStarted(limitMs)) {
        stationFault = "the power-cycle command could not be started";
    } else if (!command.waitForFinished(limitMs)) {
        command.kill();
        command.waitForFinished(1000);
        stationFault = QString("the power-cycle command took longer than %1 s")
                           .arg(settings_.powerCycleCommandLimit.count() / 1000.0);
    } else if (command.exitStatus() != QProcess::NormalExit || command.exitCode() != 0) {
        stationFault =
            QString("the power-cycle command failed (exit code %1)").arg(command.exitCode());
    }
    if (!stationFault.isEmpty()) {
        // The drive was not restarted: whatever Connect finds now says nothing of the unit.
        link_.requestStop();
    }
}

void FixturePower::waitForOperator(const QString& instructions) {
    std::unique_lock<std::mutex> lock(run_->mutex);
    run_->powerCycled = false;
    run_->waitingForOperator = true;
    display_.askOperator(command_line::withoutMarkup(instructions));
    run_->answered.wait(lock, [this] { return run_->powerCycled || run_->abandoned; });
    run_->waitingForOperator = false;
    run_->alive();
}

TileFlashFrontEnd::TileFlashFrontEnd(const QString& image, FixturePower& power, TileDisplay display,
                                     std::shared_ptr<TileWorker::Run> run)
    : FlasherCommandLine(image, 0),
      power_(power),
      display_(std::move(display)),
      run_(std::move(run)) {}

void TileFlashFrontEnd::setFlashing(bool flashing) {
    if (flashing) {
        display_.showPhase(TilePhase::Erasing);
    }
}

void TileFlashFrontEnd::packetStarted(int packet, int packetCount) {
    if (packet == 0) {
        display_.showPhase(TilePhase::Writing);
    }
    display_.showProgress(packet, packetCount);
}

void TileFlashFrontEnd::verifyStarted(int packetCount) {
    display_.showProgress(packetCount, packetCount);
    display_.showPhase(TilePhase::Verifying);
}

}  // namespace station
