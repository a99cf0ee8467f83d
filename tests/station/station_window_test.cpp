// The station on four simulated fixtures: scans, PASS and FAIL, the yield strip, the log, and
// one fixture's hung adapter or failed power-cycle command failing that tile alone.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <condition_variable>
#include <functional>

#include "fixture_drive.h"
#include "job_file.h"
#include "run_log.h"
#include "run_result.h"
#include "sim_options.h"
#include "sim_station.h"
#include "startup_options.h"
#include "station_provider.h"
#include "station_tile.h"
#include "station_window.h"
#include "vlf_writer.h"

namespace {

const startup::ProgramInfo kTressel{"tressel", "1.0.0", "", drive_link::LinkDialect::Bootloader};

// A job beside a small image, with `fixtures` as the JSON list's body and `more` keys.
station::Job writeJob(const QTemporaryDir& dir, const QString& fixtures, const QString& more = {}) {
    vlf::ImageLayout layout;
    layout.words = vlf::patternPackets(6, 7);
    std::string error;
    EXPECT_TRUE(vlf::writeImage(dir.filePath("fw.vlf").toStdString(), layout, error)) << error;
    QFile job(dir.filePath("line.json"));
    EXPECT_TRUE(job.open(QIODevice::WriteOnly));
    job.write(QString(R"({"image":"fw.vlf","sha256":"%1","retries":1,"log":"units.log",%3
                         "fixtures":[%2]})")
                  .arg(command_line::sha256Of(dir.filePath("fw.vlf")), fixtures, more)
                  .toUtf8());
    job.close();
    const station::JobReading reading = station::readJobFile(dir.filePath("line.json"));
    EXPECT_TRUE(reading.accepted) << reading.refusal.toStdString();
    return reading.job;
}

// The provider goes only once the window, whose port watch still reads it, is gone: declared
// before the window.
struct ProviderUninstalled {
    ~ProviderUninstalled() { installD2xxProvider(nullptr); }
};

// The simulated station of `job` as `tressel station --simulate=KEYS` installs it.
void installSimulated(const station::Job& job, const QString& keys) {
    const startup::StartupChoice choice = startup::judgeAdapterOptions({}, {keys}, kTressel);
    std::vector<startup::StationAdapter> adapters;
    for (const station::Fixture& fixture : job.fixtures) {
        adapters.push_back({fixture.port.toStdString(), fixture.simulate.toStdString(),
                            !job.settingsPath.isEmpty()});
    }
    QString why;
    ASSERT_TRUE(startup::installStationProvider(choice, adapters, why)) << why.toStdString();
}

QJsonObject recordOf(const QString& line) {
    return QJsonDocument::fromJson(line.toUtf8()).object();
}

bool waitFor(const std::function<bool()>& done, int ms = 20000) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return done();
}

void scan(gui_station::StationTile* tile, const QString& unit) {
    auto* field = tile->findChild<QLineEdit*>("unitId");
    field->setText(unit);
    QTest::keyClick(field, Qt::Key_Return);
}

QStringList logLines(const QTemporaryDir& dir) {
    QFile log(dir.filePath("units.log"));
    log.open(QIODevice::ReadOnly);
    return QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts);
}

std::shared_ptr<station::SharedLog> openLog(const station::Job& job) {
    QString why;
    return std::make_shared<station::SharedLog>(command_line::openRunLog(job.log, why));
}

bool finished(gui_station::StationWindow& window, int tiles) {
    for (int i = 0; i < tiles; ++i) {
        const QString verdict = window.tile(i)->verdictText();
        if (!verdict.startsWith("PASS") && !verdict.startsWith("FAIL")) {
            return false;
        }
    }
    return true;
}
}  // namespace

