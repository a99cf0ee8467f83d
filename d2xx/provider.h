// Who answers the D2XX calls: a real adapter through libftdi1, or the simulated adapter.
// Exactly one provider is installed when a program starts; tests swap it per case. A provider
// may hold several adapters open at once, one a thread: its calls on different handles may
// come from different threads.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "d2xx.h"

class D2xxProvider {
public:
    virtual ~D2xxProvider() = default;
    virtual FT_STATUS open(int deviceNumber, FT_HANDLE* handle) = 0;
    // The adapter `name` names by `flags` (FT_OPEN_BY_...); none unless the provider has them.
    virtual FT_STATUS openNamed(const std::string& name, DWORD flags, FT_HANDLE* handle) {
        (void)name, (void)flags, (void)handle;
        return FT_DEVICE_NOT_FOUND;
    }
    virtual FT_STATUS close(FT_HANDLE handle) = 0;
    virtual FT_STATUS read(FT_HANDLE handle, void* buffer, DWORD toRead, DWORD* returned) = 0;
    virtual FT_STATUS write(FT_HANDLE handle, const void* buffer, DWORD toWrite,
                            DWORD* written) = 0;
    virtual FT_STATUS setBaudRate(FT_HANDLE handle, ULONG baudRate) = 0;
    virtual FT_STATUS setTimeouts(FT_HANDLE handle, ULONG readTimeoutMs, ULONG writeTimeoutMs) = 0;
    virtual FT_STATUS setLatencyTimer(FT_HANDLE handle, UCHAR latencyMs) = 0;
    virtual FT_STATUS setBitMode(FT_HANDLE handle, UCHAR mask, UCHAR mode) = 0;
    virtual FT_STATUS getBitMode(FT_HANDLE handle, UCHAR* mode) = 0;
    // The serial number of the adapter opened last, for a production log; empty when it has none
    // or it could not be read.
    virtual std::string openedSerial() const { return {}; }
    // The serial number of the adapter behind an open handle, for the log of one of several
    // adapters worked at once; empty when it has none.
    virtual std::string serialOf(FT_HANDLE handle) const {
        (void)handle;
        return openedSerial();
    }
    // The USB port paths of the adapters present now, open or not, for a station that watches
    // for its fixtures; none when the provider knows no ports or the bus cannot be read.
    virtual std::vector<std::string> presentPorts() { return {}; }
};

// Installs the provider that the FT_* calls forward to; the previous one is destroyed.
// With no provider installed every call fails with FT_DEVICE_NOT_OPENED.
void installD2xxProvider(std::unique_ptr<D2xxProvider> provider);
D2xxProvider* installedD2xxProvider();
// The installed provider's openedSerial(); empty without a provider.
std::string openedAdapterSerial();
// The installed provider's serialOf(handle); empty without a provider.
std::string adapterSerialOf(FT_HANDLE handle);
// The installed provider's presentPorts(); none without a provider.
std::vector<std::string> presentAdapterPorts();

// The provider for a real adapter through libftdi1. `adapter` is what --adapter asked for: a
// serial number, "BUS:DEV" or a USB port path ("1-1.4.2"); empty means the first FTDI device,
// named on standard error when there are several. FT_Open's device 0 is that adapter.
std::unique_ptr<D2xxProvider> makeLibftdiProvider(const std::string& adapter = {});

// Prints one line per FTDI adapter on the USB bus (bus:device, port path, product, serial) and
// returns how many there are, or -1 when USB could not be read.
int listLibftdiAdapters(std::FILE* out);
// How many FTDI adapters are on the USB bus, none of them opened; -1 when USB could not be read.
int countLibftdiAdapters();
