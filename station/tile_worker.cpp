#include "tile_worker.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QPointer>
#include <QProcess>
#include <atomic>
#include <condition_variable>

#include "command_line_report.h"
#include "drive_link.h"
#include "exit_codes.h"
#include "flash_subcommand.h"
#include "flasher_command_line.h"
#include "provider.h"
#include "run_log.h"
#include "run_result.h"
#include "unit_attempt.h"
#include "unit_label.h"

namespace station {

using command_line::SubcommandResult;
using Clock = std::chrono::steady_clock;

QString phaseText(TilePhase phase) {
    switch (phase) {
        case TilePhase::Idle:
            return "scan a unit";
        case TilePhase::WaitingForDrive:
            return "waiting for the drive";
        case TilePhase::Connecting:
            return "connecting";
        case TilePhase::Erasing:
            return "erasing";
        case TilePhase::Writing:
            return "writing";
        case TilePhase::Verifying:
            return "verifying";
        case TilePhase::Passed:
            return "passed";
        case TilePhase::Failed:
            return "failed";
    }
    return {};
}

SharedLog::SharedLog(std::unique_ptr<command_line::RunLog> log) : log_(std::move(log)) {}
SharedLog::~SharedLog() = default;

bool SharedLog::append(const QJsonObject& record, QString& why) {
    std::lock_guard<std::mutex> lock(mutex_);
    return !log_ || log_->append(record, why);
}

// What the unit's thread shares with its tile. The tile may give the thread up and even be
// gone before the thread returns: the thread then only finishes its own work.
struct TileWorker::Run {
    drive_link::Link link{drive_link::LinkDialect::Bootloader};
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
};

namespace {
// Runs `deliver` on the GUI thread with the tile, unless the tile is gone or gave this unit up.
template <class RunState, class Deliver>
void post(const std::shared_ptr<RunState>& run, Deliver deliver) {
    run->alive();
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [run, deliver] {
            if (run->owner && !run->abandoned) {
                deliver(*run->owner);
            }
        },
        Qt::QueuedConnection);
}
}  // namespace

// The flasher's front end on a tile: the command line's (its messages and last message), with
// the phases and packets shown on the tile and the power cycle done by the fixture.
class TileFrontEnd : public command_line::FlasherCommandLine {
public:
    TileFrontEnd(const Job& job, const Fixture& fixture, const TileSettings& settings,
                 std::shared_ptr<TileWorker::Run> run, int attempt,
                 std::function<void(TilePhase, int)> showPhase,
                 std::function<void(int, int)> showProgress,
                 std::function<void(QString)> askOperator)
        : FlasherCommandLine(job.imagePath, 0),
          fixture_(fixture),
          settings_(settings),
          run_(std::move(run)),
          attempt_(attempt),
          showPhase_(std::move(showPhase)),
          showProgress_(std::move(showProgress)),
          askOperator_(std::move(askOperator)) {}

    void showStatus(const QString&, int) override { run_->alive(); }
    void setFlashing(bool flashing) override {
        if (flashing) {
            showPhase_(TilePhase::Erasing, attempt_);
        }
    }
    void packetStarted(int packet, int packetCount) override {
        if (packet == 0) {
            showPhase_(TilePhase::Writing, attempt_);
        }
        showProgress_(packet, packetCount);
    }
    void verifyStarted(int packetCount) override {
        showProgress_(packetCount, packetCount);
        showPhase_(TilePhase::Verifying, attempt_);
    }
    bool stopBeforeNextPacket() override { return run_->abandoned; }

    void askForPowerCycle(const QString& instructions) override {
        showPhase_(TilePhase::WaitingForDrive, attempt_);
        if (!fixture_.powerCycleCommand.isEmpty()) {
            runPowerCycleCommand();
        } else if (!settings_.simulated) {
            waitForOperator(instructions);
        }
        // Simulated without a command: the drive was powered when its adapter opened.
        showPhase_(TilePhase::Connecting, attempt_);
    }

    // Why the station, not the unit, failed; empty when it did not.
    QString stationFault;

private:
    void runPowerCycleCommand() {
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
            run_->link.requestStop();
        }
    }

    void waitForOperator(const QString& instructions) {
        std::unique_lock<std::mutex> lock(run_->mutex);
        run_->powerCycled = false;
        run_->waitingForOperator = true;
        askOperator_(command_line::withoutMarkup(instructions));
        run_->answered.wait(lock, [this] { return run_->powerCycled || run_->abandoned; });
        run_->waitingForOperator = false;
        run_->alive();
    }

    Fixture fixture_;
    TileSettings settings_;
    std::shared_ptr<TileWorker::Run> run_;
    int attempt_;
    std::function<void(TilePhase, int)> showPhase_;
    std::function<void(int, int)> showProgress_;
    std::function<void(QString)> askOperator_;
};