// B: seed 27 of that line loses the link in the first attempt and passes the second.
TEST(Station, FourFixturesPassFailRetryYieldAndLog) {
    QTemporaryDir dir;
    const station::Job job = writeJob(dir, R"({"name":"A","port":"1-1"},
                         {"name":"B","port":"1-2","simulate":"ber=3e-5,seed=27"},
                         {"name":"C","port":"1-3","simulate":"mode=firmware"},
                         {"name":"D","port":"1-4"})");
    installSimulated(job, "latency=0,seed=40");
    station::TileSettings settings;
    settings.simulated = true;
    ProviderUninstalled uninstalled;
    gui_station::StationWindow window(job, openLog(job), settings);
    window.show();
    EXPECT_TRUE(window.windowTitle().contains(job.imageSha256));

    scan(window.tile(0), "");  // refused by the rule of --unit, nothing started
    EXPECT_TRUE(window.tile(0)->verdictText().startsWith("Not started: "))
        << window.tile(0)->verdictText().toStdString();
    const QStringList units{"SN-1", "SN-2", "SN-3", "SN-4"};
    for (int i = 0; i < 4; ++i) {
        scan(window.tile(i), units[i]);
    }
    ASSERT_TRUE(waitFor([&] { return finished(window, 4); }));
    EXPECT_EQ(window.tile(0)->verdictText().toStdString(), "PASS");
    EXPECT_EQ(window.tile(1)->verdictText().toStdString(), "PASS");
    EXPECT_TRUE(window.tile(2)->verdictText().startsWith(
        "FAIL\nno drive: Drive doesn't seem to be in bootloader mode"))
        << window.tile(2)->verdictText().toStdString();
    EXPECT_EQ(window.tile(3)->verdictText().toStdString(), "PASS");
    EXPECT_EQ(window.yieldText().toStdString(),
              "units 4   first-pass yield 50 %   final yield 75 %   adapter alarm: none");

    // One line per attempt, as the flash subcommand files them with --unit and --retries.
    QStringList filed;
    for (const QString& line : logLines(dir)) {
        const QJsonObject record = recordOf(line);
        filed += QString("%1 %2 %3 %4 %5")
                     .arg(record["unit"].toString(), record["subcommand"].toString())
                     .arg(record["attempt"].toInt())
                     .arg(record["exit_code"].toInt())
                     .arg(record["adapter"].toString());
        EXPECT_EQ(record["sha256"].toString(), job.imageSha256);
    }
    filed.sort();
    EXPECT_EQ(filed.join('|').toStdString(),
              QStringList({"SN-1 flash 1 0 simulated 1-1", "SN-2 flash 1 6 simulated 1-2",
                           "SN-2 flash 2 0 simulated 1-2", "SN-3 flash 1 5 simulated 1-3",
                           "SN-3 flash 2 5 simulated 1-3", "SN-4 flash 1 0 simulated 1-4"})
                  .join('|')
                  .toStdString());

    QProcess report;
    report.start(KMR_TRESSEL, {"report", dir.filePath("units.log")});
    ASSERT_TRUE(report.waitForFinished(20000));
    const QString reported = QString::fromUtf8(report.readAllStandardOutput());
    EXPECT_TRUE(reported.startsWith("6 runs, 4 units, first-pass yield 50.0 %, final yield 75.0 %"))
        << reported.toStdString();
}

