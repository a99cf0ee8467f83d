// The commands of the Ferrox firmware over its running and stored parameter sets.
#include "ferrox_firmware.h"

#include <algorithm>

#include "ferrox_factory.h"

namespace drive_sim {

namespace {
constexpr uint8_t kEnabledStatus = 0x01;
constexpr uint8_t kUnknownStatusBit = 0x80;

// The bootloader's probe, as this firmware happens to answer it.
constexpr uint16_t kBootloaderNoOpAnswer = 0xD123;
constexpr uint32_t kFaultBitRequestAnswer = 0x00FFFFFF;  // raw: fails the CRC on purpose

using namespace ferrox;

Answer framed(uint8_t status, uint16_t value) {
    return Answer{framedReply(status, value), false};
}

bool goesToExtension(uint8_t command, uint16_t value) {
    return command == kScopeStart || command == kScopeRead || command == kStepTest ||
           (command == kReading && value == kScopeChecksumSelector);
}
}  // namespace

struct FerroxFirmware::Impl {
    std::map<uint16_t, uint16_t> stored = ferroxFactoryParameters();
    std::map<uint16_t, uint16_t> running = stored;
    std::map<uint16_t, uint16_t> readings = ferroxFactoryReadings();
    std::map<uint16_t, uint16_t> writeLimits;
    uint16_t latched = 0;
    bool enabled = true;
    int storeCount = 0;
    int faultClearCount = 0;
    std::unique_ptr<FerroxExtension> extension;

    uint8_t status() const { return enabled ? kEnabledStatus : 0; }
    Answer unknown() const { return framed(uint8_t(status() | kUnknownStatusBit), 0); }
};

FerroxFirmware::FerroxFirmware() : impl_(std::make_unique<Impl>()) {}
FerroxFirmware::~FerroxFirmware() = default;

void FerroxFirmware::powerUp() {
    impl_->running = impl_->stored;
    impl_->latched = 0;
    impl_->enabled = true;
    if (impl_->extension) {
        impl_->extension->powerUp(*this);
    }
}

uint32_t FerroxFirmware::powerUpReply() const {
    return framedReply(impl_->status(), 0);
}

Answer FerroxFirmware::execute(uint8_t command, uint16_t value) {
    Impl& d = *impl_;
    if (d.extension && goesToExtension(command, value)) {
        Answer answer;
        if (d.extension->execute(*this, command, value, answer)) {
            return answer;
        }
    }
    switch (command) {
        case kPowerStage:
            if (value != kDisable && value != kEnable) {
                return d.unknown();
            }
            d.enabled = value == kEnable;
            return framed(d.status(), 0);
        case kBootloaderNoOp:
            return framed(d.status(), kBootloaderNoOpAnswer);
        case kNoOp:
            return framed(d.status(), 0);
        case kStore:
            d.stored = d.running;
            ++d.storeCount;
            nonVolatileChanged();
            return framed(d.status(), 0);
        case kClearFaults:
            // The value is a mask of the fault bits to clear; the programs send all of them.
            d.running[ferrox::kFaultRegister] &= uint16_t(~value);
            ++d.faultClearCount;
            return framed(d.status(), 0);
        case kBootloaderFaultBits:
            return Answer{kFaultBitRequestAnswer, false};
        case kLatch:
            d.latched = value;
            return framed(d.status(), value);
        case kWriteLatched: {
            // The echo is the value received; only a read shows what the drive kept.
            auto limit = d.writeLimits.find(value);
            d.running[value] =
                limit == d.writeLimits.end() ? d.latched : std::min(d.latched, limit->second);
            return framed(d.status(), d.latched);
        }
        case kReadParameter: {
            auto found = d.running.find(value);
            if (found == d.running.end()) {
                return d.unknown();
            }
            return framed(d.status(), found->second);
        }
        case kReading: {
            auto found = d.readings.find(value);
            if (found == d.readings.end()) {
                return d.unknown();
            }
            return framed(d.status(), found->second);
        }
        default:
            return d.unknown();
    }
}

uint16_t FerroxFirmware::param(uint16_t number) const {
    auto found = impl_->running.find(number);
    return found == impl_->running.end() ? 0 : found->second;
}

void FerroxFirmware::setParam(uint16_t number, uint16_t value) {
    impl_->running[number] = value;
}

void FerroxFirmware::setStoredParam(uint16_t number, uint16_t value) {
    impl_->running[number] = value;
    impl_->stored[number] = value;
}

const std::map<uint16_t, uint16_t>& FerroxFirmware::storedParams() const {
    return impl_->stored;
}

void FerroxFirmware::restoreStoredParams(const std::map<uint16_t, uint16_t>& changes) {
    for (const auto& [number, value] : changes) {
        impl_->stored[number] = value;
    }
    impl_->running = impl_->stored;
}

void FerroxFirmware::setWriteLimit(uint16_t number, uint16_t most) {
    impl_->writeLimits[number] = most;
}

void FerroxFirmware::setReading(uint16_t selector, uint16_t value) {
    impl_->readings[selector] = value;
}

bool FerroxFirmware::powerStageEnabled() const {
    return impl_->enabled;
}
void FerroxFirmware::raiseFault(uint16_t faultBits) {
    impl_->running[ferrox::kFaultRegister] |= faultBits;
    impl_->enabled = false;
}
uint8_t FerroxFirmware::statusByte() const {
    return impl_->status();
}
int FerroxFirmware::storeCount() const {
    return impl_->storeCount;
}
int FerroxFirmware::faultClearCount() const {
    return impl_->faultClearCount;
}

void FerroxFirmware::setExtension(std::unique_ptr<FerroxExtension> extension) {
    impl_->extension = std::move(extension);
}

FerroxExtension* FerroxFirmware::extension() const {
    return impl_->extension.get();
}

}  // namespace drive_sim
