// The provider switch without a provider: every call fails and writes nothing. (Every other
// test reaches the simulated drive through the switch.)
#include <gtest/gtest.h>

#include "d2xx.h"
#include "provider.h"

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
