// morvane without --simulate: the libftdi1 provider, the real libftdi1 and libusb, and an
// FT232R emulated on a mocked USB bus with the Ferrox firmware behind it. The wire must carry
// the same frames as with the simulated adapter.
#include <gtest/gtest.h>

#include <QStatusBar>
#include <QtTest/QTest>

#include "morvane_test_support.h"
#include "output_capture.h"
#include "sim_options.h"
#include "usb_chip_fixture.h"

namespace {
// A window connected through the emulated adapter, its boxes answered and its trace captured.
struct ConnectedOverUsb {
    EmulatedAdapter chip{drive_sim::makeFerroxFirmware()};
    Morvane window;
    MessageBoxWatcher watcher;
    OutputCapture capture;
    bool connected = false;

    ConnectedOverUsb() {
        window.show();
        connected = clickConnect(window);
    }
};
}  // namespace

TEST(MorvaneOnEmulatedAdapter, ConnectAndApplySendTheFramesOfTheSimulatedRuns) {
    ConnectedOverUsb c;
    ASSERT_TRUE(c.connected);
    EXPECT_EQ(framesSince(c.chip->frameLog()), connectFrames());
    const size_t start = c.chip->frameLog().size();
    editFormForApply(c.window);
    QTest::mouseClick(c.window.ui.applyButton, Qt::LeftButton);
    c.capture.stop();

    EXPECT_EQ(framesSince(c.chip->frameLog(), start), applyFrames(editedFormWrites()));
    EXPECT_EQ(describeBoxes(c.watcher), QStringList{kConnectingBox});
    EXPECT_EQ(c.window.ui.statusbar->currentMessage(), "Parameters set");
}

TEST(MorvaneOnEmulatedAdapter, AdapterUnpluggedDuringApplyIsALostLink) {
    ConnectedOverUsb c;
    ASSERT_TRUE(c.connected);
    c.watcher.clear();
    c.chip->unplugAtTransfer(40);  // some ten frames into Apply
    QTest::mouseClick(c.window.ui.applyButton, Qt::LeftButton);
    EXPECT_EQ(describeBoxes(c.watcher), QStringList{kLinkLostBox});
    EXPECT_EQ(c.window.ui.statusbar->currentMessage(), "Connection lost, reconnect.");
    EXPECT_FALSE(c.window.connected);

    // The adapter is gone: the next Connect cannot open it.
    c.watcher.clear();
    EXPECT_FALSE(clickConnect(c.window));
    c.capture.stop();
    EXPECT_EQ(describeBoxes(c.watcher), QStringList{"warning|Error|Unable to open USB adapter"});
}
