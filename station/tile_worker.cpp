#include "tile_worker.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QPointer>
#include <atomic>
#include <optional>

#include "command_line_report.h"
#include "drive_link.h"
#include "exit_codes.h"
#include "flash_subcommand.h"
#include "morvane_subcommands.h"
#include "provider.h"
#include "run_log.h"
#include "run_result.h"
#include "tile_front_ends.h"
#include "unit_attempt.h"
#include "unit_label.h"

namespace station {

using command_line::SubcommandResult;

QString phaseText(TilePhase phase) {
    switch (phase) {
        case TilePhase::Idle:
            return "scan a unit";
        case TilePhase::NotConnected:
            return "not connected";
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
        case TilePhase::Configuring:
            return "configuring";
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

// The job's settings restored on a unit just flashed, as `morvane restore` does it; empty when
// the job has none. A station fault is the power's or a settings file changed under the job.
std::optional<SubcommandResult> configure(const std::shared_ptr<TileWorker::Run>& run,
                                          const Job& job, const Fixture& fixture,
                                          const TileSettings& settings, const TileDisplay& display,
                                          QString& stationFault) {
    if (job.settingsPath.isEmpty()) {
        return std::nullopt;
    }
    display.showPhase(TilePhase::Configuring);
    if (command_line::sha256Of(job.settingsPath) != job.settingsSha256) {
        stationFault = "the settings file changed since the job was opened";
        return std::nullopt;
    }
    drive_link::Link& link = run->configureLink;
    link.setTraceSink(drive_link::discardingTrace());
    link.useAdapterAt(fixture.port.toStdString());
    FixturePower power(fixture, settings, run, display, link);
    TileConfigureFrontEnd frontEnd(power, run);
    SubcommandResult restored = command_line::restoreSettingsFile(job.settingsPath, frontEnd, link);
    link.close();
    stationFault = power.stationFault;
    return restored;
}

// The unit's verdict from both steps: the flash's, unless the flash passed and the settings
// failed. The log's one line carries the settings step's own result besides.
SubcommandResult unitResult(const SubcommandResult& flashed,
                            const std::optional<SubcommandResult>& configured) {
    if (!configured || configured->exitCode == command_line::kExitDone) {
        return flashed;
    }
    SubcommandResult failed = flashed;
    failed.exitCode = configured->exitCode;
    failed.line = configured->line;
    return failed;
}

void workUnit(std::shared_ptr<TileWorker::Run> run, Job job, int fixtureIndex,
              std::shared_ptr<SharedLog> log, TileSettings settings) {
    const Fixture fixture = job.fixtures[fixtureIndex];
    const auto finish = [run](bool passed, QString verdict) {
        post(run, [passed, verdict](TileWorker& tile) { emit tile.unitFinished(passed, verdict); });
    };
    run->flashLink.setTraceSink(drive_link::discardingTrace());
    run->flashLink.useAdapterAt(fixture.port.toStdString());
    for (int attempt = 1;; ++attempt) {
        const TileDisplay display{
            [run, attempt](TilePhase phase) {
                post(run, [phase, attempt](TileWorker& tile) {
                    emit tile.phaseChanged(int(phase), attempt);
                });
            },
            [run](int packet, int count) {
                post(run, [packet, count](TileWorker& tile) {
                    emit tile.progressChanged(packet, count);
                });
            },
            [run](QString text) {
                post(run, [text](TileWorker& tile) { emit tile.powerCycleRequested(text); });
            }};
        display.showPhase(TilePhase::Connecting);
        // The job was opened with this image; one swapped under it must not reach a drive.
        if (command_line::sha256Of(job.imagePath) != job.imageSha256) {
            finish(false, "station fault: the image changed since the job was opened");
            break;
        }
        const QDateTime started = QDateTime::currentDateTimeUtc();
        QElapsedTimer clock;
        clock.start();
        FixturePower power(fixture, settings, run, display, run->flashLink);
        TileFlashFrontEnd frontEnd(job.imagePath, power, display, run);
        const SubcommandResult flashed =
            command_line::flashImageFile(job.imagePath, frontEnd, run->flashLink);
        const QString adapter =
            adapterName(settings, fixture, run->flashLink.state().adapterHandle);
        run->flashLink.close();
        QString stationFault = power.stationFault;
        std::optional<SubcommandResult> configured;
        if (!run->abandoned && stationFault.isEmpty() &&
            flashed.exitCode == command_line::kExitDone) {
            configured = configure(run, job, fixture, settings, display, stationFault);
        }
        if (run->abandoned) {
            break;  // the tile said so already
        }
        if (!stationFault.isEmpty()) {
            finish(false, "station fault: " + stationFault);
            break;
        }
        SubcommandResult result = unitResult(flashed, configured);
        QJsonObject outcome =
            command_line::attemptOutcome(result, run->unit, attempt, job.retries > 0);
        if (configured) {
            outcome["settings"] = command_line::resultObject(*configured);
        }
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
        // A unit whose settings failed runs its firmware now: flashing it again needs the
        // jumper set again, which is the operator's next scan, not a retry.
        if (configured || attempt > job.retries || !command_line::worthRetrying(result.exitCode)) {
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
    run_->abandon();
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
    if (!connected_) {
        return "the fixture's adapter is not connected";
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

void TileWorker::portsSeen(const QStringList& ports) {
    const bool present = ports.contains(job_.fixtures[fixtureIndex_].port);
    if (present != connected_) {
        connected_ = present;
        emit connectionChanged(present);
    }
}

void TileWorker::watchForSilence() {
    if (!run_ || run_->finished || run_->abandoned || run_->waitingForOperator ||
        !run_->silentFor(settings_.silenceLimit)) {
        return;
    }
    emit unitFinished(false, "station fault: the fixture's adapter stopped answering");
    run_->abandon();
}

}  // namespace station
