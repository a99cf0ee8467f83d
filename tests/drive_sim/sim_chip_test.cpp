// The simulated FTDI chip at the byte level: one read byte per written byte, what that byte
// holds, and each adapter call failing on request.
#include <gtest/gtest.h>

#include <vector>

#include "d2xx.h"
#include "sim_fixture.h"
#include "wire.h"

using drive_sim::AdapterCall;
using drive_sim::LinkFaults;

namespace {
constexpr UCHAR kDataIn = 0x02;

// An open handle in synchronous bit-bang mode with D0 and D3 as outputs.
FT_HANDLE openInBitBang() {
    FT_HANDLE handle = nullptr;
    EXPECT_EQ(FT_Open(0, &handle), FT_OK);
    EXPECT_EQ(FT_SetBitMode(handle, 0x09, 4), FT_OK);
    return handle;
}

DWORD writeThenRead(FT_HANDLE handle, std::vector<UCHAR> bytes, UCHAR* back, DWORD toRead) {
    DWORD count = 0;
    EXPECT_EQ(FT_Write(handle, bytes.data(), DWORD(bytes.size()), &count), FT_OK);
    EXPECT_EQ(count, bytes.size());
    EXPECT_EQ(FT_Read(handle, back, toRead, &count), FT_OK);  // a short read is a time-out
    return count;
}
}  // namespace

TEST(SimulatedChip, ReadsBackOneBytePerWrittenByteHoldingThePinsBeforeIt) {
    installFerroxDrive();
    FT_HANDLE handle = nullptr;
    ASSERT_EQ(FT_Open(0, &handle), FT_OK);
    UCHAR back[16] = {};
    // Before the bit mode is set the chip is a serial port: written bytes are not mirrored.
    EXPECT_EQ(writeThenRead(handle, {9, 1}, back, 8), 0u);
    ASSERT_EQ(FT_SetBitMode(handle, 0x09, 4), FT_OK);
    UCHAR pins = 0;
    ASSERT_EQ(FT_GetBitMode(handle, &pins), FT_OK);
    EXPECT_EQ(pins, kDataIn);  // outputs low, the idle drive holds D1 high

    // The first falling clock edge shifts out bit 0 of the power-up reply of an enabled drive.
    uint32_t powerUpReply = (1u << 24) | frameCrc(1, 0);
    UCHAR bit0Line = (powerUpReply & 1u) ? 0 : kDataIn;  // D1 is inverted: a 1 bit is low
    ASSERT_EQ(writeThenRead(handle, {9, 1, 8, 0xFF, 0}, back, 16), 5u);
    // Outputs start low; pins outside the direction mask are never driven.
    EXPECT_EQ(std::vector<UCHAR>(back, back + 5),
              (std::vector<UCHAR>{kDataIn, UCHAR(9 | kDataIn), UCHAR(1 | bit0Line),
                                  UCHAR(8 | bit0Line), UCHAR(9 | bit0Line)}));

    EXPECT_EQ(writeThenRead(handle, {9, 1, 9, 1}, back, 3), 3u);
    EXPECT_EQ(writeThenRead(handle, {}, back, 8), 1u);  // the rest, then nothing
    EXPECT_EQ(writeThenRead(handle, {}, back, 8), 0u);
    DWORD count = 0;
    ASSERT_EQ(FT_Write(handle, back, 4, &count), FT_OK);
    ASSERT_EQ(FT_SetBitMode(handle, 0, 0), FT_OK);  // reset mode forgets what was queued
    EXPECT_EQ(writeThenRead(handle, {}, back, 8), 0u);
    EXPECT_EQ(FT_Close(handle), FT_OK);
}

TEST(SimulatedChip, EachAdapterCallFailsWhenAsked) {
    for (int i = 0; i <= int(AdapterCall::GetBitMode); ++i) {
        AdapterCall failing = AdapterCall(i);
        SCOPED_TRACE(drive_sim::adapterCallName(failing));
        LinkFaults faults;
        faults.failingCalls.insert(failing);
        drive_sim::SimulatedAdapter& adapter = installFerroxDrive(faults).adapter;
        FT_HANDLE handle = nullptr;
        FT_STATUS opened = FT_Open(0, &handle);
        if (failing == AdapterCall::Open) {
            EXPECT_NE(opened, FT_OK);
            EXPECT_EQ(handle, nullptr);
            continue;
        }
        ASSERT_EQ(opened, FT_OK);
        UCHAR bytes[2] = {9, 1};
        DWORD count = 0;
        FT_STATUS statuses[] = {
            FT_SetBitMode(handle, 0x09, 4),    FT_SetTimeouts(handle, 1000, 1000),
            FT_SetLatencyTimer(handle, 4),     FT_SetBaudRate(handle, 10000),
            FT_GetBitMode(handle, bytes),      FT_Write(handle, bytes, 2, &count),
            FT_Read(handle, bytes, 2, &count), FT_Close(handle)};
        int failures = 0;
        for (FT_STATUS status : statuses) {
            failures += status != FT_OK;
        }
        EXPECT_EQ(failures, 1);
        for (const auto& record : adapter.callLog()) {
            EXPECT_EQ(record.status != FT_OK, record.call == failing)
                << drive_sim::adapterCallName(record.call);
        }
    }
}

TEST(SimulatedChip, TransfersFailForGoodAfterTheirBudgetAndTakeTheirBytesWithThem) {
    LinkFaults faults;
    faults.transfersBeforeFailure = 3;
    installFerroxDrive(faults);
    FT_HANDLE handle = openInBitBang();
    UCHAR bytes[4] = {9, 1, 8, 0};
    DWORD count = 0;
    EXPECT_EQ(writeThenRead(handle, {9, 1, 8, 0}, bytes, 2), 2u);
    EXPECT_EQ(FT_Write(handle, bytes, 4, &count), FT_OK);
    EXPECT_EQ(FT_Read(handle, bytes, 4, &count), FT_IO_ERROR);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(FT_Write(handle, bytes, 4, &count), FT_IO_ERROR);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(FT_SetLatencyTimer(handle, 4), FT_OK);  // not a transfer
    EXPECT_EQ(FT_Close(handle), FT_OK);
}
