// Apply, Disable and Drive diagnosis on a connected simulated drive, and each with a lost link.
#include <gtest/gtest.h>

#include <QApplication>
#include <QStatusBar>
#include <QtTest/QTest>

#include "drive_link.h"
#include "morvane_test_support.h"
#include "output_capture.h"

namespace {
const QString kConnectFirst = "information|Diagnosis|Connect first";
const long kConnectFrameCount = long(connectFrames().size());

// A window connected to a fresh simulated drive, with its boxes answered.
struct ConnectedWindow {
    FerroxBench bench = installFerroxDrive();
    Morvane window;
    MessageBoxWatcher watcher;
    size_t start = 0;

    ConnectedWindow() {
        EXPECT_TRUE(clickConnect(window));
        EXPECT_EQ(long(bench.adapter.frameLog().size()), kConnectFrameCount);
        watcher.clear();
        start = bench.adapter.frameLog().size();
    }
    Frames frames() const { return framesSince(bench.adapter, start); }
    // The drive falls silent `frames` frames into the next workflow.
    void loseLinkAfter(long frames) {
        bench.adapter.faults().stopAnsweringAfterFrames = kConnectFrameCount + frames;
    }
};

}  // namespace

TEST(Apply, WritesEverySettingStoresClearsFaultsAndEnables) {
    ConnectedWindow c;
    Morvane& window = c.window;
    editFormForApply(window);
    OutputCapture capture;
    QTest::mouseClick(window.ui.applyButton, Qt::LeftButton);
    const std::string out = capture.out();
    capture.stop();

    const ParamWrites writes = editedFormWrites();
    EXPECT_EQ(c.frames(), applyFrames(writes));

    TraceScript script(c.bench.adapter.frameLog(), c.start);
    script.frames(1);
    for (const auto& write : writes) {
        script.write(write.first, write.second);
    }
    script.frames(2 + 3 + 2);
    EXPECT_TRUE(script.matchedScript());
    EXPECT_EQ(out, script.text());

    EXPECT_TRUE(c.watcher.boxes().empty());
    EXPECT_EQ(window.ui.statusbar->currentMessage(), "Parameters set");
    EXPECT_TRUE(window.connected);
    EXPECT_EQ(c.bench.firmware.param(200), 450);
    EXPECT_EQ(c.bench.firmware.param(8501), 8);
    EXPECT_EQ(c.bench.firmware.storeCount(), 1);
    EXPECT_EQ(c.bench.firmware.faultClearCount(), 1);
    EXPECT_TRUE(c.bench.firmware.powerStageEnabled());
}

TEST(Apply, InvalidCurrentsStopAfterTheDisableAndLeaveTheDriveDisabled) {
    for (bool secondAxis : {false, true}) {
        SCOPED_TRACE(secondAxis ? "axis 2" : "axis 1");
        ConnectedWindow c;
        QSpinBox* cont = secondAxis ? c.window.ui.contcurrM2 : c.window.ui.contcurrM1;
        QSpinBox* peak = secondAxis ? c.window.ui.peakcurrM2 : c.window.ui.peakcurrM1;
        peak->setValue(3000);
        cont->setValue(3001);
        QTest::mouseClick(c.window.ui.applyButton, Qt::LeftButton);
        EXPECT_EQ(describeBoxes(c.watcher), QStringList{kSettingsErrorBox});
        EXPECT_EQ(c.frames(), (Frames{{0, 1}}));
        EXPECT_FALSE(c.bench.firmware.powerStageEnabled());
        EXPECT_EQ(c.bench.firmware.storeCount(), 0);
        EXPECT_EQ(c.window.ui.statusbar->currentMessage(), "Setting parameters...");
        EXPECT_TRUE(c.window.connected);
    }
}

TEST(Disable, SwitchesThePowerStageOffByButtonAndByEsc) {
    ConnectedWindow c;
    OutputCapture capture;
    QTest::mouseClick(c.window.ui.disableButton, Qt::LeftButton);
    const std::string out = capture.out();
    capture.stop();
    EXPECT_EQ(c.frames(), (Frames{{0, 1}} + drain()));
    EXPECT_FALSE(c.bench.firmware.powerStageEnabled());
    EXPECT_EQ(c.window.ui.statusbar->currentMessage(), "Disabling drive...");
    EXPECT_TRUE(c.watcher.boxes().empty());
    TraceScript script(c.bench.adapter.frameLog(), c.start);
    EXPECT_EQ(out, script.frames(3).text());

    // Esc is the button's shortcut; it works while the window is connected, and only then.
    QTest::mouseClick(c.window.ui.applyButton, Qt::LeftButton);
    ASSERT_TRUE(c.bench.firmware.powerStageEnabled());
    c.window.show();
    c.window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&c.window));
    const size_t beforeEsc = c.bench.adapter.frameLog().size();
    QWidget* focus = QApplication::focusWidget() ? QApplication::focusWidget() : &c.window;
    QTest::keyClick(focus, Qt::Key_Escape);
    QTest::qWait(300);  // a shortcut animates the click, which lands 100 ms later
    EXPECT_EQ(framesSince(c.bench.adapter, beforeEsc), (Frames{{0, 1}} + drain()));
    EXPECT_FALSE(c.bench.firmware.powerStageEnabled());

    c.window.setConnected(false);
    const size_t disconnected = c.bench.adapter.frameLog().size();
    QTest::keyClick(&c.window, Qt::Key_Escape);
    QTest::qWait(300);
    EXPECT_TRUE(framesSince(c.bench.adapter, disconnected).empty());
}

