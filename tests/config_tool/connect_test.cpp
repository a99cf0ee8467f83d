// Connect, end to end: the window's button, the simulated drive on the wire, the boxes the user
// answers, the trace, and the state the window is left in.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QSpinBox>
#include <QStatusBar>

#include "drive_link.h"
#include "morvane_test_support.h"
#include "output_capture.h"

namespace {
const QString kUnableToOpen = "warning|Error|Unable to open USB adapter";
const QString kNoData =
    "warning|Error|Unable to communicate with drive. No data received from device. <br>Ensure "
    "that you have followed the instructions of previous dialog.";
const QString kChecksum =
    "warning|Error|Unable to communicate with drive. Data checksum error. <br>Ensure that you "
    "have followed the instructions of previous dialog.";
const QString kUnsupportedType = "warning|Error|Unsupported drive type found";
const QString kNoFerrox =
    "critical|Error|No Ferrox firmware installed in drive. Please install Ferrox firmware before "
    "using Morvane <b>or</b> use Orrick to configure.";
const QString kTooNew =
    "critical|Error|Too new Ferrox firmware version found in drive. <br>Please upgrade Morvane.";

Frames identificationUpTo(int reads) {
    const uint16_t numbers[] = {6020, 6010, 6012};
    Frames frames = noOps(3);
    for (int i = 0; i < reads; ++i) {
        frames = frames + readOf(numbers[i]);
    }
    return frames;
}

void expectDisconnected(Morvane& window) {
    EXPECT_FALSE(window.connected);
    EXPECT_FALSE(window.ui.testButton->isEnabled());
    EXPECT_FALSE(window.ui.applyButton->isEnabled());
    EXPECT_FALSE(window.ui.disableButton->isEnabled());
    EXPECT_TRUE(window.ui.connectButton->isEnabled());
}
}  // namespace

TEST(Connect, AcceptsTheDriveImportsItsSettingsAndTracesEveryFrame) {
    FerroxBench bench = installFerroxDrive();
    Morvane window;
    window.show();
    MessageBoxWatcher watcher;
    OutputCapture capture;
    ASSERT_TRUE(clickConnect(window));
    const std::string out = capture.out();
    capture.stop();

    EXPECT_EQ(describeBoxes(watcher), QStringList{kConnectingBox});
    EXPECT_EQ(framesSince(bench.adapter), connectFrames());
    EXPECT_EQ(window.ui.statusbar->currentMessage(),
              "Conneced & settings imported. Firmware version 2210");
    EXPECT_EQ(window.firmwareVersion, 2210);
    EXPECT_TRUE(window.ui.testButton->isEnabled());
    EXPECT_TRUE(window.ui.applyButton->isEnabled());
    EXPECT_TRUE(window.ui.disableButton->isEnabled());

    // The form now shows the drive's factory set, not its own start values.
    EXPECT_EQ(window.ui.contcurrM1->value(), 2600);
    EXPECT_EQ(window.ui.peakcurrM1->value(), 6000);
    EXPECT_EQ(window.ui.ferrorM1->value(), 800);
    EXPECT_DOUBLE_EQ(window.ui.inductanceM1->value(), 2.50);
    EXPECT_DOUBLE_EQ(window.ui.resistanceM1->value(), 0.85);
    EXPECT_EQ(window.ui.multM1->value(), 4);
    EXPECT_EQ(window.ui.gainDM1->value(), 700);
    EXPECT_EQ(window.ui.gainPM1->value(), 650);
    EXPECT_EQ(window.ui.gainIM1->value(), 120);
    EXPECT_EQ(window.ui.contcurrM2->value(), 2400);
    EXPECT_DOUBLE_EQ(window.ui.inductanceM2->value(), 3.00);
    EXPECT_DOUBLE_EQ(window.ui.resistanceM2->value(), 0.92);
    EXPECT_EQ(window.ui.gainPM2->value(), 600);
    EXPECT_TRUE(window.ui.invertM1->isChecked());
    EXPECT_TRUE(window.ui.encoderfailM1->isChecked());
    EXPECT_FALSE(window.ui.antiditherM1->isChecked());
    EXPECT_FALSE(window.ui.slaveAxisM2->isChecked());

    // The trace: one line per frame, the parameter reads with the values they returned.
    TraceScript script(bench.adapter.frameLog(), 0);
    script.frames(3).read(6020).read(6010).read(6012).frames(2);
    for (uint16_t number : settingNumbers()) {
        script.read(number);
    }
    script.frames(2);
    EXPECT_TRUE(script.matchedScript());
    EXPECT_EQ(out, script.text());
    EXPECT_NE(out.find("6010=2210\n"), std::string::npos);
}

