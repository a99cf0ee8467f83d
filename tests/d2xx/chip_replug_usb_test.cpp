// A replug of the emulated FT232R through the real libftdi1 and libusb. (Its byte clock and the
// drive's answer delay are tested through link-test, in tests/command_line.)
#include <gtest/gtest.h>

#include "drive_link.h"
#include "ferrox_firmware.h"
#include "output_capture.h"
#include "provider.h"
#include "usb_chip_fixture.h"

using namespace drive_link;

// Pulled out during a run, the adapter is a lost link; plugged in again it has the next device
// number, so bus:device names it anew while the port path still finds it.
TEST(EmulatedChip, ReplugLosesTheRunAndTheAdapterComesBackUnderANewNumber) {
    EmulatedAdapter chip(std::make_unique<drive_sim::FerroxFirmware>());
    Link link;
    ASSERT_TRUE(link.open(true));
    chip->unplugAtTransfer(4);
    bool error = false;
    for (int i = 0; i < 3; ++i) {
        link.sendNoOp(error);
    }
    EXPECT_TRUE(error);
    EXPECT_FALSE(link.state().linkGood);
    link.close();

    chip->plugBackIn();
    const struct {
        const char* adapter;
        bool opens;
    } cases[] = {{"", true}, {"1:3", true}, {"1-1", true}, {"1:2", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.adapter);
        installD2xxProvider(makeLibftdiProvider(c.adapter));
        OutputCapture quiet;
        ASSERT_EQ(link.open(true), c.opens);
        error = false;
        for (int i = 0; i < 3 && c.opens; ++i) {
            link.sendNoOp(error);
        }
        EXPECT_FALSE(error);
        link.close();
    }
}
