// The simulated chip at the level of the D2XX calls: handles, the read-back queue of its
// bit-bang port, the call log and the injected call failures. The drive behind the port is
// SimulatedDrive.
#include "sim_adapter.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <thread>

#include "simulated_drive.h"

namespace drive_sim {

namespace {
constexpr UCHAR kResetMode = 0;
constexpr UCHAR kSynchronousBitBang = 4;
// Enough for any test's sequence; a long interactive session keeps only its recent calls.
constexpr size_t kCallLogLimit = size_t(1) << 18;

AdapterCallRecord callRecord(AdapterCall call, uint32_t arg1 = 0, uint32_t arg2 = 0) {
    AdapterCallRecord record;
    record.call = call;
    record.arg1 = arg1;
    record.arg2 = arg2;
    return record;
}
}  // namespace

struct SimulatedAdapter::Impl {
    Impl(std::unique_ptr<DrivePersonality> personality, LinkFaults linkFaults, double latency)
        : drive(std::move(personality), std::move(linkFaults)),
          faults(drive.faults()),
          port(drive),
          latencyMs(latency) {}

    SimulatedDrive drive;
    LinkFaults& faults;
    BitBangPort port;
    double latencyMs;
    bool keepCallLog = true;
    // Read by a station's look at the bus while a tile works another adapter.
    std::atomic<std::chrono::steady_clock::rep> pluggedInAt{0};

    bool isOpen = false;
    uintptr_t handleId = 0;
    uintptr_t nextHandleId = 0x4B00;  // each open hands out a new one, so stale handles fail
    bool synchronousBitBang = false;
    std::deque<UCHAR> readBack;

    long transfersCounted = 0;
    long transferLimitSeen = -1;

    std::vector<AdapterCallRecord> calls;

    FT_STATUS admit(FT_HANDLE handle, AdapterCall call) const {
        if (!isOpen || handle != handleFor(handleId)) {
            return FT_INVALID_HANDLE;
        }
        return faults.failingCalls.count(call) ? FT_IO_ERROR : FT_OK;
    }

    static FT_HANDLE handleFor(uintptr_t id) { return reinterpret_cast<FT_HANDLE>(id); }

    // Counted from the moment a test set the limit, so it can be changed mid-test.
    bool transferRefused() {
        if (faults.transfersBeforeFailure != transferLimitSeen) {
            transferLimitSeen = faults.transfersBeforeFailure;
            transfersCounted = 0;
        }
        if (transferLimitSeen < 0) {
            return false;
        }
        if (transfersCounted >= transferLimitSeen) {
            return true;
        }
        ++transfersCounted;
        return false;
    }

    void pauseForTransfer() const {
        if (latencyMs > 0.0) {
            std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(latencyMs));
        }
    }

    void resetPort() {
        synchronousBitBang = false;
        port.reset();
        readBack.clear();
    }

    FT_STATUS log(AdapterCallRecord record) {
        if (!keepCallLog) {
            return record.status;
        }
        if (calls.size() >= kCallLogLimit) {
            calls.erase(calls.begin(), calls.begin() + kCallLogLimit / 2);
        }
        calls.push_back(std::move(record));
        return calls.back().status;
    }
};

const char* adapterCallName(AdapterCall call) {
    switch (call) {
        case AdapterCall::Open:
            return "FT_Open";
        case AdapterCall::Close:
            return "FT_Close";
        case AdapterCall::Read:
            return "FT_Read";
        case AdapterCall::Write:
            return "FT_Write";
        case AdapterCall::SetBaudRate:
            return "FT_SetBaudRate";
        case AdapterCall::SetTimeouts:
            return "FT_SetTimeouts";
        case AdapterCall::SetLatencyTimer:
            return "FT_SetLatencyTimer";
        case AdapterCall::SetBitMode:
            return "FT_SetBitMode";
        case AdapterCall::GetBitMode:
            return "FT_GetBitMode";
    }
    return "FT_?";
}