TEST(Connect, IdentificationBoundaries) {
    struct Case {
        uint16_t param;
        uint16_t value;
        QString box;       // empty: accepted
        int readsBefore;   // identification reads sent before the verdict
        int firmwareSeen;  // firmwareVersion afterwards
    };
    const Case cases[] = {
        {6020, 199, kUnsupportedType, 1, -1},
        {6020, 200, "", 3, 2210},
        {6020, 300, "", 3, 2210},
        {6020, 301, kUnsupportedType, 1, -1},
        {6010, 1999, kNoFerrox, 3, 1999},
        {6010, 2000, "", 3, 2000},
        {6010, 2500, "", 3, 2500},
        {6010, 2501, kNoFerrox, 3, 2501},
        {6012, 2000, "", 3, 2210},
        {6012, 2001, kTooNew, 3, 2210},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.param) + "=" + std::to_string(c.value));
        FerroxBench bench = installFerroxDrive();
        bench.firmware.setStoredParam(c.param, c.value);
        Morvane window;
        MessageBoxWatcher watcher;
        const bool connected = clickConnect(window);
        if (c.box.isEmpty()) {
            EXPECT_TRUE(connected);
            EXPECT_EQ(describeBoxes(watcher), QStringList{kConnectingBox});
            EXPECT_EQ(framesSince(bench.adapter), connectFrames());
        } else {
            EXPECT_FALSE(connected);
            EXPECT_EQ(describeBoxes(watcher), (QStringList{kConnectingBox, c.box}));
            EXPECT_EQ(framesSince(bench.adapter), identificationUpTo(c.readsBefore));
            expectDisconnected(window);
            EXPECT_EQ(window.ui.statusbar->currentMessage(), "Connecting to drive...");
        }
        EXPECT_EQ(window.firmwareVersion, c.firmwareSeen);
    }
}

TEST(Connect, OldFirmwareIsRejectedBeforeItsCompatibilityIsLookedAt) {
    FerroxBench bench = installFerroxDrive();
    bench.firmware.setStoredParam(6010, 1999);
    bench.firmware.setStoredParam(6012, 2400);
    Morvane window;
    MessageBoxWatcher watcher;
    EXPECT_FALSE(clickConnect(window));
    EXPECT_EQ(describeBoxes(watcher), (QStringList{kConnectingBox, kNoFerrox}));
}

TEST(Connect, UnpoweredDriveGivesNoDataWhicheverWayTheLineIsStuck) {
    for (auto line : {drive_sim::LineFault::StuckHigh, drive_sim::LineFault::StuckLow}) {
        SCOPED_TRACE(int(line));
        drive_sim::LinkFaults faults;
        faults.line = line;
        FerroxBench bench = installFerroxDrive(faults);
        Morvane window;
        MessageBoxWatcher watcher;
        OutputCapture capture;
        EXPECT_FALSE(clickConnect(window));
        EXPECT_EQ(describeBoxes(watcher), (QStringList{kConnectingBox, kNoData}));
        EXPECT_EQ(framesSince(bench.adapter), noOps(3));
        // The replies fail their CRC too, and the trace says so.
        EXPECT_NE(capture.out().find("CRC error (correct "), std::string::npos);
        expectDisconnected(window);
        EXPECT_TRUE(linkState.linkOpen);  // left open for the next Connect to reopen
    }
}

TEST(Connect, ChecksumErrorsCountOnlyInTheThirdProbeFrame) {
    {
        drive_sim::LinkFaults faults;
        faults.garbageAtPowerUp = true;  // the first two replies fail their CRC
        FerroxBench bench = installFerroxDrive(faults);
        Morvane window;
        MessageBoxWatcher watcher;
        OutputCapture capture;
        EXPECT_TRUE(clickConnect(window));
        const QStringList lines = QString::fromStdString(capture.out()).split('\n');
        capture.stop();
        EXPECT_EQ(describeBoxes(watcher), QStringList{kConnectingBox});
        // The host did see both corrupted replies; it just does not hold them against the drive.
        ASSERT_GT(lines.size(), 3);
        EXPECT_TRUE(lines[0].contains(" CRC error (correct "));
        EXPECT_TRUE(lines[1].contains(" CRC error (correct "));
        EXPECT_TRUE(lines[2].startsWith("002,00000 "));
        EXPECT_EQ(framesSince(bench.adapter), connectFrames());
    }
    {
        drive_sim::LinkFaults faults;
        faults.bitSlipAtFrame = 2;  // the third frame loses a clock edge: its reply is garbled
        FerroxBench bench = installFerroxDrive(faults);
        Morvane window;
        MessageBoxWatcher watcher;
        EXPECT_FALSE(clickConnect(window));
        EXPECT_EQ(describeBoxes(watcher), (QStringList{kConnectingBox, kChecksum}));
        EXPECT_EQ(window.firmwareVersion, -1);
        for (const Frame& frame : framesSince(bench.adapter)) {
            EXPECT_EQ(frame, (Frame{2, 0}));  // nothing after the probe
        }
        expectDisconnected(window);
    }
}

