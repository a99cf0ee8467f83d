// The nine D2XX calls the drive link uses, declared with their published signatures.
// Each call forwards to the provider chosen at start-up (see provider.h).
#pragma once

#include <cstdint>

typedef void* FT_HANDLE;
typedef uint32_t FT_STATUS;
typedef uint32_t DWORD;
typedef uint32_t ULONG;
typedef unsigned char UCHAR;
typedef UCHAR* PUCHAR;
typedef void* LPVOID;
typedef DWORD* LPDWORD;
typedef void* PVOID;

enum : FT_STATUS {
    FT_OK = 0,
    FT_INVALID_HANDLE = 1,
    FT_DEVICE_NOT_FOUND = 2,
    FT_DEVICE_NOT_OPENED = 3,
    FT_IO_ERROR = 4,
    FT_INSUFFICIENT_RESOURCES = 5,
    FT_INVALID_PARAMETER = 6,
    FT_INVALID_BAUD_RATE = 7,
    FT_OTHER_ERROR = 18,
};

// How FT_OpenEx names its adapter: pArg1 is a C string. By port path is our own: the USB port
// path ("1-1.4.2") stays with the fixture's cable across replugs, where a serial number moves
// with the adapter.
enum : DWORD {
    FT_OPEN_BY_SERIAL_NUMBER = 1,
    FT_OPEN_BY_PORT_PATH = 0x100,
};

FT_STATUS FT_Open(int deviceNumber, FT_HANDLE* pHandle);
// Several adapters may be open at once, each through its own handle.
FT_STATUS FT_OpenEx(PVOID pArg1, DWORD Flags, FT_HANDLE* pHandle);
FT_STATUS FT_Close(FT_HANDLE ftHandle);
FT_STATUS FT_Read(FT_HANDLE ftHandle, LPVOID lpBuffer, DWORD dwBytesToRead,
                  LPDWORD lpBytesReturned);
FT_STATUS FT_Write(FT_HANDLE ftHandle, LPVOID lpBuffer, DWORD dwBytesToWrite,
                   LPDWORD lpBytesWritten);
FT_STATUS FT_SetBaudRate(FT_HANDLE ftHandle, ULONG dwBaudRate);
FT_STATUS FT_SetTimeouts(FT_HANDLE ftHandle, ULONG dwReadTimeout, ULONG dwWriteTimeout);
FT_STATUS FT_SetLatencyTimer(FT_HANDLE ftHandle, UCHAR ucLatency);
FT_STATUS FT_SetBitMode(FT_HANDLE ftHandle, UCHAR ucMask, UCHAR ucEnable);
FT_STATUS FT_GetBitMode(FT_HANDLE ftHandle, PUCHAR pucMode);