SimulatedAdapter::SimulatedAdapter(std::unique_ptr<DrivePersonality> personality, LinkFaults faults,
                                   double latencyMs)
    : impl_(std::make_unique<Impl>(std::move(personality), std::move(faults), latencyMs)) {}

SimulatedAdapter::~SimulatedAdapter() = default;

FT_STATUS SimulatedAdapter::open(int deviceNumber, FT_HANDLE* handle) {
    AdapterCallRecord record = callRecord(AdapterCall::Open, uint32_t(deviceNumber));
    if (!handle) {
        record.status = FT_INVALID_PARAMETER;
    } else if (impl_->faults.failingCalls.count(AdapterCall::Open) || deviceNumber != 0 ||
               !onBus()) {
        record.status = FT_DEVICE_NOT_FOUND;
        *handle = nullptr;
    } else {
        impl_->isOpen = true;
        impl_->handleId = impl_->nextHandleId++;
        impl_->resetPort();
        *handle = Impl::handleFor(impl_->handleId);
        powerCycle();
    }
    return impl_->log(std::move(record));
}

FT_STATUS SimulatedAdapter::close(FT_HANDLE handle) {
    AdapterCallRecord record = callRecord(AdapterCall::Close);
    record.status = impl_->admit(handle, AdapterCall::Close);
    if (record.status == FT_OK) {
        impl_->isOpen = false;
        impl_->resetPort();
    }
    return impl_->log(std::move(record));
}

FT_STATUS SimulatedAdapter::read(FT_HANDLE handle, void* buffer, DWORD toRead, DWORD* returned) {
    impl_->pauseForTransfer();
    AdapterCallRecord record = callRecord(AdapterCall::Read, toRead);
    record.status = impl_->admit(handle, AdapterCall::Read);
    if (record.status == FT_OK && ((!buffer && toRead > 0) || !returned)) {
        record.status = FT_INVALID_PARAMETER;
    }
    if (record.status == FT_OK && impl_->transferRefused()) {
        record.status = FT_IO_ERROR;
    }
    std::deque<UCHAR>& queue = impl_->readBack;
    size_t available = toRead < queue.size() ? size_t(toRead) : queue.size();
    if (record.status != FT_OK) {
        // A transfer that failed loses what it would have carried.
        if (handle == Impl::handleFor(impl_->handleId) && impl_->isOpen) {
            queue.erase(queue.begin(), queue.begin() + long(available));
        }
        if (returned) {
            *returned = 0;
        }
        return impl_->log(std::move(record));
    }
    // Fewer bytes than asked is what a read time-out gives: the count, and success.
    UCHAR* out = static_cast<UCHAR*>(buffer);
    for (size_t i = 0; i < available; ++i) {
        out[i] = queue.front();
        queue.pop_front();
    }
    record.bytes.assign(out, out + available);
    *returned = DWORD(available);
    return impl_->log(std::move(record));
}

FT_STATUS SimulatedAdapter::write(FT_HANDLE handle, const void* buffer, DWORD toWrite,
                                  DWORD* written) {
    impl_->pauseForTransfer();
    AdapterCallRecord record = callRecord(AdapterCall::Write, toWrite);
    record.status = impl_->admit(handle, AdapterCall::Write);
    if (record.status == FT_OK && ((!buffer && toWrite > 0) || !written)) {
        record.status = FT_INVALID_PARAMETER;
    }
    if (record.status == FT_OK && impl_->transferRefused()) {
        record.status = FT_IO_ERROR;
    }
    if (record.status != FT_OK) {
        if (written) {
            *written = 0;
        }
        return impl_->log(std::move(record));
    }
    const UCHAR* bytes = static_cast<const UCHAR*>(buffer);
    record.bytes.assign(bytes, bytes + toWrite);
    // Outside bit-bang mode the chip is a plain serial port: the bytes leave as serial data
    // that the drive does not listen to, and nothing is read back.
    if (impl_->synchronousBitBang) {
        for (DWORD i = 0; i < toWrite; ++i) {
            impl_->readBack.push_back(impl_->port.clockOut(bytes[i]));
        }
    }
    *written = toWrite;
    return impl_->log(std::move(record));
}

