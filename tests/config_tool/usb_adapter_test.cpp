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

TEST(MorvaneOnEmulatedAdapter, ConnectAndApplySendTheFramesOfTheSimulatedRuns) {
    EmulatedAdapter chip(drive_sim::makeFerroxFirmware());
    Morvane window;
    window.show();
    MessageBoxWatcher watcher;
    OutputCapture capture;
    ASSERT_TRUE(clickConnect(window));
    EXPECT_EQ(framesSince(chip->frameLog()), connectFrames());
    const size_t start = chip->frameLog().size();
    editFormForApply(window);
    QTest::mouseClick(window.ui.applyButton, Qt::LeftButton);
    capture.stop();

    EXPECT_EQ(framesSince(chip->frameLog(), start), applyFrames(editedFormWrites()));
    EXPECT_EQ(describeBoxes(watcher), QStringList{kConnectingBox});
    EXPECT_EQ(window.ui.statusbar->currentMessage(), "Parameters set");
}

TEST(MorvaneOnEmulatedAdapter, AdapterUnpluggedDuringApplyIsALostLink) {
    EmulatedAdapter chip(drive_sim::makeFerroxFirmware());
    Morvane window;
    window.show();
    MessageBoxWatcher watcher;
    OutputCapture capture;
    ASSERT_TRUE(clickConnect(window));
    watcher.clear();
    chip->unplugAtTransfer(40);  // some ten frames into Apply
    QTest::mouseClick(window.ui.applyButton, Qt::LeftButton);
    EXPECT_EQ(describeBoxes(watcher), QStringList{kLinkLostBox});
    EXPECT_EQ(window.ui.statusbar->currentMessage(), "Connection lost, reconnect.");
    EXPECT_FALSE(window.connected);

    // The adapter is gone: the next Connect cannot open it.
    watcher.clear();
    EXPECT_FALSE(clickConnect(window));
    capture.stop();
    EXPECT_EQ(describeBoxes(watcher), QStringList{"warning|Error|Unable to open USB adapter"});
}
