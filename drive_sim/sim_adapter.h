// The simulated FTDI chip in synchronous bit-bang mode, wired to a simulated drive.
// It answers the nine D2XX calls: every written byte goes onto the port and yields one read
// byte, in order. The drive is a clocked slave on D3 that samples D0 and drives D1 inverted.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "link_faults.h"
#include "personality.h"
#include "provider.h"

namespace drive_sim {

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
    // Whether the calls and frames are logged, as they are from the start: the tests read the
    // logs, while the programs' simulated drive keeps none, so that a long session does not
    // carry tens of megabytes of them.
    void keepLogs(bool keep);

    // The adapter is on the bus from `when` on (from the start unless told): before, it does
    // not open, as an adapter not plugged in yet.
    void plugInAt(std::chrono::steady_clock::time_point when);
    bool onBus() const;

    LinkFaults& faults();
    void setLatencyMs(double latencyMs);
    DrivePersonality& personality();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace drive_sim