// The job's settings after each verified flash, on drives that switch to their firmware as a
// fixture's operator pulls the jumper: restored and read back, or the unit fails.
TEST(Station, SettingsAfterTheFlashAreRestoredAndReadBackOrTheUnitFails) {
    QTemporaryDir dir;
    QFile golden(KMR_GOLDEN_DIR "/factory_drive.frx"), settings(dir.filePath("drive.frx"));
    ASSERT_TRUE(golden.open(QIODevice::ReadOnly) && settings.open(QIODevice::WriteOnly));
    settings.write(golden.readAll().replace("\"650\"", "\"700\""));  // parameter 200
    settings.close();
    const station::Job job = writeJob(dir, R"({"name":"A","port":"1-1"},
                         {"name":"B","port":"1-2","simulate":"clamp=200:680"},
                         {"name":"C","port":"1-3","simulate":"mode=firmware"})",
                                      R"("settings":"drive.frx",)");
    installSimulated(job, "latency=0,seed=5");
    station::TileSettings tileSettings;
    tileSettings.simulated = true;
    ProviderUninstalled uninstalled;
    gui_station::StationWindow window(job, openLog(job), tileSettings);
    QStringList phases;
    QObject::connect(window.findChildren<station::TileWorker*>().at(0),
                     &station::TileWorker::phaseChanged,
                     [&](int phase) { phases += station::phaseText(station::TilePhase(phase)); });
    for (int i = 0; i < 3; ++i) {
        scan(window.tile(i), QString("SN-%1").arg(i + 1));
    }
    ASSERT_TRUE(waitFor([&] { return finished(window, 3); }));
    EXPECT_EQ(window.tile(0)->verdictText().toStdString(), "PASS");
    EXPECT_EQ(window.tile(1)->verdictText().toStdString(),
              "FAIL\ndrive failed: read-back differs: parameter 200 sent 700, found 680");
    EXPECT_TRUE(window.tile(2)->verdictText().startsWith("FAIL\nno drive: "));
    EXPECT_TRUE(
        phases.join(',').endsWith("verifying,configuring,waiting for the drive,configuring"))
        << phases.join(',').toStdString();

    auto* simulated = dynamic_cast<drive_sim::SimulatedStation*>(installedD2xxProvider());
    auto& drive =
        dynamic_cast<drive_sim::FixtureDrive&>(simulated->adapterAt("1-1")->personality());
    EXPECT_EQ(drive.firmware().storedParams().at(200), 700);

    // One line per unit attempt: the settings step inside the flash's record.
    QStringList filed;
    for (const QString& line : logLines(dir)) {
        const QJsonObject record = recordOf(line);
        const QJsonObject restored = record["settings"].toObject();
        filed += QString("%1 %2 %3 %4")
                     .arg(record["unit"].toString())
                     .arg(record["exit_code"].toInt())
                     .arg(restored["exit_code"].toInt(-1))
                     .arg(restored["message"].toString());
        if (!restored.isEmpty()) {
            EXPECT_EQ(restored["sha256"].toString(), job.settingsSha256);
        }
    }
    filed.sort();
    EXPECT_EQ(filed.join('|').toStdString(),
              QStringList({"SN-1 0 0 restored and read back: " + job.settingsPath,
                           "SN-2 7 7 failed: read-back differs: parameter 200 sent 700, found 680",
                           "SN-3 5 -1 ", "SN-3 5 -1 "})
                  .join('|')
                  .toStdString());

    // The fixture's next unit comes in bootloader mode again and is configured as the first.
    scan(window.tile(0), "SN-4");
    ASSERT_TRUE(waitFor([&] { return finished(window, 1); }));
    EXPECT_EQ(window.tile(0)->verdictText().toStdString(), "PASS");
}

namespace {
// The simulated station, with one port whose adapter stops answering in the middle of a flash:
// its writes block until the test lets them go, as a USB transfer that never completes.
class HangingStation : public drive_sim::SimulatedStation {
public:
    explicit HangingStation(std::string hangingPort) : hangingPort_(std::move(hangingPort)) {}
    FT_STATUS openNamed(const std::string& name, DWORD flags, FT_HANDLE* handle) override {
        const FT_STATUS status = SimulatedStation::openNamed(name, flags, handle);
        if (name == hangingPort_) {
            hanging_ = *handle;
        }
        return status;
    }
    FT_STATUS write(FT_HANDLE handle, const void* buffer, DWORD toWrite, DWORD* written) override {
        if (handle == hanging_ && ++writes_ > 400) {
            std::unique_lock<std::mutex> lock(mutex_);
            released_.wait(lock, [this] { return release_; });
        }
        return SimulatedStation::write(handle, buffer, toWrite, written);
    }
    void release() {
        std::lock_guard<std::mutex> lock(mutex_);
        release_ = true;
        released_.notify_all();
    }

private:
    std::string hangingPort_;
    FT_HANDLE hanging_ = nullptr;
    std::atomic<int> writes_{0};
    std::mutex mutex_;
    std::condition_variable released_;
    bool release_ = false;
};
}  // namespace