TEST(Connect, AdapterThatCannotBeOpenedOrConfiguredIsReported) {
    for (auto call : {drive_sim::AdapterCall::Open, drive_sim::AdapterCall::SetBitMode}) {
        SCOPED_TRACE(drive_sim::adapterCallName(call));
        drive_sim::LinkFaults faults;
        faults.failingCalls = {call};
        FerroxBench bench = installFerroxDrive(faults);
        Morvane window;
        MessageBoxWatcher watcher;
        EXPECT_FALSE(clickConnect(window));
        EXPECT_EQ(describeBoxes(watcher), QStringList{kUnableToOpen});
        EXPECT_TRUE(bench.adapter.frameLog().empty());
        expectDisconnected(window);
    }
}

TEST(Connect, LinkLostDuringTheImportLeavesTheWindowDisconnected) {
    drive_sim::LinkFaults faults;
    faults.stopAnsweringAfterFrames = 30;  // well inside the import
    FerroxBench bench = installFerroxDrive(faults);
    Morvane window;
    MessageBoxWatcher watcher;
    OutputCapture capture;
    EXPECT_FALSE(clickConnect(window));
    EXPECT_EQ(describeBoxes(watcher), (QStringList{kConnectingBox, kLinkLostBox}));
    // Every parameter is still asked for before the loss is reported; the silent drive logs
    // nothing, so the host's trace counts them.
    EXPECT_EQ(tracedTransactions(capture.out()), int(connectFrames().size()));
    EXPECT_EQ(framesSince(bench.adapter).size(), 30u);
    EXPECT_EQ(window.ui.statusbar->currentMessage(), "Connection lost, reconnect.");
    EXPECT_EQ(window.firmwareVersion, -1);
    expectDisconnected(window);
    // What arrived before the loss is in the form.
    EXPECT_TRUE(window.ui.invertM1->isChecked());
    EXPECT_EQ(window.ui.contcurrM1->value(), 2600);
}

TEST(Connect, CrcErrorInTheIdentificationReadsIsReportedOnceTheValuesPassed) {
    drive_sim::LinkFaults faults;
    faults.stopAnsweringAfterFrames = 13;  // silent from the second flushing no-op on
    FerroxBench bench = installFerroxDrive(faults);
    Morvane window;
    MessageBoxWatcher watcher;
    OutputCapture capture;
    EXPECT_FALSE(clickConnect(window));
    EXPECT_EQ(describeBoxes(watcher), (QStringList{kConnectingBox, kLinkLostBox}));
    EXPECT_EQ(framesSince(bench.adapter), identificationUpTo(3) + noOps(1));
    EXPECT_EQ(tracedTransactions(capture.out()), 14);  // no import
    EXPECT_EQ(window.firmwareVersion, -1);
    expectDisconnected(window);
}

TEST(Connect, PressingConnectAgainGreysTheDriveButtonsAtOnce) {
    FerroxBench bench = installFerroxDrive();
    Morvane window;
    MessageBoxWatcher watcher;
    ASSERT_TRUE(clickConnect(window));
    bool greyedWhileAsking = false;
    watcher.onBoxOpen([&](int, QMessageBox*) {
        greyedWhileAsking = !window.ui.applyButton->isEnabled() &&
                            !window.ui.disableButton->isEnabled() &&
                            !window.ui.testButton->isEnabled() && !window.connected;
    });
    bench.adapter.faults().line = drive_sim::LineFault::StuckHigh;
    watcher.clear();
    EXPECT_FALSE(clickConnect(window));
    EXPECT_TRUE(greyedWhileAsking);
    EXPECT_EQ(describeBoxes(watcher), (QStringList{kConnectingBox, kNoData}));
    expectDisconnected(window);
}
