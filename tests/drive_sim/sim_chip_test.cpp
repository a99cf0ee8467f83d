// The simulated FTDI chip at the byte level: one read byte per written byte, what that byte
// holds, handles, and each adapter call failing on request.
#include <gtest/gtest.h>

#include <vector>

#include "d2xx.h"
#include "sim_fixture.h"
#include "wire.h"

using drive_sim::AdapterCall;
using drive_sim::LinkFaults;
using drive_sim::SimulatedAdapter;

namespace {
constexpr UCHAR kDataIn = 0x02;

// An open handle in synchronous bit-bang mode with D0 and D3 as outputs.
FT_HANDLE openInBitBang() {
    FT_HANDLE handle = nullptr;
    EXPECT_EQ(FT_Open(0, &handle), FT_OK);
    EXPECT_EQ(FT_SetBitMode(handle, 0x09, 4), FT_OK);
    return handle;
}

std::vector<UCHAR> writeAndReadBack(FT_HANDLE handle, std::vector<UCHAR> bytes) {
    DWORD count = 0;
    EXPECT_EQ(FT_Write(handle, bytes.data(), DWORD(bytes.size()), &count), FT_OK);
    EXPECT_EQ(count, bytes.size());
    std::vector<UCHAR> back(bytes.size() + 8, 0xEE);
    EXPECT_EQ(FT_Read(handle, back.data(), DWORD(back.size()), &count), FT_OK);
    back.resize(count);
    return back;
}
}  // namespace

TEST(SimulatedChip, ReadsBackOneBytePerWrittenByteHoldingThePinsBeforeIt) {
    installFerroxDrive();
    FT_HANDLE handle = openInBitBang();
    // The drive powers up driving D1 high (idle). The first falling clock edge shifts out bit 0
    // of its first reply, the power-up reply of an enabled drive: status 1, value 0.
    uint32_t powerUpReply = (1u << 24) | frameCrc(1, 0);
    UCHAR bit0Line = (powerUpReply & 1u) ? 0 : kDataIn;  // D1 is inverted: a 1 bit is low
    std::vector<UCHAR> back = writeAndReadBack(handle, {9, 1, 8, 0xFF, 0});
    // Outputs start low; pins outside the direction mask are never driven.
    EXPECT_EQ(back, (std::vector<UCHAR>{kDataIn, UCHAR(9 | kDataIn), UCHAR(1 | bit0Line),
                                        UCHAR(8 | bit0Line), UCHAR(9 | bit0Line)}));
    FT_Close(handle);
}

TEST(SimulatedChip, ReadReturnsOnlyWhatWasWrittenAndNothingOutsideBitBang) {
    installFerroxDrive();
    FT_HANDLE handle = nullptr;
    ASSERT_EQ(FT_Open(0, &handle), FT_OK);
    UCHAR bytes[4] = {9, 1, 9, 1};
    UCHAR back[8] = {};
    DWORD count = 99;
    // Before the bit mode is set the chip is a serial port: written bytes are not mirrored.
    ASSERT_EQ(FT_Write(handle, bytes, 4, &count), FT_OK);
    EXPECT_EQ(count, 4u);
    EXPECT_EQ(FT_Read(handle, back, 8, &count), FT_OK);
    EXPECT_EQ(count, 0u);

    ASSERT_EQ(FT_SetBitMode(handle, 0x09, 4), FT_OK);
    ASSERT_EQ(FT_Write(handle, bytes, 4, &count), FT_OK);
    EXPECT_EQ(FT_Read(handle, back, 3, &count), FT_OK);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(FT_Read(handle, back, 8, &count), FT_OK);  // a short read is a time-out, not a fault
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(FT_Read(handle, back, 8, &count), FT_OK);
    EXPECT_EQ(count, 0u);

    // Back to reset mode: the port forgets what was queued.
    ASSERT_EQ(FT_Write(handle, bytes, 4, &count), FT_OK);
    ASSERT_EQ(FT_SetBitMode(handle, 0, 0), FT_OK);
    EXPECT_EQ(FT_Read(handle, back, 8, &count), FT_OK);
    EXPECT_EQ(count, 0u);
    FT_Close(handle);
}

