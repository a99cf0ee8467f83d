#include "sim_station.h"

namespace drive_sim {

void SimulatedStation::plugIn(const std::string& portPath,
                              std::unique_ptr<SimulatedAdapter> adapter) {
    auto slot = std::make_unique<Slot>();
    slot->portPath = portPath;
    slot->adapter = std::move(adapter);
    slots_.push_back(std::move(slot));
}

SimulatedAdapter* SimulatedStation::adapterAt(const std::string& portPath) {
    for (const auto& slot : slots_) {
        if (slot->portPath == portPath) {
            return slot->adapter.get();
        }
    }
    return nullptr;
}

std::vector<std::string> SimulatedStation::presentPorts() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> ports;
    for (const auto& slot : slots_) {
        if (slot->adapter->onBus()) {
            ports.push_back(slot->portPath);
        }
    }
    return ports;
}

FT_STATUS SimulatedStation::openSlot(Slot& slot, FT_HANDLE* handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!slot.adapter->onBus()) {
        return FT_DEVICE_NOT_FOUND;
    }
    // As a real adapter: one program, one handle at a time.
    if (slot.open) {
        return FT_DEVICE_NOT_OPENED;
    }
    const FT_STATUS status = slot.adapter->open(0, &slot.adapterHandle);
    slot.open = status == FT_OK;
    *handle = slot.open ? &slot : nullptr;
    return status;
}

SimulatedStation::Slot* SimulatedStation::openSlotOf(FT_HANDLE handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& slot : slots_) {
        if (slot.get() == handle && slot->open) {
            return slot.get();
        }
    }
    return nullptr;
}

FT_STATUS SimulatedStation::open(int deviceNumber, FT_HANDLE* handle) {
    if (!handle) {
        return FT_INVALID_PARAMETER;
    }
    if (deviceNumber != 0 || slots_.empty()) {
        return FT_DEVICE_NOT_FOUND;
    }
    return openSlot(*slots_.front(), handle);
}

FT_STATUS SimulatedStation::openNamed(const std::string& name, DWORD flags, FT_HANDLE* handle) {
    for (const auto& slot : slots_) {
        if (flags == FT_OPEN_BY_PORT_PATH && slot->portPath == name) {
            return openSlot(*slot, handle);
        }
    }
    return FT_DEVICE_NOT_FOUND;
}

FT_STATUS SimulatedStation::close(FT_HANDLE handle) {
    Slot* slot = openSlotOf(handle);
    if (!slot) {
        return FT_INVALID_HANDLE;
    }
    const FT_STATUS status = slot->adapter->close(slot->adapterHandle);
    std::lock_guard<std::mutex> lock(mutex_);
    slot->open = false;
    return status;
}

FT_STATUS SimulatedStation::read(FT_HANDLE handle, void* buffer, DWORD toRead, DWORD* returned) {
    Slot* slot = openSlotOf(handle);
    return slot ? slot->adapter->read(slot->adapterHandle, buffer, toRead, returned)
                : FT_INVALID_HANDLE;
}

FT_STATUS SimulatedStation::write(FT_HANDLE handle, const void* buffer, DWORD toWrite,
                                  DWORD* written) {
    Slot* slot = openSlotOf(handle);
    return slot ? slot->adapter->write(slot->adapterHandle, buffer, toWrite, written)
                : FT_INVALID_HANDLE;
}

FT_STATUS SimulatedStation::setBaudRate(FT_HANDLE handle, ULONG baudRate) {
    Slot* slot = openSlotOf(handle);
    return slot ? slot->adapter->setBaudRate(slot->adapterHandle, baudRate) : FT_INVALID_HANDLE;
}

FT_STATUS SimulatedStation::setTimeouts(FT_HANDLE handle, ULONG readTimeoutMs,
                                        ULONG writeTimeoutMs) {
    Slot* slot = openSlotOf(handle);
    return slot ? slot->adapter->setTimeouts(slot->adapterHandle, readTimeoutMs, writeTimeoutMs)
                : FT_INVALID_HANDLE;
}

FT_STATUS SimulatedStation::setLatencyTimer(FT_HANDLE handle, UCHAR latencyMs) {
    Slot* slot = openSlotOf(handle);
    return slot ? slot->adapter->setLatencyTimer(slot->adapterHandle, latencyMs)
                : FT_INVALID_HANDLE;
}

FT_STATUS SimulatedStation::setBitMode(FT_HANDLE handle, UCHAR mask, UCHAR mode) {
    Slot* slot = openSlotOf(handle);
    return slot ? slot->adapter->setBitMode(slot->adapterHandle, mask, mode) : FT_INVALID_HANDLE;
}

FT_STATUS SimulatedStation::getBitMode(FT_HANDLE handle, UCHAR* mode) {
    Slot* slot = openSlotOf(handle);
    return slot ? slot->adapter->getBitMode(slot->adapterHandle, mode) : FT_INVALID_HANDLE;
}

}  // namespace drive_sim
