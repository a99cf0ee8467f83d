// tressel without --simulate: the libftdi1 provider, the real libftdi1 and libusb, and an
// FT232R emulated on a mocked USB bus with the bootloader behind it. The wire must carry the
// same frames as with the simulated adapter.
#include <gtest/gtest.h>

#include <QStatusBar>
#include <algorithm>

#include "flasher_fixture.h"
#include "usb_chip_fixture.h"

class TresselOnEmulatedAdapter : public FlasherWindowTest {
protected:
    void flash(const std::string& file) {
        captureConsole([&] {
            clickConnect();
            openFile(QString::fromStdString(file));
            clickFlash();
        });
    }
};

TEST_F(TresselOnEmulatedAdapter, ConnectAndAThreePacketFlashVerifyAsOnTheSimulatedAdapter) {
    const std::string file = path("image.vlf");
    const std::vector<uint16_t> words = writeImage(file, 3);
    std::vector<int> simulatedRun;
    {
        BootloaderBench bench = installBootloader();
        flash(file);
        simulatedRun = commandsFrom(bench.adapter);
    }
    ASSERT_EQ(describeBoxes(*watcher), QStringList({kConnectingBox, kSuccessBox}));

    watcher->clear();
    openNewWindow();
    auto bootloader = drive_sim::makeBootloader(drive_sim::BootloaderSettings{});
    const drive_sim::SimulatedBootloader& drive = *bootloader;
    EmulatedAdapter chip(std::move(bootloader));
    flash(file);
    EXPECT_EQ(commandsFrom(chip->frameLog()), simulatedRun);
    EXPECT_EQ(describeBoxes(*watcher), QStringList({kConnectingBox, kSuccessBox}));
    EXPECT_TRUE(std::equal(words.begin(), words.end(), drive.flash().begin()));
}

TEST_F(TresselOnEmulatedAdapter, AdapterUnpluggedDuringTheFlashIsALostLink) {
    const std::string file = path("image.vlf");
    writeImage(file, 3);
    EmulatedAdapter chip(drive_sim::makeBootloader(drive_sim::BootloaderSettings{}));
    captureConsole([&] {
        clickConnect();
        openFile(QString::fromStdString(file));
        chip->unplugAtTransfer(200);  // some fifty frames into the flash
        clickFlash();
    });
    const QStringList boxes = describeBoxes(*watcher);
    ASSERT_GE(boxes.size(), 2);
    EXPECT_EQ(boxes.first(), kConnectingBox);
    EXPECT_EQ(boxes.last(), kLostBox);
    EXPECT_EQ(window->ui.statusbar->currentMessage(), "Connection lost, reconnect.");
    EXPECT_EQ(buttonStates(*window), "C--");
}
