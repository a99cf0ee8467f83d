// The libftdi1 provider on a machine with no adapter plugged in, and bad handles through both
// providers.
#include <gtest/gtest.h>

#include <memory>

#include "d2xx.h"
#include "ferrox_firmware.h"
#include "provider.h"
#include "sim_adapter.h"

namespace {
// Every call that takes a handle, made with `handle`; all of them must fail and none may crash.
void expectEveryHandleCallFails(FT_HANDLE handle) {
    UCHAR bytes[4] = {9, 1, 8, 0};
    UCHAR mode = 0;
    DWORD count = 0;
    EXPECT_NE(FT_Write(handle, bytes, 4, &count), FT_OK);
    EXPECT_EQ(count, 0u);
    EXPECT_NE(FT_Read(handle, bytes, 4, &count), FT_OK);
    EXPECT_EQ(count, 0u);
    EXPECT_NE(FT_SetBaudRate(handle, 10000), FT_OK);
    EXPECT_NE(FT_SetTimeouts(handle, 1000, 1000), FT_OK);
    EXPECT_NE(FT_SetLatencyTimer(handle, 4), FT_OK);
    EXPECT_NE(FT_SetBitMode(handle, 0x09, 4), FT_OK);
    EXPECT_NE(FT_GetBitMode(handle, &mode), FT_OK);
    EXPECT_NE(FT_Close(handle), FT_OK);
}

// A pointer that was never a handle of any provider.
FT_HANDLE strayHandle() {
    static int somewhere = 0;
    return &somewhere;
}
}  // namespace

TEST(BadHandles, NullStrayAndClosedHandlesFailCleanlyThroughBothProviders) {
    installD2xxProvider(makeLibftdiProvider());
    expectEveryHandleCallFails(nullptr);
    expectEveryHandleCallFails(strayHandle());

    installD2xxProvider(std::make_unique<drive_sim::SimulatedAdapter>(
        std::make_unique<drive_sim::FerroxFirmware>()));
    expectEveryHandleCallFails(nullptr);
    expectEveryHandleCallFails(strayHandle());
    FT_HANDLE handle = nullptr;
    ASSERT_EQ(FT_Open(0, &handle), FT_OK);
    ASSERT_EQ(FT_SetBitMode(handle, 0x09, 4), FT_OK);
    ASSERT_EQ(FT_Close(handle), FT_OK);
    expectEveryHandleCallFails(handle);
    FT_HANDLE next = nullptr;
    EXPECT_EQ(FT_Open(1, &next), FT_DEVICE_NOT_FOUND);  // one adapter, at index 0
    ASSERT_EQ(FT_Open(0, &next), FT_OK);
    EXPECT_NE(next, handle);  // a new handle, so the old one stays dead
    expectEveryHandleCallFails(handle);
    installD2xxProvider(nullptr);
}
