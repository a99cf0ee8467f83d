// The configuration program's workflows against the simulated Ferrox drive.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "drive_link.h"
#include "ferrox_firmware.h"
#include "morvane_workflows.h"
#include "scenarios.h"
#include "sim_fixture.h"
#include "step_response.h"
#include "step_test.h"
#include "trace.h"
#include "transcript.h"

using namespace config_tool;
using namespace drive_link;
using namespace response;

namespace {
using drive_sim::AdapterCall;
using drive_sim::LineFault;

// Valid settings that differ from the simulated drive's own.
DriveSettings startSettings() {
    DriveSettings settings;
    settings.flags = 0x0208;
    const int axis[kSettingsPerAxis] = {1000, 3000, 500, 150, 100, 1, 300, 500, 20};
    for (int i = 0; i < kAxisSettingCount; ++i) {
        settings.contents[size_t(i)] = axis[i % kSettingsPerAxis] + (i / kSettingsPerAxis);
    }
    return settings;
}

struct Session {
    explicit Session(drive_sim::LinkFaults faults = {})
        : bench(installFerroxDrive(std::move(faults))),
          transcript(bench.adapter),
          ui(transcript.sink()) {
        setUpScenarioLink(link);
        ui.form = startSettings();
        ui.recordWaits = true;
    }
    template <class FrontEndKind, class Result>
    void run(const char* title, Result (*workflow)(FrontEndKind&)) {
        transcript.add(QString("== ") + title);
        workflow(ui);
    }
    template <class FrontEndKind, class Result>
    void run(const char* title, Result (*workflow)(Link&, FrontEndKind&)) {
        transcript.add(QString("== ") + title);
        workflow(link, ui);
    }
    QString text() { return transcript.text(); }

