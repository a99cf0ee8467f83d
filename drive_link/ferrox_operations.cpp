#include "ferrox_operations.h"

#include <chrono>
#include <thread>

#include "drive_link.h"
#include "ferrox_protocol.h"
#include "trace.h"

using drive_link::linkState;
using drive_link::quietTrace;
using drive_link::setParam;
using drive_link::trace;
using drive_link::transact;

namespace ferrox {
using namespace ferrox_command;

namespace {
constexpr auto kSettingsMemoryWrite = std::chrono::milliseconds(100);
constexpr int kDotEvery = 50;  // scope replies between progress dots

// The whole reply, 0 when there is no connection to store one.
uint32_t rawReply(uint16_t command, uint16_t value, bool& error) {
    uint32_t raw = 0;
    transact(command, value, error, &raw);
    return raw;
}
}  // namespace

void disablePowerStage(bool& error) {
    transact(kPowerStage, kDisable, error);
}

void enablePowerStage(bool& error) {
    transact(kPowerStage, kEnable, error);
}

void storeSettings(bool& error) {
    transact(kStoreSettings, 0, error);
    std::this_thread::sleep_for(kSettingsMemoryWrite);
}

void clearFaults(bool& error) {
    transact(kClearFaults, kAllFaults, error);
}

InternalReadings readInternalReadings(bool& error) {
    transact(kInternalReading, kTemperatureReading, error);
    transact(kInternalReading, kHighVoltageReading, error);
    InternalReadings readings;
    readings.temperature = transact(kNoOp, 0, error);
    readings.highVoltage = transact(kNoOp, 0, error);
    return readings;
}

void setScopeChannels(uint32_t channelMask, bool& error) {
    setParam(ferrox_param::kChannelMaskLow, uint16_t(channelMask & 0xFFFF), error);
    setParam(ferrox_param::kChannelMaskHigh, uint16_t(channelMask >> 16), error);
}

void startCapture(uint16_t divider, uint16_t setting, bool& error) {
    setParam(ferrox_param::kCaptureDivider, divider, error);
    setParam(ferrox_param::kCaptureSetting, setting, error);
    transact(kStartCapture, 0, error);
}

void startStepTest(int axis, bool& error) {
    transact(kStartStepTest, uint16_t(axis), error);
}

bool downloadScope(uint16_t* samples, int sampleCount, bool& error) {
    quietTrace = true;
    transact(kInternalReading, kScopeChecksumReading, error);
    bool ignored = false;
    rawReply(kReadSamplePair, 0, ignored);
    uint32_t sum = rawReply(kReadSamplePair, 2, ignored);
    sum *= 2;

    const int pairs = sampleCount / 2;
    for (int i = 0; i < pairs; ++i) {
        // Each reply answers the frame two before it, so the last two frames only drain.
        const uint32_t reply = i < pairs - 2
                                   ? rawReply(kReadSamplePair, uint16_t(2 * i + 4), ignored)
                                   : rawReply(kNoOp, 0, ignored);
        sum += reply;
        samples[2 * i] = uint16_t(reply & 0xFFFF);
        samples[2 * i + 1] = uint16_t(reply >> 16);
        if (i % kDotEvery == 0) {
            trace(".");
        }
    }

    sum += rawReply(kInternalReading, kScopeChecksumReading, ignored);
    sum += rawReply(kNoOp, 0, ignored);
    const uint32_t driveSum = rawReply(kNoOp, 0, ignored);
    quietTrace = false;

    const bool verified = sum == driveSum && linkState.linkGood;
    trace(verified ? "Scope OK\n" : "Scope data checksum error\n");
    return verified;
}

}  // namespace ferrox