namespace {
// The failure class in words, as the operator reads it on the tile.
QString failureInWords(const SubcommandResult& result) {
    QString words = command_line::exitClassName(result.exitCode).replace('_', ' ');
    const QString line = result.line.startsWith("failed: ") ? result.line.mid(8) : result.line;
    return words + ": " + line;
}

QString adapterName(const TileSettings& settings, const Fixture& fixture, FT_HANDLE handle) {
    if (settings.simulated) {
        return "simulated " + fixture.port;
    }
    const QString serial = QString::fromStdString(adapterSerialOf(handle));
    return serial.isEmpty() ? fixture.port : serial;
}

void workUnit(std::shared_ptr<TileWorker::Run> run, Job job, int fixtureIndex,
              std::shared_ptr<SharedLog> log, TileSettings settings) {
    const Fixture fixture = job.fixtures[fixtureIndex];
    const auto showPhase = [run](TilePhase phase, int attempt) {
        post(run,
             [phase, attempt](TileWorker& tile) { emit tile.phaseChanged(int(phase), attempt); });
    };
    const auto showProgress = [run](int packet, int count) {
        post(run, [packet, count](TileWorker& tile) { emit tile.progressChanged(packet, count); });
    };
    const auto askOperator = [run](QString text) {
        post(run, [text](TileWorker& tile) { emit tile.powerCycleRequested(text); });
    };
    const auto finish = [run](bool passed, QString verdict) {
        post(run, [passed, verdict](TileWorker& tile) { emit tile.unitFinished(passed, verdict); });
    };
    run->link.setTraceSink(drive_link::discardingTrace());
    run->link.useAdapterAt(fixture.port.toStdString());
    for (int attempt = 1;; ++attempt) {
        showPhase(TilePhase::Connecting, attempt);
        // The job was opened with this image; one swapped under it must not reach a drive.
        if (command_line::sha256Of(job.imagePath) != job.imageSha256) {
            finish(false, "station fault: the image changed since the job was opened");
            break;
        }
        const QDateTime started = QDateTime::currentDateTimeUtc();
        QElapsedTimer clock;
        clock.start();
        TileFrontEnd frontEnd(job, fixture, settings, run, attempt, showPhase, showProgress,
                              askOperator);
        SubcommandResult result = command_line::flashImageFile(job.imagePath, frontEnd, run->link);
        const QString adapter = adapterName(settings, fixture, run->link.state().adapterHandle);
        run->link.close();
        if (run->abandoned) {
            break;  // the tile said so already
        }
        if (!frontEnd.stationFault.isEmpty()) {
            finish(false, "station fault: " + frontEnd.stationFault);
            break;
        }
        QJsonObject outcome =
            command_line::attemptOutcome(result, run->unit, attempt, job.retries > 0);
        const command_line::RunFacts facts{
            started, "tressel", "flash", adapter, clock.nsecsElapsed() / 1e9, attempt};
        QString why;
        const QJsonObject record = command_line::runRecord(outcome, facts);
        if (!log->append(record, why)) {
            command_line::markNotRecorded(result, outcome);
            result.line = "failed: " + why;
        }
        post(run, [record](TileWorker& tile) { emit tile.recordFiled(record); });
        if (result.exitCode == command_line::kExitDone) {
            finish(true, "PASS");
            break;
        }
        if (attempt > job.retries || !command_line::worthRetrying(result.exitCode)) {
            finish(false, failureInWords(result));
            break;
        }
    }
    run->finished = true;
}
}  // namespace

TileWorker::TileWorker(const Job& job, int fixtureIndex, std::shared_ptr<SharedLog> log,
                       TileSettings settings, QObject* parent)
    : QObject(parent),
      job_(job),
      fixtureIndex_(fixtureIndex),
      log_(std::move(log)),
      settings_(settings) {
    watchdog_.setInterval(200);
    connect(&watchdog_, &QTimer::timeout, this, &TileWorker::watchForSilence);
    connect(this, &TileWorker::unitFinished, &watchdog_, &QTimer::stop);
}

TileWorker::~TileWorker() {
    if (!run_) {
        return;
    }
    run_->abandoned = true;
    run_->link.requestStop();
    run_->answered.notify_all();
    // A thread stuck in its adapter keeps only what it shares with the run.
    if (run_->finished) {
        thread_.join();
    } else {
        thread_.detach();
    }
}

bool TileWorker::running() const {
    return run_ && !run_->finished && !run_->abandoned;
}

QString TileWorker::startUnit(const QString& unit) {
    const QString refusal = command_line::unitRefusal(unit);
    if (!refusal.isEmpty()) {
        return refusal;
    }
    if (run_ && !run_->finished) {
        return run_->abandoned ? "the fixture's adapter still does not answer"
                               : "a unit is still being flashed here";
    }
    if (thread_.joinable()) {
        thread_.join();
    }
    run_ = std::make_shared<Run>();
    run_->owner = this;
    run_->unit = unit;
    thread_ = std::thread(workUnit, run_, job_, fixtureIndex_, log_, settings_);
    watchdog_.start();
    return {};
}

void TileWorker::powerCycleDone() {
    if (!run_) {
        return;
    }
    std::lock_guard<std::mutex> lock(run_->mutex);
    run_->powerCycled = true;
    run_->answered.notify_all();
}

void TileWorker::watchForSilence() {
    if (!run_ || run_->finished || run_->abandoned || run_->waitingForOperator ||
        !run_->silentFor(settings_.silenceLimit)) {
        return;
    }
    emit unitFinished(false, "station fault: the fixture's adapter stopped answering");
    run_->abandoned = true;
    run_->link.requestStop();
    run_->answered.notify_all();
}

}  // namespace station