    FerroxBench bench;
    Transcript transcript;
    MorvaneRecorder ui;
    Link link{LinkDialect::Firmware, scenarioLinkSettings()};
};

QString connectApplyDisableDiagnose() {
    Session s;
    s.run("diagnosis", showDiagnosis);
    s.run("disable, adapter never opened", disableDrive);
    s.run("connect", connectDrive);
    s.ui.form.contents[kSettingsPerAxis + kGainPIndex] = 750;
    s.run("apply, gain P of axis 2 750", applySettings);
    s.run("connect: the drive kept what Apply stored", connectDrive);
    s.run("disable", disableDrive);
    s.bench.firmware.setParam(5102, 0x12);
    s.bench.firmware.setParam(5100, 0x1000);
    s.bench.firmware.setParam(485, 0xFFFF);
    s.bench.firmware.setReading(220, 0);
    s.run("diagnosis", showDiagnosis);
    auto& axis2 = s.ui.form.contents;
    axis2[kSettingsPerAxis + kContinuousCurrentIndex] = axis2[kSettingsPerAxis + kPeakCurrentIndex];
    s.run("apply, axis 2 continuous current equal to peak", applySettings);
    axis2[kSettingsPerAxis + kContinuousCurrentIndex] += 1;
    s.run("apply, axis 2 continuous current above peak", applySettings);
    return s.text();
}

// Each identification value just outside and just inside its bounds.
QString connectRefused() {
    Session s;
    const struct {
        uint16_t number, value;
        bool connect;
    } steps[] = {{6020, 199, true},  {6020, 301, true},   {6020, 300, false}, {6010, 1999, true},
                 {6010, 2501, true}, {6010, 2500, false}, {6012, 2001, true}, {6012, 2000, true},
                 {6020, 200, false}, {6010, 2000, true}};
    for (const auto& step : steps) {
        s.bench.firmware.setStoredParam(step.number, step.value);
        if (step.connect) {
            s.run(qPrintable(QString("connect, %1 = %2").arg(step.number).arg(step.value)),
                  connectDrive);
        }
    }
    return s.text();
}

QString connectLinkFaults() {
    Session s;
    auto& faults = s.bench.adapter.faults();
    faults.failingCalls = {AdapterCall::Open};
    s.run("connect, adapter cannot be opened", connectDrive);
    faults.failingCalls = {AdapterCall::SetBitMode};
    s.run("connect, adapter cannot be configured", connectDrive);
    faults.failingCalls.clear();
    faults.line = LineFault::StuckHigh;
    s.run("connect, drive not powered", connectDrive);
    faults.line = LineFault::StuckLow;
    s.run("connect, line stuck low", connectDrive);
    faults.line = LineFault::None;
    faults.garbageAtPowerUp = true;
    s.run("connect, garbage in the first two replies only", connectDrive);
    faults.bitSlipAtFrame = 2;
    s.run("connect, probe reply broken", connectDrive);
    return s.text();
}

// The frame counts are since the drive's power-up at Connect, which takes 73 frames.
constexpr long kConnectFrames = 73;

QString linkLost() {
    Session s;
    auto& faults = s.bench.adapter.faults();
    faults.stopAnsweringAfterFrames = 40;
    s.run("connect, drive falls silent during the import", connectDrive);
    faults.stopAnsweringAfterFrames = -1;
    s.run("connect", connectDrive);
    faults.stopAnsweringAfterFrames = kConnectFrames + 1 + 38;
    s.run("apply, drive falls silent after the settings", applySettings);
    faults.stopAnsweringAfterFrames = -1;
    s.run("connect", connectDrive);
    faults.stopAnsweringAfterFrames = kConnectFrames + 1;
    s.run("disable, drive falls silent after the command", disableDrive);
    faults.stopAnsweringAfterFrames = -1;
    s.run("connect", connectDrive);
    faults.stopAnsweringAfterFrames = kConnectFrames + 8;
    s.run("diagnosis, drive falls silent during the readings", showDiagnosis);
    return s.text();
}

QString stepTest() {
    Session s;
    s.run("connect", connectDrive);
    s.ui.spanMs = 0;
    s.run("test, no graphs", runStepTest);
    s.ui.spanMs = 100;
    s.ui.axis = 1;
    s.run("test, 100 ms on axis 2", runStepTest);
    s.run("connect", connectDrive);
    s.bench.adapter.faults().stopAnsweringAfterFrames = kConnectFrames + 3 + 8 + 2 + 300;
    s.run("test, drive falls silent during the download", runStepTest);
    return s.text();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write(bytes);
}

QString settingsFiles() {
    Session s;
    QTemporaryDir dir;
    auto open = [&](const char* title, const QString& name) {
        s.ui.fileAnswer = name.isEmpty() ? name : dir.filePath(name);
        s.run(title, openSettingsFile);
    };
    s.ui.fileAnswer.clear();
    s.run("save, cancelled", saveSettingsFile);
    s.ui.fileAnswer = dir.filePath("axis");
    s.run("save", saveSettingsFile);
    QFile saved(dir.filePath("axis.frx"));
    saved.open(QIODevice::ReadOnly);
    s.transcript.add("axis.frx:\n" + QString::fromUtf8(saved.readAll()).trimmed());
    s.ui.replaceAnswer = false;
    s.run("save again, not replacing", saveSettingsFile);
    s.ui.replaceAnswer = true;
    s.run("save again, replacing", saveSettingsFile);
    s.ui.form = DriveSettings{};
    open("open", "axis.frx");
    open("open, cancelled", "");
    open("open, missing", "missing.frx");
    // What no settings file can be is refused before it costs memory, stack or time.
    QByteArray nested = "<SetupFRX><Param80 Value=\"1\"/></SetupFRX>";
    for (int i = 0; i < 100; ++i) {
        nested.replace("<Param80", "<G><Param80").replace("</SetupFRX>", "</G></SetupFRX>");
    }
    const struct {
        const char* name;
        QByteArray bytes;
    } refused[] = {
        {"broken.frx", "<SetupFRX><Param80"},
        {"other.frx", "<Other/>"},
        {"empty.frx", ""},
        {"duplicate.frx", "<SetupFRX><Param80 Value=\"1\" Value=\"2\"/></SetupFRX>"},
        {"nested.frx", nested},
        {"entity.frx", "<!DOCTYPE KMR_ML [<!ENTITY e \"" + QByteArray(30000, 'x') +
                           "\">]>\n<SetupFRX>" + QByteArray("&e;").repeated(2000) + "</SetupFRX>"},
        {"oversized.frx", "<SetupFRX/><!--" + QByteArray(64 * 1024, ' ') + "-->"},
    };
    for (const auto& file : refused) {
        writeFile(dir.filePath(file.name), file.bytes);
        open(file.name, file.name);
    }
    mkfifo(QFile::encodeName(dir.filePath("fifo.frx")).constData(), 0600);
    open("open, a FIFO", "fifo.frx");
    open("open, a folder", ".");
    s.ui.fileAnswer = "/dev/zero";
    s.run("open, a device", openSettingsFile);
    writeFile(dir.filePath("partial.frx"),
              "<SetupFRX><FileSpecs Version=\"101\"/><Param80 Value=\"4\"/>"
              "<Nested><Param410 Value=\"x\"/></Nested></SetupFRX>");
    open("open, version 101, one parameter not a number, most missing", "partial.frx");
    s.ui.form.contents[kContinuousCurrentIndex] = 3001;
    s.ui.fileAnswer = dir.filePath("refused.frx");
    s.run("save, continuous current above peak", saveSettingsFile);
    s.transcript.add(QString("refused.frx exists: %1")
                         .arg(QFileInfo::exists(dir.filePath("refused.frx")) ? "yes" : "no"));
    s.ui.form = startSettings();
    s.ui.fileAnswer = dir.filePath("missing-folder/axis.frx");
    s.run("save, folder missing", saveSettingsFile);
    return s.text();
}
}  // namespace

