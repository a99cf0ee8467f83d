// The emulated FT232R's timing through the real libftdi1 and libusb: a byte clock that spreads a
// word over several IN packets, a drive that answers late after the clock edge, and a replug
// that gives the adapter a new device number.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "drive_link.h"
#include "ferrox_firmware.h"
#include "output_capture.h"
#include "provider.h"
#include "usb_chip_fixture.h"

using namespace drive_link;

namespace {
// The median of the milliseconds each of `frames` no-op frames took (a busy machine delays some
// of them), and whether any reply failed its CRC.
double msPerFrame(int frames, bool& error) {
    using Clock = std::chrono::steady_clock;
    quietTrace = true;
    std::vector<double> times;
    for (int i = 0; i < frames; ++i) {
        const Clock::time_point start = Clock::now();
        sendNoOp(error);
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    quietTrace = false;
    std::nth_element(times.begin(), times.begin() + frames / 2, times.end());
    return times[size_t(frames / 2)];
}
}  // namespace

// The link sets the 4 ms latency timer. A word is 33 bytes: while they take less than 4 ms to
// clock, each word waits for the timer once; at 400 us a byte (13.2 ms) the timer runs out four
// times during the word and the word comes back in four packets. The reply bit is read one byte
// time after the falling edge, so a drive slower than that is misread.
TEST(ChipTiming, ByteClockAndAnswerDelaySetTheFramesTimeAndWhetherRepliesDecode) {
    const struct {
        double usPerByte;
        double answerDelayUs;
        bool decodes;
        double msPerFrame;
    } cases[] = {
        {0, 0, true, 8},    {50, 0, true, 8},     {400, 0, true, 32},    {50, 40, true, 8},
        {50, 60, false, 8}, {400, 390, true, 32}, {400, 410, false, 32},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(int(c.usPerByte)) + " us/byte, answer after " +
                     std::to_string(int(c.answerDelayUs)) + " us");
        drive_sim::ChipOptions options;
        options.microsecondsPerByte = c.usPerByte;
        options.answerDelayMicroseconds = c.answerDelayUs;
        EmulatedAdapter chip(std::make_unique<drive_sim::FerroxFirmware>(), options);
        ASSERT_TRUE(openLink(true));
        bool error = false;
        for (int i = 0; i < 3; ++i) {
            sendNoOp(error);  // past the replies the drive sent while it started up
        }
        error = false;
        const double measured = msPerFrame(c.usPerByte > 100 ? 8 : 20, error);
        EXPECT_EQ(!error, c.decodes);
        EXPECT_NEAR(measured, c.msPerFrame, 0.2 * c.msPerFrame);
        EXPECT_EQ(closeLink(), FT_OK);
    }
}

// Pulled out during a run, the adapter is a lost link; plugged in again it has the next device
// number, so bus:device names it anew while the port path still finds it.
TEST(ChipTiming, ReplugLosesTheRunAndTheAdapterComesBackUnderANewNumber) {
    EmulatedAdapter chip(std::make_unique<drive_sim::FerroxFirmware>());
    ASSERT_TRUE(openLink(true));
    chip->unplugAtTransfer(4);
    bool error = false;
    for (int i = 0; i < 3; ++i) {
        sendNoOp(error);
    }
    EXPECT_TRUE(error);
    EXPECT_FALSE(linkState.linkGood);
    closeLink();
    resetLinkState();

    chip->plugBackIn();
    EXPECT_EQ(chip->deviceNode(), "/dev/bus/usb/001/003");
    const struct {
        const char* adapter;
        FT_STATUS status;
    } cases[] = {{"", FT_OK}, {"1:3", FT_OK}, {"1-1", FT_OK}, {"1:2", FT_DEVICE_NOT_FOUND}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.adapter);
        installD2xxProvider(makeLibftdiProvider(c.adapter));
        OutputCapture capture;
        ASSERT_EQ(openLink(true), c.status == FT_OK);
        EXPECT_EQ(linkState.adapterStatus, c.status);
        error = false;
        for (int i = 0; i < 3 && c.status == FT_OK; ++i) {
            sendNoOp(error);
        }
        EXPECT_FALSE(error);
        closeLink();
        resetLinkState();
    }
}
