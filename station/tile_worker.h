// One fixture's work: a unit at a time, flashed on a thread of its own through a link of its own,
// so that one adapter's fault, hang or unplug never holds another fixture. Phases, progress and
// the verdict reach the window by queued signals; the worker itself has no widget.
#pragma once

#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>

#include "job_file.h"

namespace command_line {
class RunLog;
}

namespace station {

enum class TilePhase {
    Idle,
    NotConnected,     // no adapter at the fixture's port: the tile watches for one
    WaitingForDrive,  // the power cycle: by the fixture's command, the simulated drive or the
                      // operator
    Connecting,
    Erasing,
    Writing,
    Verifying,
    Configuring,  // the job's settings restored and read back after a verified flash
    Passed,
    Failed,
};

QString phaseText(TilePhase phase);

// Every unit of the station goes into one log; the tiles take turns at it.
class SharedLog {
public:
    explicit SharedLog(std::unique_ptr<command_line::RunLog> log);
    ~SharedLog();
    bool append(const QJsonObject& record, QString& why);

private:
    std::mutex mutex_;
    std::unique_ptr<command_line::RunLog> log_;
};

struct TileSettings {
    bool simulated = false;  // the simulated drive is powered when its adapter opens
    // A worker that shows no sign of life this long (outside the operator's power cycle) is
    // given up: its tile fails as a station fault and the others go on.
    std::chrono::milliseconds silenceLimit{60000};
    std::chrono::milliseconds powerCycleCommandLimit{15000};
    // How often the station looks for the fixtures' adapters on the bus.
    std::chrono::milliseconds portLookInterval{1000};
};

class TileWorker : public QObject {
    Q_OBJECT
public:
    struct Run;

    TileWorker(const Job& job, int fixtureIndex, std::shared_ptr<SharedLog> log,
               TileSettings settings, QObject* parent = nullptr);
    ~TileWorker() override;

    // Why `unit` cannot be started now (the --unit rule, a unit still running, an adapter that
    // still hangs); empty when it was started.
    QString startUnit(const QString& unit);
    bool running() const;
    // The operator restarted the drive, as the tile asked.
    void powerCycleDone();
    // Whether the fixture's adapter was on the bus at the last look (until the first: yes).
    bool connected() const { return connected_; }
    // A look at the bus found adapters at these ports.
    void portsSeen(const QStringList& ports);

signals:
    void phaseChanged(int phase, int attempt);
    void progressChanged(int packet, int packetCount);
    void powerCycleRequested(const QString& instructions);
    void recordFiled(const QJsonObject& record);
    // The unit's verdict: passed, or the failure in words ("station fault: ..." when the unit
    // itself was not judged).
    void unitFinished(bool passed, const QString& verdict);
    void connectionChanged(bool connected);

private:
    void watchForSilence();

    Job job_;
    int fixtureIndex_;
    std::shared_ptr<SharedLog> log_;
    TileSettings settings_;
    bool connected_ = true;
    std::shared_ptr<Run> run_;  // the unit under way, shared with its thread
    std::thread thread_;
    QTimer watchdog_;
};

}  // namespace station
