// A fast run's write on the emulated FT232R with its real buffers: one blocking 8 KiB write
// with no read pending stalls once both buffers are full, while the provider's streamed write
// gets every byte back, in order.
#include <gtest/gtest.h>
#include <libftdi1/ftdi.h>
#include <libusb.h>

#include <vector>

#include "d2xx.h"
#include "ferrox_firmware.h"
#include "usb_chip_fixture.h"

namespace {
constexpr int kRunBytes = 8192;
constexpr unsigned kWriteTimeoutMs = 1000;

// D0 toggles in a pseudo-random pattern while the clock (D3) stays low: the drive sees no edge,
// and every byte read back shows the D0 of the byte written before it.
std::vector<uint8_t> dataLinePattern() {
    std::vector<uint8_t> bytes(kRunBytes);
    uint32_t state = 12345;
    for (uint8_t& byte : bytes) {
        state = state * 1103515245u + 12345u;
        byte = uint8_t((state >> 16) & 1);
    }
    return bytes;
}

drive_sim::ChipOptions quickChip() {
    drive_sim::ChipOptions options;
    options.microsecondsPerByte = 6.25;
    return options;
}
}  // namespace

// The naive way: libftdi opened and put in synchronous bit-bang, then the whole run in one
// blocking bulk transfer. The chip clocks 256 bytes into its full chip-to-host buffer and holds
// 128 more; the transfer times out with those 384 taken and the pins stop.
TEST(StreamedWrite, OneBlockingWriteWithNoReadPendingStallsOnTheChip) {
    EmulatedAdapter chip(std::make_unique<drive_sim::FerroxFirmware>(), quickChip());
    ftdi_context* context = ftdi_new();
    ASSERT_EQ(ftdi_usb_open(context, 0x0403, 0x6001), 0) << ftdi_get_error_string(context);
    ASSERT_EQ(ftdi_set_bitmode(context, 0x09, BITMODE_SYNCBB), 0);
    std::vector<uint8_t> run = dataLinePattern();
    int taken = 0;
    // libftdi's in_ep is the chip's input: the bulk OUT endpoint.
    const int result = libusb_bulk_transfer(context->usb_dev, uint8_t(context->in_ep), run.data(),
                                            kRunBytes, &taken, kWriteTimeoutMs);
    EXPECT_EQ(result, LIBUSB_ERROR_TIMEOUT);
    EXPECT_EQ(taken, 384);
    EXPECT_EQ(chip->bytesClocked(), 256);
    ftdi_usb_close(context);
    ftdi_free(context);
}

// The provider: FT_Write of the whole run returns with every byte taken, FT_Read has them all.
TEST(StreamedWrite, TheProviderStreamsTheRunAndReadsEveryByteBackInOrder) {
    EmulatedAdapter chip(std::make_unique<drive_sim::FerroxFirmware>(), quickChip());
    FT_HANDLE handle = nullptr;
    ASSERT_EQ(FT_Open(0, &handle), FT_OK);
    ASSERT_EQ(FT_SetBitMode(handle, 0x09, 4), FT_OK);
    ASSERT_EQ(FT_SetTimeouts(handle, 1000, kWriteTimeoutMs), FT_OK);
    ASSERT_EQ(FT_SetLatencyTimer(handle, 1), FT_OK);
    std::vector<uint8_t> run = dataLinePattern();
    std::vector<uint8_t> back(kRunBytes, 0xFF);
    // Twice: the second run starts with the pins as the first left them.
    for (int pass = 0; pass < 2; ++pass) {
        SCOPED_TRACE(pass);
        DWORD written = 0, read = 0;
        EXPECT_EQ(FT_Write(handle, run.data(), kRunBytes, &written), FT_OK);
        EXPECT_EQ(written, DWORD(kRunBytes));
        EXPECT_EQ(FT_Read(handle, back.data(), kRunBytes, &read), FT_OK);
        ASSERT_EQ(read, DWORD(kRunBytes));
        int mismatches = 0;
        for (int i = 1; i < kRunBytes; ++i) {
            mismatches += (back[i] & 1) != run[i - 1];
        }
        EXPECT_EQ(mismatches, 0);
        EXPECT_EQ(back[0] & 1, pass == 0 ? 0 : run.back());
    }
    EXPECT_EQ(chip->bytesClocked(), 2 * kRunBytes);
    FT_Close(handle);
}
