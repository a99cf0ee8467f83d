// Several simulated adapters in one process, each at a USB port path of its own and wired to a
// drive of its own: a flashing station's fixtures without hardware. FT_OpenEx by port path
// opens the adapter at that port; every other call goes to the adapter its handle came from, so
// the fixtures are worked from several threads at once, one each, without sharing a drive.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "provider.h"
#include "sim_adapter.h"

namespace drive_sim {

class SimulatedStation : public D2xxProvider {
public:
    // Puts `adapter` at `portPath`; all adapters are plugged in before the first open.
    void plugIn(const std::string& portPath, std::unique_ptr<SimulatedAdapter> adapter);
    // The adapter at `portPath`, or null.
    SimulatedAdapter* adapterAt(const std::string& portPath);
    // The ports whose adapters are on the bus (SimulatedAdapter::onBus); one not on it yet
    // cannot be opened either.
    std::vector<std::string> presentPorts() override;

    // Device 0 is the adapter plugged in first.
    FT_STATUS open(int deviceNumber, FT_HANDLE* handle) override;
    FT_STATUS openNamed(const std::string& name, DWORD flags, FT_HANDLE* handle) override;
    FT_STATUS close(FT_HANDLE handle) override;
    FT_STATUS read(FT_HANDLE handle, void* buffer, DWORD toRead, DWORD* returned) override;
    FT_STATUS write(FT_HANDLE handle, const void* buffer, DWORD toWrite, DWORD* written) override;
    FT_STATUS setBaudRate(FT_HANDLE handle, ULONG baudRate) override;
    FT_STATUS setTimeouts(FT_HANDLE handle, ULONG readTimeoutMs, ULONG writeTimeoutMs) override;
    FT_STATUS setLatencyTimer(FT_HANDLE handle, UCHAR latencyMs) override;
    FT_STATUS setBitMode(FT_HANDLE handle, UCHAR mask, UCHAR mode) override;
    FT_STATUS getBitMode(FT_HANDLE handle, UCHAR* mode) override;

private:
    struct Slot {
        std::string portPath;
        std::unique_ptr<SimulatedAdapter> adapter;
        FT_HANDLE adapterHandle = nullptr;  // the adapter's own handle while it is open
        bool open = false;
    };
    FT_STATUS openSlot(Slot& slot, FT_HANDLE* handle);
    // The slot an open handle names; the handle handed out is the slot itself.
    Slot* openSlotOf(FT_HANDLE handle);

    std::mutex mutex_;  // guards the slots' open state; the list is fixed once in use
    std::vector<std::unique_ptr<Slot>> slots_;
};

}  // namespace drive_sim