FT_STATUS SimulatedAdapter::setBaudRate(FT_HANDLE handle, ULONG baudRate) {
    AdapterCallRecord record = callRecord(AdapterCall::SetBaudRate, baudRate);
    record.status = impl_->admit(handle, AdapterCall::SetBaudRate);
    if (record.status == FT_OK && baudRate == 0) {
        record.status = FT_INVALID_BAUD_RATE;
    }
    return impl_->log(std::move(record));
}

FT_STATUS SimulatedAdapter::setTimeouts(FT_HANDLE handle, ULONG readTimeoutMs,
                                        ULONG writeTimeoutMs) {
    AdapterCallRecord record = callRecord(AdapterCall::SetTimeouts, readTimeoutMs, writeTimeoutMs);
    record.status = impl_->admit(handle, AdapterCall::SetTimeouts);
    return impl_->log(std::move(record));
}

FT_STATUS SimulatedAdapter::setLatencyTimer(FT_HANDLE handle, UCHAR latencyMs) {
    AdapterCallRecord record = callRecord(AdapterCall::SetLatencyTimer, latencyMs);
    record.status = impl_->admit(handle, AdapterCall::SetLatencyTimer);
    return impl_->log(std::move(record));
}

FT_STATUS SimulatedAdapter::setBitMode(FT_HANDLE handle, UCHAR mask, UCHAR mode) {
    AdapterCallRecord record = callRecord(AdapterCall::SetBitMode, mask, mode);
    record.status = impl_->admit(handle, AdapterCall::SetBitMode);
    if (record.status == FT_OK) {
        if (mode == kResetMode) {
            impl_->resetPort();
        } else {
            // Other bit modes are accepted but not simulated: only synchronous bit-bang clocks
            // the drive and reads back.
            impl_->synchronousBitBang = mode == kSynchronousBitBang;
            impl_->port.setDirections(mask);
        }
    }
    return impl_->log(std::move(record));
}

FT_STATUS SimulatedAdapter::getBitMode(FT_HANDLE handle, UCHAR* mode) {
    AdapterCallRecord record = callRecord(AdapterCall::GetBitMode);
    record.status = impl_->admit(handle, AdapterCall::GetBitMode);
    if (record.status == FT_OK && !mode) {
        record.status = FT_INVALID_PARAMETER;
    }
    if (record.status == FT_OK) {
        *mode = impl_->port.pins();
        record.arg1 = *mode;
    }
    return impl_->log(std::move(record));
}

void SimulatedAdapter::powerCycle() {
    impl_->drive.powerUp();
}

const std::vector<AdapterCallRecord>& SimulatedAdapter::callLog() const {
    return impl_->calls;
}
void SimulatedAdapter::clearCallLog() {
    impl_->calls.clear();
}
const std::vector<FrameRecord>& SimulatedAdapter::frameLog() const {
    return impl_->drive.frameLog();
}
void SimulatedAdapter::clearFrameLog() {
    impl_->drive.clearFrameLog();
}

void SimulatedAdapter::keepLogs(bool keep) {
    impl_->keepCallLog = keep;
    impl_->calls = {};
    impl_->drive.keepFrameLog(keep);
}

void SimulatedAdapter::plugInAt(std::chrono::steady_clock::time_point when) {
    impl_->pluggedInAt = when.time_since_epoch().count();
}

bool SimulatedAdapter::onBus() const {
    return std::chrono::steady_clock::now().time_since_epoch().count() >= impl_->pluggedInAt;
}

LinkFaults& SimulatedAdapter::faults() {
    return impl_->faults;
}
void SimulatedAdapter::setLatencyMs(double latencyMs) {
    impl_->latencyMs = latencyMs;
}
DrivePersonality& SimulatedAdapter::personality() {
    return impl_->drive.personality();
}

}  // namespace drive_sim