TEST(SimulatedChip, StaleAndNullHandlesAndMissingArgumentsFailCleanly) {
    SimulatedAdapter& adapter = installFerroxDrive().adapter;
    FT_HANDLE first = nullptr;
    ASSERT_EQ(FT_Open(0, &first), FT_OK);
    ASSERT_EQ(FT_Close(first), FT_OK);
    EXPECT_EQ(FT_Close(first), FT_INVALID_HANDLE);
    FT_HANDLE second = nullptr;
    ASSERT_EQ(FT_Open(0, &second), FT_OK);
    EXPECT_NE(first, second);  // a new open hands out a new handle, so the old one stays dead

    UCHAR byte = 9, mode = 0;
    DWORD count = 0;
    for (FT_HANDLE bad : {first, FT_HANDLE(nullptr)}) {
        EXPECT_EQ(FT_Write(bad, &byte, 1, &count), FT_INVALID_HANDLE);
        EXPECT_EQ(FT_Read(bad, &byte, 1, &count), FT_INVALID_HANDLE);
        EXPECT_EQ(FT_SetBitMode(bad, 0x09, 4), FT_INVALID_HANDLE);
        EXPECT_EQ(FT_GetBitMode(bad, &mode), FT_INVALID_HANDLE);
        EXPECT_EQ(FT_SetBaudRate(bad, 10000), FT_INVALID_HANDLE);
        EXPECT_EQ(FT_SetTimeouts(bad, 1000, 1000), FT_INVALID_HANDLE);
        EXPECT_EQ(FT_SetLatencyTimer(bad, 4), FT_INVALID_HANDLE);
        EXPECT_EQ(FT_Close(bad), FT_INVALID_HANDLE);
    }
    EXPECT_EQ(FT_Open(0, nullptr), FT_INVALID_PARAMETER);
    FT_HANDLE other = FT_HANDLE(&byte);
    EXPECT_EQ(FT_Open(1, &other), FT_DEVICE_NOT_FOUND);  // one adapter, at index 0
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(FT_Write(second, &byte, 1, nullptr), FT_INVALID_PARAMETER);
    EXPECT_EQ(FT_Read(second, nullptr, 1, &count), FT_INVALID_PARAMETER);
    EXPECT_EQ(FT_GetBitMode(second, nullptr), FT_INVALID_PARAMETER);
    EXPECT_EQ(FT_SetBaudRate(second, 0), FT_INVALID_BAUD_RATE);
    EXPECT_EQ(adapter.callLog().back().status, FT_INVALID_BAUD_RATE);
    EXPECT_EQ(FT_Close(second), FT_OK);
}

TEST(SimulatedChip, EachAdapterCallFailsWhenAsked) {
    const AdapterCall all[] = {AdapterCall::Open,
                               AdapterCall::Close,
                               AdapterCall::Read,
                               AdapterCall::Write,
                               AdapterCall::SetBaudRate,
                               AdapterCall::SetTimeouts,
                               AdapterCall::SetLatencyTimer,
                               AdapterCall::SetBitMode,
                               AdapterCall::GetBitMode};
    for (AdapterCall failing : all) {
        SCOPED_TRACE(drive_sim::adapterCallName(failing));
        LinkFaults faults;
        faults.failingCalls.insert(failing);
        SimulatedAdapter& adapter = installFerroxDrive(faults).adapter;
        FT_HANDLE handle = nullptr;
        FT_STATUS opened = FT_Open(0, &handle);
        if (failing == AdapterCall::Open) {
            EXPECT_NE(opened, FT_OK);
            EXPECT_EQ(handle, nullptr);
            continue;
        }
        ASSERT_EQ(opened, FT_OK);
        UCHAR bytes[2] = {9, 1};
        UCHAR mode = 0;
        DWORD count = 0;
        FT_STATUS statuses[] = {
            FT_SetBitMode(handle, 0x09, 4),    FT_SetTimeouts(handle, 1000, 1000),
            FT_SetLatencyTimer(handle, 4),     FT_SetBaudRate(handle, 10000),
            FT_GetBitMode(handle, &mode),      FT_Write(handle, bytes, 2, &count),
            FT_Read(handle, bytes, 2, &count), FT_Close(handle)};
        int failures = 0;
        for (FT_STATUS status : statuses) {
            failures += status != FT_OK;
        }
        EXPECT_EQ(failures, 1);
        bool logged = false;
        for (const auto& record : adapter.callLog()) {
            if (record.call == failing) {
                EXPECT_NE(record.status, FT_OK);
                logged = true;
            } else {
                EXPECT_EQ(record.status, FT_OK) << drive_sim::adapterCallName(record.call);
            }
        }
        EXPECT_TRUE(logged);
    }
}

TEST(SimulatedChip, TransfersFailForGoodAfterTheirBudgetAndTakeTheirBytesWithThem) {
    LinkFaults faults;
    faults.transfersBeforeFailure = 3;
    installFerroxDrive(faults);
    FT_HANDLE handle = openInBitBang();
    UCHAR bytes[4] = {9, 1, 8, 0};
    UCHAR back[4] = {};
    DWORD count = 0;
    EXPECT_EQ(FT_Write(handle, bytes, 4, &count), FT_OK);
    EXPECT_EQ(FT_Read(handle, back, 2, &count), FT_OK);
    EXPECT_EQ(FT_Write(handle, bytes, 4, &count), FT_OK);
    EXPECT_EQ(FT_Read(handle, back, 4, &count), FT_IO_ERROR);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(FT_Write(handle, bytes, 4, &count), FT_IO_ERROR);
    EXPECT_EQ(count, 0u);
    // The configuration calls are not transfers and still work.
    EXPECT_EQ(FT_SetLatencyTimer(handle, 4), FT_OK);
    EXPECT_EQ(FT_Close(handle), FT_OK);
}

TEST(SimulatedChip, GetBitModeReadsThePins) {
    installFerroxDrive();
    FT_HANDLE handle = openInBitBang();
    UCHAR pins = 0;
    ASSERT_EQ(FT_GetBitMode(handle, &pins), FT_OK);
    EXPECT_EQ(pins, kDataIn);  // outputs low, the idle drive holds D1 high
    UCHAR clockHigh = 9;
    DWORD count = 0;
    ASSERT_EQ(FT_Write(handle, &clockHigh, 1, &count), FT_OK);
    ASSERT_EQ(FT_GetBitMode(handle, &pins), FT_OK);
    EXPECT_EQ(pins, UCHAR(9 | kDataIn));
    FT_Close(handle);
}
