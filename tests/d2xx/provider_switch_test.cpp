// The provider switch: each FT_* call reaches the installed provider with its arguments and
// returns its answer; without a provider every call fails.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "d2xx.h"
#include "provider.h"

namespace {
// Records every call as "name handle arg arg" and answers each kind with its own status.
class RecordingProvider : public D2xxProvider {
public:
    RecordingProvider(std::vector<std::string>& calls, bool& destroyed)
        : calls_(calls), destroyed_(destroyed) {}
    ~RecordingProvider() override { destroyed_ = true; }

    FT_STATUS open(int device, FT_HANDLE* handle) override {
        *handle = reinterpret_cast<FT_HANDLE>(uintptr_t(0xAB));
        return record("open", nullptr, ULONG(device), 0, 101);
    }
    FT_STATUS close(FT_HANDLE h) override { return record("close", h, 0, 0, 102); }
    FT_STATUS read(FT_HANDLE h, void* buffer, DWORD toRead, DWORD* returned) override {
        static_cast<UCHAR*>(buffer)[0] = 0x5A;
        *returned = 1;
        return record("read", h, toRead, 0, 103);
    }
    FT_STATUS write(FT_HANDLE h, const void* buffer, DWORD toWrite, DWORD* written) override {
        *written = toWrite;
        return record("write", h, toWrite, static_cast<const UCHAR*>(buffer)[0], 104);
    }
    FT_STATUS setBaudRate(FT_HANDLE h, ULONG baud) override {
        return record("baud", h, baud, 0, 105);
    }
    FT_STATUS setTimeouts(FT_HANDLE h, ULONG readMs, ULONG writeMs) override {
        return record("timeouts", h, readMs, writeMs, 106);
    }
    FT_STATUS setLatencyTimer(FT_HANDLE h, UCHAR ms) override {
        return record("latency", h, ms, 0, 107);
    }
    FT_STATUS setBitMode(FT_HANDLE h, UCHAR mask, UCHAR mode) override {
        return record("bitmode", h, mask, mode, 108);
    }
    FT_STATUS getBitMode(FT_HANDLE h, UCHAR* mode) override {
        *mode = 0x0B;
        return record("pins", h, 0, 0, 109);
    }

private:
    FT_STATUS record(const char* name, FT_HANDLE h, ULONG a, ULONG b, FT_STATUS status) {
        calls_.push_back(std::string(name) + " " + std::to_string(reinterpret_cast<uintptr_t>(h)) +
                         " " + std::to_string(a) + " " + std::to_string(b));
        return status;
    }
    std::vector<std::string>& calls_;
    bool& destroyed_;
};
}  // namespace

TEST(ProviderSwitch, WithoutAProviderEveryCallFails) {
    installD2xxProvider(nullptr);
    EXPECT_EQ(installedD2xxProvider(), nullptr);
    FT_HANDLE handle = nullptr;
    UCHAR byte = 9;
    DWORD count = 77;
    for (FT_STATUS status :
         {FT_Open(0, &handle), FT_Close(handle), FT_Read(handle, &byte, 1, &count),
          FT_Write(handle, &byte, 1, &count), FT_SetBaudRate(handle, 10000),
          FT_SetTimeouts(handle, 1000, 1000), FT_SetLatencyTimer(handle, 4),
          FT_SetBitMode(handle, 0x09, 4), FT_GetBitMode(handle, &byte)}) {
        EXPECT_EQ(status, FT_DEVICE_NOT_OPENED);
    }
    EXPECT_EQ(handle, nullptr);  // nothing written through the pointers
    EXPECT_EQ(byte, 9);
    EXPECT_EQ(count, 77u);
}

TEST(ProviderSwitch, ForwardsEachCallWithItsArgumentsAndReturnsTheProvidersAnswer) {
    std::vector<std::string> calls, laterCalls;
    bool destroyed = false, laterDestroyed = false;
    installD2xxProvider(std::make_unique<RecordingProvider>(calls, destroyed));
    FT_HANDLE handle = nullptr;
    UCHAR bytes[2] = {0x09, 0x01};
    UCHAR mode = 0;
    DWORD written = 0, read = 0;
    EXPECT_EQ(FT_Open(3, &handle), 101u);
    EXPECT_EQ(std::vector<FT_STATUS>(
                  {FT_Write(handle, bytes, 2, &written), FT_Read(handle, bytes, 2, &read),
                   FT_SetBaudRate(handle, 10000), FT_SetTimeouts(handle, 1000, 500),
                   FT_SetLatencyTimer(handle, 4), FT_SetBitMode(handle, 9, 4),
                   FT_GetBitMode(handle, &mode), FT_Close(handle)}),
              (std::vector<FT_STATUS>{104, 103, 105, 106, 107, 108, 109, 102}));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(handle), 0xABu);
    EXPECT_EQ(written, 2u);
    EXPECT_EQ(read, 1u);
    EXPECT_EQ(bytes[0], 0x5A);
    EXPECT_EQ(mode, 0x0B);
    EXPECT_EQ(calls, (std::vector<std::string>{"open 0 3 0", "write 171 2 9", "read 171 2 0",
                                               "baud 171 10000 0", "timeouts 171 1000 500",
                                               "latency 171 4 0", "bitmode 171 9 4", "pins 171 0 0",
                                               "close 171 0 0"}));

    // Installing another provider retires this one; the calls go to the new one only.
    installD2xxProvider(std::make_unique<RecordingProvider>(laterCalls, laterDestroyed));
    EXPECT_TRUE(destroyed);
    FT_SetLatencyTimer(handle, 2);
    EXPECT_EQ(calls.size(), 9u);
    EXPECT_EQ(laterCalls, std::vector<std::string>{"latency 171 2 0"});
    installD2xxProvider(nullptr);
    EXPECT_TRUE(laterDestroyed);
    EXPECT_EQ(FT_Close(handle), FT_DEVICE_NOT_OPENED);
}
