// The adapter as a clocked serial port: D0 data out, D3 clock, D1 data in (inverted).
#include <csignal>
#include <cstring>

#include "bootloader_protocol.h"
#include "drive_link.h"
#include "ferrox_protocol.h"
#include "trace.h"

namespace drive_link {

LinkState linkState;
bool quietTrace = false;

namespace {
LinkDialect currentDialect = LinkDialect::Firmware;

constexpr UCHAR kDirectionMask = 0x09;  // D0 and D3 are outputs
constexpr UCHAR kSynchronousBitBang = 4;
constexpr ULONG kTimeoutMs = 1000;
constexpr int kWordBytes = 33;  // two bytes per bit, then one to bring clock and data low

constexpr UCHAR kClockHighOne = 9;
constexpr UCHAR kClockHighZero = 8;
constexpr UCHAR kClockLowOne = 1;
constexpr UCHAR kClockLowZero = 0;
constexpr UCHAR kDataInMask = 0x02;
}  // namespace

void setLinkDialect(LinkDialect dialect) {
    currentDialect = dialect;
}
LinkDialect linkDialect() {
    return currentDialect;
}
uint16_t noOpCommand() {
    return currentDialect == LinkDialect::Firmware ? ferrox_command::kNoOp : bootloader::kNoOp;
}

namespace {
volatile std::sig_atomic_t abortRequested = 0;
}  // namespace

void requestLinkAbort() {
    abortRequested = 1;
}

bool linkAbortRequested() {
    return abortRequested != 0;
}

void resetLinkState() {
    linkState = LinkState{};
    abortRequested = 0;
    quietTrace = false;
    currentDialect = LinkDialect::Firmware;
}

bool openLink(bool clockHigh) {
    if (linkState.linkOpen && FT_Close(linkState.adapterHandle) == FT_OK) {
        linkState.linkOpen = false;
    }

    linkState.adapterStatus = FT_Open(0, &linkState.adapterHandle);
    if (linkState.adapterStatus != FT_OK) {
        linkState.linkGood = false;
        return false;
    }
    linkState.linkGood = true;
    linkState.linkOpen = true;

    linkState.adapterStatus =
        FT_SetBitMode(linkState.adapterHandle, kDirectionMask, kSynchronousBitBang);
    if (linkState.adapterStatus != FT_OK) {
        linkState.linkGood = false;
        return false;
    }
    FT_SetTimeouts(linkState.adapterHandle, kTimeoutMs, kTimeoutMs);
    FT_SetLatencyTimer(linkState.adapterHandle, 4);

    linkState.adapterStatus = FT_SetBaudRate(linkState.adapterHandle, 10000);
    if (linkState.adapterStatus != FT_OK) {
        // The slow setting; its results are deliberately not recorded.
        FT_SetBaudRate(linkState.adapterHandle, 1200);
        FT_SetTimeouts(linkState.adapterHandle, kTimeoutMs, kTimeoutMs);
        FT_SetLatencyTimer(linkState.adapterHandle, 2);
    }

    UCHAR bitMode = 0;
    linkState.adapterStatus = FT_GetBitMode(linkState.adapterHandle, &bitMode);
    if (linkState.adapterStatus != FT_OK) {
        linkState.linkGood = false;
    }
    if (!linkState.linkGood) {
        return false;
    }

    // Data high, clock at the level the drive's firmware or bootloader expects between words;
    // the byte read back is the one bit-bang mode returns for it.
    UCHAR idle = clockHigh ? kClockHighOne : kClockLowOne;
    DWORD count = 0;
    FT_Write(linkState.adapterHandle, &idle, 1, &count);
    FT_Read(linkState.adapterHandle, &idle, 1, &count);
    return linkState.linkGood;
}

FT_STATUS closeLink() {
    if (linkState.adapterStatus != FT_OK) {
        return linkState.adapterStatus;
    }
    if (!linkState.linkOpen) {
        return linkState.adapterStatus;
    }
    trace("USB closed\n");
    FT_STATUS status = FT_Close(linkState.adapterHandle);
    linkState.linkOpen = false;
    return status;
}

uint16_t exchangeWord(uint16_t word) {
    if (abortRequested) {
        linkState.linkGood = false;
    }
    if (!linkState.linkGood) {
        return 0;
    }
    UCHAR transmit[kWordBytes];
    UCHAR receive[kWordBytes];
    for (int bit = 0; bit < 16; ++bit) {
        bool one = (word >> bit) & 1;
        transmit[2 * bit] = one ? kClockHighOne : kClockHighZero;
        transmit[2 * bit + 1] = one ? kClockLowOne : kClockLowZero;
    }
    transmit[kWordBytes - 1] = kClockLowZero;
    std::memset(receive, 0, sizeof receive);

    DWORD count = 0;
    if (FT_Write(linkState.adapterHandle, transmit, kWordBytes, &count) != FT_OK) {
        linkState.linkGood = false;
    }
    if (FT_Read(linkState.adapterHandle, receive, kWordBytes, &count) != FT_OK) {
        linkState.linkGood = false;
    }

    // The drive shifts bit i out on the falling clock edge of bit i, so it shows in the byte
    // read back for the position after that edge. A low line is a 1 bit.
    uint16_t result = 0;
    for (int bit = 0; bit < 16; ++bit) {
        if ((receive[2 * bit + 2] & kDataInMask) == 0) {
            result |= uint16_t(1u << bit);
        }
    }
    return result;
}

}  // namespace drive_link
