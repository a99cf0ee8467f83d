#include "ferrox_operations.h"

#include <chrono>
#include <thread>

#include "drive_link.h"
#include "ferrox_protocol.h"
#include "frame_run.h"

using drive_link::FrameRun;
using drive_link::Link;
using drive_link::Reply;

namespace ferrox {
using namespace ferrox_command;

namespace {
constexpr auto kSettingsMemoryWrite = std::chrono::milliseconds(100);
constexpr int kDotEvery = 50;  // scope replies between progress dots
}  // namespace

void disablePowerStage(Link& link, bool& error) {
    link.transact(kPowerStage, kDisable, error);
}

void enablePowerStage(Link& link, bool& error) {
    link.transact(kPowerStage, kEnable, error);
}

void storeSettings(Link& link, bool& error) {
    link.transact(kStoreSettings, 0, error);
    std::this_thread::sleep_for(kSettingsMemoryWrite);
}

void clearFaults(Link& link, bool& error) {
    link.transact(kClearFaults, kAllFaults, error);
}

InternalReadings readInternalReadings(Link& link, bool& error) {
    InternalReadings readings;
    FrameRun run(link);
    run.add(kInternalReading, kTemperatureReading, error);
    run.add(kInternalReading, kHighVoltageReading, error);
    run.add(kNoOp, 0, error, [&](const Reply& reply) {
        readings.temperature = reply.value();
        return true;
    });
    run.add(kNoOp, 0, error, [&](const Reply& reply) {
        readings.highVoltage = reply.value();
        return true;
    });
    link.run(run);
    return readings;
}

void setScopeChannels(Link& link, uint32_t channelMask, bool& error) {
    FrameRun run(link);
    run.addSetParam(ferrox_param::kChannelMaskLow, uint16_t(channelMask & 0xFFFF), error);
    run.addSetParam(ferrox_param::kChannelMaskHigh, uint16_t(channelMask >> 16), error);
    link.run(run);
}

void startCapture(Link& link, uint16_t divider, uint16_t setting, bool& error) {
    FrameRun run(link);
    run.addSetParam(ferrox_param::kCaptureDivider, divider, error);
    run.addSetParam(ferrox_param::kCaptureSetting, setting, error);
    run.add(kStartCapture, 0, error);
    link.run(run);
}

void startStepTest(Link& link, int axis, bool& error) {
    link.transact(kStartStepTest, uint16_t(axis), error);
}

bool downloadScope(Link& link, uint16_t* samples, int sampleCount, bool& error) {
    // The raw replies are summed as they arrive; each reply answers the frame two before it.
    uint32_t sum = 0;
    const auto addToSum = [&sum](const Reply& reply) {
        sum += reply.raw;
        return true;
    };
    FrameRun run(link);
    run.add(kInternalReading, kScopeChecksumReading, error);
    run.addUnchecked(kReadSamplePair, 0);
    run.addUnchecked(kReadSamplePair, 2, [&sum](const Reply& reply) {
        sum = 2 * reply.raw;
        return true;
    });
    const int pairs = sampleCount / 2;
    for (int i = 0; i < pairs; ++i) {
        const auto keepPair = [&sum, samples, i](const Reply& reply) {
            sum += reply.raw;
            samples[2 * i] = uint16_t(reply.raw & 0xFFFF);
            samples[2 * i + 1] = uint16_t(reply.raw >> 16);
            return true;
        };
        // The last two frames only drain.
        if (i < pairs - 2) {
            run.addUnchecked(kReadSamplePair, uint16_t(2 * i + 4), keepPair);
        } else {
            run.addUnchecked(kNoOp, 0, keepPair);
        }
        if (i % kDotEvery == 0) {
            run.addText(".");
        }
    }
    run.addUnchecked(kInternalReading, kScopeChecksumReading, addToSum);
    run.addUnchecked(kNoOp, 0, addToSum);
    uint32_t driveSum = 0;
    run.addUnchecked(kNoOp, 0, [&driveSum](const Reply& reply) {
        driveSum = reply.raw;
        return true;
    });

    link.setQuietTrace(true);
    link.run(run);
    link.setQuietTrace(false);

    const bool verified = sum == driveSum && link.state().linkGood;
    link.trace(verified ? "Scope OK\n" : "Scope data checksum error\n");
    return verified;
}

}  // namespace ferrox