TEST(Diagnosis, ReportsTheRegistersAndReadingsInTheirFormatsOnlyWhenConnected) {
    ConnectedWindow c;
    c.bench.firmware.setParam(5100, 0x1000);
    c.bench.firmware.setParam(5102, 0x0012);
    c.bench.firmware.setParam(15440, 600);
    c.bench.firmware.setParam(485, 0xFFFF);
    c.bench.firmware.setParam(8585, 0x8000);
    c.bench.firmware.setReading(210, 19500);
    c.bench.firmware.setReading(220, 0);
    c.window.ui.Drive_diagnosis->trigger();

    const QString expected =
        "information|Diagnosis|If requesting support: copy this info to email. Also attach saved "
        "configuration file and a response graph.\n\nFW version 2210\nStatus register "
        "0012\nFault register 1000\nFault location 600\nOC level Ax1 -1\nOC level Ax2 "
        "-32768\nTemperature 19500\nHV voltage 0.0V\n\nSome explanations:\nFault location 120 = "
        "short circuit or very high current\nFault location 600 = overcurrent, adjust inductance "
        "and/or resistance\nFault location 35 = logic voltage fault, voltage rise too "
        "slow\nFault reg. 0040 = HV undervoltage\nFault reg. 0080 = HV overvoltage\nFault reg. "
        "1000 = Encoder, runaway or stall fault\nTemperatures 11500 ~ 40C, 15550 ~ 55C, 19500 ~ "
        "75C";
    EXPECT_EQ(describeBoxes(c.watcher), QStringList{expected});
    const Frames reads = readOf(5100) + readOf(5102) + readOf(15440) + readOf(485) + readOf(8585);
    EXPECT_EQ(c.frames(), (reads + Frames{{120, 210}, {120, 220}} + noOps(2) + drain()));
    EXPECT_TRUE(c.window.connected);

    c.bench.firmware.setReading(220, 4826);
    c.watcher.clear();
    c.window.ui.Drive_diagnosis->trigger();
    ASSERT_EQ(c.watcher.boxes().size(), 1u);
    EXPECT_TRUE(c.watcher.boxes()[0].text.contains("\nHV voltage 48.3V\n"));

    c.window.setConnected(false);
    c.watcher.clear();
    const size_t sent = c.bench.adapter.callLog().size();
    c.window.ui.Drive_diagnosis->trigger();
    EXPECT_EQ(describeBoxes(c.watcher), QStringList{kConnectFirst});
    EXPECT_EQ(c.bench.adapter.callLog().size(), sent);  // nothing reaches the adapter
}

TEST(DriveActions, LinkLostInTheMiddleOfEachWorkflowIsReportedOnce) {
    const struct {
        const char* name;
        void (*run)(Morvane&);
        long loseAfter;  // frames into the workflow
        int traced;      // transactions the host still made
        bool reportFirst;
    } cases[] = {
        // The export sends everything, reports, and Apply ends there.
        {"apply, during the settings",
         [](Morvane& w) { QTest::mouseClick(w.ui.applyButton, Qt::LeftButton); }, 10, 1 + 38 + 2,
         false},
        {"apply, the store and later",
         [](Morvane& w) { QTest::mouseClick(w.ui.applyButton, Qt::LeftButton); }, 42,
         1 + 38 + 2 + 3 + 2, false},
        {"disable", [](Morvane& w) { QTest::mouseClick(w.ui.disableButton, Qt::LeftButton); }, 0,
         1 + 2, false},
        // The report shows what arrived, then the loss is reported.
        {"diagnosis", [](Morvane& w) { w.ui.Drive_diagnosis->trigger(); }, 8, 15 + 4 + 2, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ConnectedWindow connected;
        connected.loseLinkAfter(c.loseAfter);
        OutputCapture capture;
        c.run(connected.window);
        const std::string out = capture.out();
        capture.stop();
        EXPECT_EQ(tracedTransactions(out), c.traced);
        QStringList boxes = describeBoxes(connected.watcher);
        if (c.reportFirst) {
            ASSERT_EQ(boxes.size(), 2);
            EXPECT_TRUE(boxes[0].startsWith("information|Diagnosis|If requesting support"));
            EXPECT_TRUE(boxes[0].contains("Status register 0012"));  // read before the loss
            EXPECT_TRUE(boxes[0].contains("\nHV voltage "));         // the whole report
            boxes.removeFirst();
        }
        EXPECT_EQ(boxes, QStringList{kLinkLostBox});
        EXPECT_EQ(connected.window.ui.statusbar->currentMessage(), "Connection lost, reconnect.");
        EXPECT_FALSE(connected.window.connected);
        EXPECT_EQ(connected.window.firmwareVersion, -1);
        EXPECT_FALSE(connected.window.ui.applyButton->isEnabled());
    }
}
