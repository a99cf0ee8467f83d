// Connect, end to end: the window's button, the simulated drive on the wire, the boxes the user
// answers, the trace, and the state the window is left in.
#include <gtest/gtest.h>

#include <QStatusBar>
#include <algorithm>

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

Frames connectFramesUpTo(size_t count) {
    const Frames all = connectFrames();
    return Frames(all.begin(), all.begin() + long(std::min(count, all.size())));
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
    const QStringList values = formValues(window);
    for (const char* value : {"contcurrM1=2600", "inductanceM1=2.50", "resistanceM2=0.92",
                              "gainPM2=600", "invertM1=2", "antiditherM1=0"}) {
        EXPECT_TRUE(values.contains(value)) << value;
    }

    // The trace: one line per frame, the parameter reads with the values they returned.
    TraceScript script(bench.adapter.frameLog(), 0);
    script.frames(3).read(6020).read(6010).read(6012).frames(2);
    for (uint16_t number : settingNumbers()) {
        script.read(number);
    }
    script.frames(2);
    EXPECT_TRUE(script.matchedScript());
    EXPECT_EQ(out, script.text());
}

TEST(Connect, IdentificationBoundaries) {
    struct Case {
        uint16_t param;
        uint16_t value;
        uint16_t compatibility;  // 0: the drive's own
        QString box;             // empty: accepted
        int readsBefore;         // identification reads sent before the verdict
        int firmwareSeen;        // firmwareVersion afterwards
    };
    const Case cases[] = {
        {6020, 199, 0, kUnsupportedType, 1, -1},
        {6020, 200, 0, "", 3, 2210},
        {6020, 300, 0, "", 3, 2210},
        {6020, 301, 0, kUnsupportedType, 1, -1},
        // A rejected firmware is reported as such even when its compatibility is too new.
        {6010, 1999, 2400, kNoFerrox, 3, 1999},
        {6010, 2000, 0, "", 3, 2000},
        {6010, 2500, 0, "", 3, 2500},
        {6010, 2501, 2400, kNoFerrox, 3, 2501},
        {6012, 2000, 0, "", 3, 2210},
        {6012, 2001, 0, kTooNew, 3, 2210},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.param) + "=" + std::to_string(c.value));
        FerroxBench bench = installFerroxDrive();
        bench.firmware.setStoredParam(c.param, c.value);
        if (c.compatibility) {
            bench.firmware.setStoredParam(6012, c.compatibility);
        }
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
            EXPECT_EQ(framesSince(bench.adapter), connectFramesUpTo(3 + 3 * size_t(c.readsBefore)));
            expectDisconnected(window);
            EXPECT_EQ(window.ui.statusbar->currentMessage(), "Connecting to drive...");
        }
        EXPECT_EQ(window.firmwareVersion, c.firmwareSeen);
    }
}

TEST(Connect, EachFaultOfTheAdapterOrTheLinkHasItsMessageAndLeavesTheWindowDisconnected) {
    using drive_sim::LinkFaults;
    const struct {
        const char* name;
        void (*inject)(LinkFaults&);
        QString box;
        size_t framesSent;  // the drive logs what it received; a silent one logs nothing
        int traced;         // transactions the host still made
    } cases[] = {
        {"adapter not opened",
         [](LinkFaults& f) { f.failingCalls = {drive_sim::AdapterCall::Open}; }, kUnableToOpen, 0,
         0},
        {"adapter not configured",
         [](LinkFaults& f) { f.failingCalls = {drive_sim::AdapterCall::SetBitMode}; },
         kUnableToOpen, 0, 0},
        {"line stuck high", [](LinkFaults& f) { f.line = drive_sim::LineFault::StuckHigh; },
         kNoData, 3, 3},
        {"line stuck low", [](LinkFaults& f) { f.line = drive_sim::LineFault::StuckLow; }, kNoData,
         3, 3},
        // The third probe frame loses a clock edge: its reply is garbled, and the drive never
        // completes it.
        {"checksum", [](LinkFaults& f) { f.bitSlipAtFrame = 2; }, kChecksum, 2, 3},
        // Silent from the second flushing no-op on: the values passed, the CRC error did not.
        {"lost after identification", [](LinkFaults& f) { f.stopAnsweringAfterFrames = 13; },
         kLinkLostBox, 13, 14},
        // Every parameter is still asked for before the loss is reported.
        {"lost during import", [](LinkFaults& f) { f.stopAnsweringAfterFrames = 30; }, kLinkLostBox,
         30, int(connectFrames().size())},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LinkFaults faults;
        c.inject(faults);
        FerroxBench bench = installFerroxDrive(faults);
        Morvane window;
        const QStringList form = formValues(window);
        MessageBoxWatcher watcher;
        OutputCapture capture;
        const bool connected = clickConnect(window);
        const std::string out = capture.out();
        capture.stop();
        EXPECT_FALSE(connected);
        EXPECT_EQ(formValues(window), form);  // also when the import broke off half way
        EXPECT_EQ(describeBoxes(watcher), c.box == kUnableToOpen
                                              ? QStringList{c.box}
                                              : (QStringList{kConnectingBox, c.box}));
        EXPECT_EQ(framesSince(bench.adapter), connectFramesUpTo(c.framesSent));
        EXPECT_EQ(tracedTransactions(out), c.traced);
        EXPECT_EQ(window.ui.statusbar->currentMessage(),
                  c.box == kLinkLostBox ? "Connection lost, reconnect." : "Connecting to drive...");
        EXPECT_EQ(window.firmwareVersion, -1);
        expectDisconnected(window);
        if (c.box != kUnableToOpen) {
            EXPECT_TRUE(linkState.linkOpen);  // left open for the next Connect to reopen
        }
    }
}

TEST(Connect, ChecksumErrorsInTheFirstTwoProbeFramesAreForgotten) {
    drive_sim::LinkFaults faults;
    faults.garbageAtPowerUp = true;
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
