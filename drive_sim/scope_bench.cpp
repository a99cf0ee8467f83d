#include "scope_bench.h"

#include <algorithm>
#include <cmath>

#include "ferrox_factory.h"

namespace drive_sim {

namespace {
using ferrox::kReading;
using ferrox::kScopeChecksumSelector;
using ferrox::kScopeRead;
using ferrox::kScopeStart;
using ferrox::kStepTest;
constexpr int kAxisCount = 2;

uint16_t toSample(double value) {
    double clamped = std::max(-32768.0, std::min(32767.0, std::round(value)));
    return uint16_t(int16_t(clamped));
}

uint16_t axisParam(const FerroxFirmware& firmware, uint16_t axis1Number, int axis) {
    return firmware.param(uint16_t(axis1Number + (axis == 0 ? 0 : ferrox::kAxis2Offset)));
}
}  // namespace

ServoTuning axisTuning(const FerroxFirmware& firmware, int axis) {
    ServoTuning tuning;
    tuning.gainP = axisParam(firmware, 200, axis);
    tuning.gainI = axisParam(firmware, 201, axis);
    tuning.gainD = axisParam(firmware, 202, axis);
    tuning.continuousCurrentMa = axisParam(firmware, 410, axis);
    tuning.peakCurrentMa = axisParam(firmware, 411, axis);
    tuning.followErrorLimit = axisParam(firmware, 20, axis);
    tuning.inductance = axisParam(firmware, 401, axis);
    tuning.resistance = axisParam(firmware, 402, axis);
    tuning.powerStageEnabled = firmware.powerStageEnabled();
    return tuning;
}

void ScopeBench::powerUp(FerroxFirmware&) {
    buffer_.clear();
    channels_.clear();
    divider_ = 0;
    armed_ = false;
}

bool ScopeBench::execute(FerroxFirmware& firmware, uint8_t command, uint16_t value,
                         Answer& answer) {
    switch (command) {
        case kScopeStart:
            startCapture(firmware);
            answer = Answer{framedReply(firmware.statusByte(), 0), false};
            return true;
        case kScopeRead:
            answer = Answer{(uint32_t(word(uint32_t(value) + 1)) << 16) | word(value), false};
            return true;
        case kReading:
            if (value != kScopeChecksumSelector) {
                return false;
            }
            // The framing puts the sum of every reply sent so far into this answer.
            answer = Answer{0, true};
            return true;
        case kStepTest:
            if (value >= kAxisCount) {
                return false;  // no such axis: answered as an unknown command
            }
            runStepTest(firmware, value);
            answer = Answer{framedReply(firmware.statusByte(), 0), false};
            return true;
        default:
            return false;
    }
}

void ScopeBench::startCapture(const FerroxFirmware& firmware) {
    uint32_t mask = (uint32_t(firmware.param(scope::kChannelMaskHigh)) << 16) |
                    firmware.param(scope::kChannelMaskLow);
    channels_.clear();
    for (int channel = 0; channel < 32; ++channel) {
        if (mask & (1u << channel)) {
            channels_.push_back(channel);
        }
    }
    divider_ = std::min(firmware.param(scope::kDivider), scope::kLargestDivider);
    buffer_.assign(size_t(scope::kTimePoints) * channels_.size(), 0);
    armed_ = true;
}

void ScopeBench::runStepTest(FerroxFirmware& firmware, int axis) {
    const StepRun run =
        runStepDisturbance(axisTuning(firmware, axis), divider_ + 1, scope::kTimePoints,
                           scope::kPreTriggerPoints, noiseSeed_ + uint64_t(stepTests_), mechanics_);
    ++stepTests_;
    if (run.tripped) {
        firmware.raiseFault(ferrox::kRunawayFault);
    }
    firmware.setParam(scope::kPeakError, run.metrics.peakError);
    firmware.setParam(scope::kUndershoot, run.metrics.undershoot);
    firmware.setParam(scope::kSettlingTime, run.metrics.settlingTimeMs);
    if (!armed_) {
        return;
    }
    armed_ = false;

    double countsPerAmp = int16_t(firmware.param(ferrox::kCurrentScale));
    size_t address = 0;
    for (const ServoSample& point : run.points) {
        for (int channel : channels_) {
            double value = 0.0;
            if (channel == scope::kTargetCurrentChannel) {
                value = point.targetCurrent * countsPerAmp;
            } else if (channel == scope::kAchievedCurrentChannel) {
                value = point.achievedCurrent * countsPerAmp;
            } else if (channel == scope::kPositionErrorChannel) {
                value = point.positionError;
            }
            buffer_[address++] = toSample(value);
        }
    }
}

uint16_t ScopeBench::word(uint32_t address) const {
    return address < buffer_.size() ? buffer_[address] : 0;
}

}  // namespace drive_sim
