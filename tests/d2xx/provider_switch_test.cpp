// The provider switch: each FT_* call reaches the installed provider with its arguments and
// returns its answer; without a provider every call fails.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "d2xx.h"
#include "provider.h"

namespace {
struct Call {
    std::string name;
    uintptr_t handle;
    uint32_t arg1;
    uint32_t arg2;
};

// Records every call and answers each kind with its own status and output.
class RecordingProvider : public D2xxProvider {
public:
    RecordingProvider(std::vector<Call>& calls, bool& destroyed)
        : calls_(calls), destroyed_(destroyed) {}
    ~RecordingProvider() override { destroyed_ = true; }

    FT_STATUS open(int deviceNumber, FT_HANDLE* handle) override {
        record("open", nullptr, uint32_t(deviceNumber));
        *handle = reinterpret_cast<FT_HANDLE>(uintptr_t(0xAB));
        return 101;
    }
    FT_STATUS close(FT_HANDLE handle) override { return record("close", handle), 102; }
    FT_STATUS read(FT_HANDLE handle, void* buffer, DWORD toRead, DWORD* returned) override {
        record("read", handle, toRead);
        static_cast<UCHAR*>(buffer)[0] = 0x5A;
        *returned = 1;
        return 103;
    }
    FT_STATUS write(FT_HANDLE handle, const void* buffer, DWORD toWrite, DWORD* written) override {
        record("write", handle, toWrite, static_cast<const UCHAR*>(buffer)[0]);
        *written = toWrite;
        return 104;
    }
    FT_STATUS setBaudRate(FT_HANDLE handle, ULONG baudRate) override {
        return record("setBaudRate", handle, baudRate), 105;
    }
    FT_STATUS setTimeouts(FT_HANDLE handle, ULONG readMs, ULONG writeMs) override {
        return record("setTimeouts", handle, readMs, writeMs), 106;
    }
    FT_STATUS setLatencyTimer(FT_HANDLE handle, UCHAR latencyMs) override {
        return record("setLatencyTimer", handle, latencyMs), 107;
    }
    FT_STATUS setBitMode(FT_HANDLE handle, UCHAR mask, UCHAR mode) override {
        return record("setBitMode", handle, mask, mode), 108;
    }
    FT_STATUS getBitMode(FT_HANDLE handle, UCHAR* mode) override {
        record("getBitMode", handle);
        *mode = 0x0B;
        return 109;
    }

private:
    void record(const char* name, FT_HANDLE handle, uint32_t arg1 = 0, uint32_t arg2 = 0) {
        calls_.push_back({name, reinterpret_cast<uintptr_t>(handle), arg1, arg2});
    }
    std::vector<Call>& calls_;
    bool& destroyed_;
};

bool operator==(const Call& a, const Call& b) {
    return a.name == b.name && a.handle == b.handle && a.arg1 == b.arg1 && a.arg2 == b.arg2;
}
std::ostream& operator<<(std::ostream& out, const Call& call) {
    return out << call.name << "(" << call.handle << ", " << call.arg1 << ", " << call.arg2 << ")";
}
}  // namespace

TEST(ProviderSwitch, WithoutAProviderEveryCallFails) {
    installD2xxProvider(nullptr);
    EXPECT_EQ(installedD2xxProvider(), nullptr);
    FT_HANDLE handle = nullptr;
    UCHAR byte = 9;
    DWORD count = 77;
    EXPECT_EQ(FT_Open(0, &handle), FT_DEVICE_NOT_OPENED);
    EXPECT_EQ(handle, nullptr);
    EXPECT_EQ(FT_Close(handle), FT_DEVICE_NOT_OPENED);
    EXPECT_EQ(FT_Read(handle, &byte, 1, &count), FT_DEVICE_NOT_OPENED);
    EXPECT_EQ(FT_Write(handle, &byte, 1, &count), FT_DEVICE_NOT_OPENED);
    EXPECT_EQ(FT_SetBaudRate(handle, 10000), FT_DEVICE_NOT_OPENED);
    EXPECT_EQ(FT_SetTimeouts(handle, 1000, 1000), FT_DEVICE_NOT_OPENED);
    EXPECT_EQ(FT_SetLatencyTimer(handle, 4), FT_DEVICE_NOT_OPENED);
    EXPECT_EQ(FT_SetBitMode(handle, 0x09, 4), FT_DEVICE_NOT_OPENED);
    EXPECT_EQ(FT_GetBitMode(handle, &byte), FT_DEVICE_NOT_OPENED);
    EXPECT_EQ(byte, 9);  // nothing written through the pointers
    EXPECT_EQ(count, 77u);
}

TEST(ProviderSwitch, ForwardsEachCallWithItsArgumentsAndReturnsTheProvidersAnswer) {
    std::vector<Call> calls;
    bool destroyed = false;
    installD2xxProvider(std::make_unique<RecordingProvider>(calls, destroyed));
    FT_HANDLE handle = nullptr;
    EXPECT_EQ(FT_Open(3, &handle), 101u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(handle), 0xABu);
    UCHAR bytes[2] = {0x09, 0x01};
    DWORD count = 0;
    EXPECT_EQ(FT_Write(handle, bytes, 2, &count), 104u);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(FT_Read(handle, bytes, 2, &count), 103u);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(bytes[0], 0x5A);
    EXPECT_EQ(FT_SetBaudRate(handle, 10000), 105u);
    EXPECT_EQ(FT_SetTimeouts(handle, 1000, 500), 106u);
    EXPECT_EQ(FT_SetLatencyTimer(handle, 4), 107u);
    EXPECT_EQ(FT_SetBitMode(handle, 0x09, 4), 108u);
    UCHAR mode = 0;
    EXPECT_EQ(FT_GetBitMode(handle, &mode), 109u);
    EXPECT_EQ(mode, 0x0B);
    EXPECT_EQ(FT_Close(handle), 102u);

    EXPECT_EQ(calls, (std::vector<Call>{{"open", 0, 3, 0},
                                        {"write", 0xAB, 2, 0x09},
                                        {"read", 0xAB, 2, 0},
                                        {"setBaudRate", 0xAB, 10000, 0},
                                        {"setTimeouts", 0xAB, 1000, 500},
                                        {"setLatencyTimer", 0xAB, 4, 0},
                                        {"setBitMode", 0xAB, 0x09, 4},
                                        {"getBitMode", 0xAB, 0, 0},
                                        {"close", 0xAB, 0, 0}}));

    // Installing another provider retires this one; the calls go to the new one only.
    std::vector<Call> laterCalls;
    bool laterDestroyed = false;
    installD2xxProvider(std::make_unique<RecordingProvider>(laterCalls, laterDestroyed));
    EXPECT_TRUE(destroyed);
    FT_SetLatencyTimer(handle, 2);
    EXPECT_EQ(calls.size(), 9u);
    EXPECT_EQ(laterCalls.size(), 1u);
    installD2xxProvider(nullptr);
    EXPECT_TRUE(laterDestroyed);
    EXPECT_EQ(FT_Close(handle), FT_DEVICE_NOT_OPENED);
}
