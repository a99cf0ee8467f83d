#include "d2xx.h"

#include "provider.h"

namespace {
std::unique_ptr<D2xxProvider>& providerSlot() {
    static std::unique_ptr<D2xxProvider> provider;
    return provider;
}
}  // namespace

void installD2xxProvider(std::unique_ptr<D2xxProvider> provider) {
    providerSlot() = std::move(provider);
}

D2xxProvider* installedD2xxProvider() {
    return providerSlot().get();
}

std::string openedAdapterSerial() {
    return providerSlot() ? providerSlot()->openedSerial() : std::string();
}

FT_STATUS FT_Open(int deviceNumber, FT_HANDLE* pHandle) {
    D2xxProvider* p = installedD2xxProvider();
    return p ? p->open(deviceNumber, pHandle) : FT_DEVICE_NOT_OPENED;
}

std::string adapterSerialOf(FT_HANDLE handle) {
    return providerSlot() ? providerSlot()->serialOf(handle) : std::string();
}

std::vector<std::string> presentAdapterPorts() {
    return providerSlot() ? providerSlot()->presentPorts() : std::vector<std::string>();
}

FT_STATUS FT_OpenEx(PVOID pArg1, DWORD Flags, FT_HANDLE* pHandle) {
    D2xxProvider* p = installedD2xxProvider();
    if (!p) {
        return FT_DEVICE_NOT_OPENED;
    }
    if (!pArg1 || !pHandle) {
        return FT_INVALID_PARAMETER;
    }
    return p->openNamed(static_cast<const char*>(pArg1), Flags, pHandle);
}

FT_STATUS FT_Close(FT_HANDLE ftHandle) {
    D2xxProvider* p = installedD2xxProvider();
    return p ? p->close(ftHandle) : FT_DEVICE_NOT_OPENED;
}

FT_STATUS FT_Read(FT_HANDLE ftHandle, LPVOID lpBuffer, DWORD dwBytesToRead,
                  LPDWORD lpBytesReturned) {
    D2xxProvider* p = installedD2xxProvider();
    return p ? p->read(ftHandle, lpBuffer, dwBytesToRead, lpBytesReturned) : FT_DEVICE_NOT_OPENED;
}

FT_STATUS FT_Write(FT_HANDLE ftHandle, LPVOID lpBuffer, DWORD dwBytesToWrite,
                   LPDWORD lpBytesWritten) {
    D2xxProvider* p = installedD2xxProvider();
    return p ? p->write(ftHandle, lpBuffer, dwBytesToWrite, lpBytesWritten) : FT_DEVICE_NOT_OPENED;
}

FT_STATUS FT_SetBaudRate(FT_HANDLE ftHandle, ULONG dwBaudRate) {
    D2xxProvider* p = installedD2xxProvider();
    return p ? p->setBaudRate(ftHandle, dwBaudRate) : FT_DEVICE_NOT_OPENED;
}

FT_STATUS FT_SetTimeouts(FT_HANDLE ftHandle, ULONG dwReadTimeout, ULONG dwWriteTimeout) {
    D2xxProvider* p = installedD2xxProvider();
    return p ? p->setTimeouts(ftHandle, dwReadTimeout, dwWriteTimeout) : FT_DEVICE_NOT_OPENED;
}

FT_STATUS FT_SetLatencyTimer(FT_HANDLE ftHandle, UCHAR ucLatency) {
    D2xxProvider* p = installedD2xxProvider();
    return p ? p->setLatencyTimer(ftHandle, ucLatency) : FT_DEVICE_NOT_OPENED;
}

FT_STATUS FT_SetBitMode(FT_HANDLE ftHandle, UCHAR ucMask, UCHAR ucEnable) {
    D2xxProvider* p = installedD2xxProvider();
    return p ? p->setBitMode(ftHandle, ucMask, ucEnable) : FT_DEVICE_NOT_OPENED;
}

FT_STATUS FT_GetBitMode(FT_HANDLE ftHandle, PUCHAR pucMode) {
    D2xxProvider* p = installedD2xxProvider();
    return p ? p->getBitMode(ftHandle, pucMode) : FT_DEVICE_NOT_OPENED;
}