TEST(Station, AHungAdapterOrAFailedPowerCycleFailsItsTileAloneAsAStationFault) {
    QTemporaryDir dir;
    const station::Job job = writeJob(dir, R"({"name":"A","port":"1-1"},
        {"name":"B","port":"1-2"},
        {"name":"C","port":"1-3","power_cycle_command":"exit 3"},
        {"name":"D","port":"1-4","power_cycle_command":"true"})");
    auto station = std::make_unique<HangingStation>("1-1");
    HangingStation* hanging = station.get();
    drive_sim::SimOptions options;
    options.mode = drive_sim::DriveMode::Bootloader;
    options.latencyMs = 0;
    for (const station::Fixture& fixture : job.fixtures) {
        hanging->plugIn(fixture.port.toStdString(), drive_sim::makeSimulatedAdapter(options));
    }
    installD2xxProvider(std::move(station));
    station::TileSettings settings;
    settings.simulated = true;
    settings.silenceLimit = std::chrono::milliseconds(1000);
    ProviderUninstalled uninstalled;
    gui_station::StationWindow window(job, openLog(job), settings);
    for (int i = 0; i < 4; ++i) {
        scan(window.tile(i), QString("SN-%1").arg(i + 1));
    }
    ASSERT_TRUE(waitFor([&] { return finished(window, 4); }));
    EXPECT_EQ(window.tile(0)->verdictText().toStdString(),
              "FAIL\nstation fault: the fixture's adapter stopped answering");
    EXPECT_EQ(window.tile(1)->verdictText().toStdString(), "PASS");
    EXPECT_EQ(window.tile(2)->verdictText().toStdString(),
              "FAIL\nstation fault: the power-cycle command failed (exit code 3)");
    EXPECT_EQ(window.tile(3)->verdictText().toStdString(), "PASS");
    // A hung adapter takes no new unit until its thread is back; a station fault files no unit.
    scan(window.tile(0), "SN-5");
    EXPECT_EQ(window.tile(0)->verdictText().toStdString(),
              "Not started: the fixture's adapter still does not answer");
    EXPECT_EQ(logLines(dir).size(), 2);
    EXPECT_EQ(window.yieldText().toStdString(),
              "units 2   first-pass yield 100 %   final yield 100 %   adapter alarm: none");
    hanging->release();
    ASSERT_TRUE(waitFor([&] {
        scan(window.tile(0), "SN-5");
        return !window.tile(0)->verdictText().startsWith("Not started: the fixture");
    }));
    ASSERT_TRUE(waitFor([&] { return finished(window, 1); }));
    EXPECT_EQ(window.tile(0)->verdictText().toStdString(), "PASS");
    EXPECT_EQ(logLines(dir).size(), 3);
}

// A fixture whose adapter is plugged in only after the start says it is not connected and takes
// no scan; once the adapter is on the bus, the tile takes the next scan without a restart.
TEST(Station, AFixturePluggedInLateIsNotConnectedUntilItsAdapterAppears) {
    QTemporaryDir dir;
    const station::Job job = writeJob(
        dir,
        R"({"name":"A","port":"1-1"},{"name":"B","port":"1-2","simulate":"plug_in_after=1.5"})");
    installSimulated(job, "latency=0");
    station::TileSettings settings;
    settings.simulated = true;
    settings.portLookInterval = std::chrono::milliseconds(20);
    ProviderUninstalled uninstalled;
    gui_station::StationWindow window(job, openLog(job), settings);
    ASSERT_TRUE(waitFor([&] { return window.tile(1)->phaseText() == "not connected"; }));
    EXPECT_EQ(window.tile(0)->phaseText().toStdString(), "scan a unit");
    scan(window.tile(1), "SN-1");
    EXPECT_EQ(window.tile(1)->verdictText().toStdString(),
              "Not started: the fixture's adapter is not connected");

    ASSERT_TRUE(waitFor([&] { return window.tile(1)->phaseText() == "scan a unit"; }));
    scan(window.tile(1), "SN-1");
    ASSERT_TRUE(waitFor([&] { return window.tile(1)->verdictText() == "PASS"; }));
    EXPECT_EQ(logLines(dir).size(), 1);
}
