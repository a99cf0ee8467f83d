// The libftdi1 provider through the real libftdi1 and libusb, on an FT232R emulated on a mocked
// USB bus: what the chip received while the link opened, a read that times out, and close.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <set>
#include <vector>

#include "drive_link.h"
#include "emulated_ft232r.h"
#include "ferrox_firmware.h"
#include "provider.h"
#include "usb_chip_fixture.h"

using drive_sim::VendorRequest;

namespace drive_sim {
void PrintTo(const VendorRequest& r, std::ostream* os) {
    char text[40];
    std::snprintf(text, sizeof text, "{0x%02X, 0x%04X, %u}", r.request, r.value, r.index);
    *os << text;
}
}  // namespace drive_sim

namespace {
// The requests that configure the port: bit mode, baud-rate divisor, latency timer.
std::vector<VendorRequest> portSettings(const drive_sim::EmulatedFt232r& chip) {
    std::vector<VendorRequest> settings;
    for (const VendorRequest& r : chip.vendorRequests()) {
        if (r.request == drive_sim::kFtdiSetBitMode || r.request == drive_sim::kFtdiSetBaudRate ||
            r.request == drive_sim::kFtdiSetLatencyTimer) {
            settings.push_back(r);
        }
    }
    return settings;
}

struct OpenCase {
    const char* name;
    std::set<uint16_t> refusedDivisors;
    std::vector<VendorRequest> expected;
};
}  // namespace

TEST(LibftdiOnEmulatedChip, OpenReadAndCloseReachTheChip) {
    // libftdi opens at 9600 baud (divisor 0x4138); the link then asks for 10000, which libftdi
    // multiplies by 4 in bit-bang mode, hence the quarter the provider passes: 3 MHz / 10000 is
    // divisor 300 (0x012C), 3 MHz / 1200 is 2500 (0x09C4).
    const VendorRequest opened{0x03, 0x4138, 0}, syncBitBang{0x0B, 0x0409, 1}, latency4{0x09, 4, 1},
        baud10000{0x03, 0x012C, 0}, baud1200{0x03, 0x09C4, 0}, latency2{0x09, 2, 1},
        pinsReleased{0x0B, 0x0000, 1};
    const std::vector<OpenCase> cases = {
        {"10000 baud", {}, {opened, syncBitBang, latency4, baud10000, pinsReleased}},
        {"1200 baud fallback",
         {0x012C},
         {opened, syncBitBang, latency4, baud10000, baud1200, latency2, pinsReleased}},
    };
    for (const OpenCase& c : cases) {
        SCOPED_TRACE(c.name);
        drive_sim::ChipOptions options;
        options.refusedBaudDivisors = c.refusedDivisors;
        EmulatedAdapter chip(std::make_unique<drive_sim::FerroxFirmware>(), options);
        ASSERT_TRUE(openLink(true));

        // Nothing was written, so nothing comes back: the read gives up at its time-out with
        // what it got, and says so only through the count.
        UCHAR bytes[8];
        DWORD got = 99;
        FT_SetTimeouts(linkState.adapterHandle, 60, 60);
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(FT_Read(linkState.adapterHandle, bytes, sizeof bytes, &got), FT_OK);
        EXPECT_EQ(got, 0u);
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(60));

        EXPECT_EQ(closeLink(), FT_OK);
        EXPECT_EQ(portSettings(*chip), c.expected);
    }
}
