// The simulated FTDI chip in synchronous bit-bang mode, wired to a simulated drive.
// It answers the nine D2XX calls: every written byte goes onto the port and yields one read
// byte, in order. The drive is a clocked slave on D3 that samples D0 and drives D1 inverted.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <vector>

#include "personality.h"
#include "provider.h"

namespace drive_sim {

enum class AdapterCall {
    Open,
    Close,
    Read,
    Write,
    SetBaudRate,
    SetTimeouts,
    SetLatencyTimer,
    SetBitMode,
    GetBitMode,
};
const char* adapterCallName(AdapterCall call);

struct AdapterCallRecord {
    AdapterCall call;
    // Open: device index. SetBaudRate: rate. SetTimeouts: read and write time-out.
    // SetLatencyTimer: ms. SetBitMode: mask and mode. Read, Write: bytes requested.
    uint32_t arg1 = 0;
    uint32_t arg2 = 0;
    FT_STATUS status = FT_OK;
    std::vector<uint8_t> bytes;  // Write: the bytes written. Read: the bytes returned.
};

enum class LineFault {
    None,
    StuckHigh,  // drive not powered, line pulled up: every bit reads 0
    StuckLow,   // line shorted low: every bit reads 1
};

struct LinkFaults {
    std::set<AdapterCall> failingCalls;  // these calls fail with a non-zero status
    long transfersBeforeFailure = -1;    // Read/Write calls that succeed before all later ones fail
    LineFault line = LineFault::None;
    double bitErrorRate = 0.0;  // per bit, in both directions
    uint64_t seed = 1;          // same seed, same faults
    long stopAnsweringAfterFrames =
        -1;                         // the drive falls silent (line high) after this many frames
    long bitSlipAtFrame = -1;       // the drive misses one clock edge in this frame
    bool garbageAtPowerUp = false;  // the first two replies after power-up fail their CRC
};

// One frame as the drive received it, with the reply it shifted out meanwhile.
struct FrameRecord {
    uint8_t command = 0;
    uint16_t value = 0;
    bool crcOk = false;      // the drive's verdict on the frame it received
    uint32_t rawFrame = 0;   // the 32 bits as received
    uint32_t reply = 0;      // the 32 bits the drive sent during this frame, before line faults
    uint32_t lineReply = 0;  // the same bits as the line carried them: what the host decodes
};

class SimulatedAdapter : public D2xxProvider {
public:
    explicit SimulatedAdapter(std::unique_ptr<DrivePersonality> personality, LinkFaults faults = {},
                              double latencyMs = 0.0);
    ~SimulatedAdapter() override;

    FT_STATUS open(int deviceNumber, FT_HANDLE* handle) override;
    FT_STATUS close(FT_HANDLE handle) override;
    FT_STATUS read(FT_HANDLE handle, void* buffer, DWORD toRead, DWORD* returned) override;
    FT_STATUS write(FT_HANDLE handle, const void* buffer, DWORD toWrite, DWORD* written) override;
    FT_STATUS setBaudRate(FT_HANDLE handle, ULONG baudRate) override;
    FT_STATUS setTimeouts(FT_HANDLE handle, ULONG readTimeoutMs, ULONG writeTimeoutMs) override;
    FT_STATUS setLatencyTimer(FT_HANDLE handle, UCHAR latencyMs) override;
    FT_STATUS setBitMode(FT_HANDLE handle, UCHAR mask, UCHAR mode) override;
    FT_STATUS getBitMode(FT_HANDLE handle, UCHAR* mode) override;

    // The user restarts the drive's logic supply. Opening the adapter does this too, as the
    // connect workflows ask the user to power-cycle the drive right after the adapter opened.
    void powerCycle();

    const std::vector<AdapterCallRecord>& callLog() const;
    void clearCallLog();
    const std::vector<FrameRecord>& frameLog() const;
    void clearFrameLog();

    LinkFaults& faults();
    void setLatencyMs(double latencyMs);
    DrivePersonality& personality();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace drive_sim