// The outcomes that no subcommand meets: what the window's workflows return besides what they
// show (the transcripts show the rest, the subcommands' exit codes the failures).
TEST(MorvaneOutcomes, CancelledFilesRefusedDiagnosisVersionAndFigures) {
    {
        Session s;
        s.link.setTraceSink(discardingTrace());
        s.ui.fileAnswer.clear();
        EXPECT_TRUE(saveSettingsFile(s.ui).cancelled);
        EXPECT_TRUE(openSettingsFile(s.ui).cancelled);
        const DiagnosisOutcome refused = showDiagnosis(s.link, s.ui);
        EXPECT_EQ(refused.outcome.failure, Failure::NoDrive);
        EXPECT_TRUE(refused.report.isEmpty());

        const ConnectOutcome connected = connectDrive(s.link, s.ui);
        EXPECT_TRUE(connected.outcome.succeeded());
        EXPECT_EQ(connected.firmwareVersion, s.ui.connection.version);
        EXPECT_GE(connected.firmwareVersion, 2000);
        const StepTestOutcome tested = runStepTest(s.link, s.ui);
        EXPECT_TRUE(tested.outcome.succeeded());
        EXPECT_TRUE(s.transcript.text().endsWith(stepResultText(tested.figures.peakError,
                                                                tested.figures.undershoot,
                                                                tested.figures.settlingTimeMs) +
                                                 "\n"))
            << s.transcript.text().right(200).toStdString();
        EXPECT_GT(tested.figures.settlingTimeMs, 0);
    }
}

std::vector<Scenario> morvaneScenarios() {
    return {
        {"morvane_connect_apply_disable_diagnosis", connectApplyDisableDiagnose},
        {"morvane_connect_refused", connectRefused},
        {"morvane_connect_link_faults", connectLinkFaults},
        {"morvane_link_lost", linkLost},
        {"morvane_step_test", stepTest},
        {"morvane_settings_files", settingsFiles},
    };
}
