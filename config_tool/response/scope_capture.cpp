#include "scope_capture.h"

#include <array>
#include <cstdio>

#include "drive_link.h"
#include "ferrox_protocol.h"
#include "trace.h"

ScopeState scopeState;

namespace {
using namespace ferrox_command;
using namespace ferrox_param;
constexpr uint16_t kDivider = kCaptureDivider;
constexpr uint16_t kReading = kInternalReading;
constexpr uint16_t kChecksumSelector = kScopeChecksumReading;

constexpr int kDotEvery = 50;  // replies between progress dots

// Samples as they came off the wire; a download never allocates.
std::array<uint16_t, kScopeBufferSamples> rawSamples;

bool downloadFits(int32_t sampleCount, int32_t channelCount) {
    return sampleCount >= 2 && sampleCount <= kScopeBufferSamples && sampleCount % 2 == 0 &&
           channelCount > 0;
}

bool sampleTablesTraced = false;

void printSampleTable(int sampleCount, int channelCount) {
    int rows = sampleCount / channelCount;
    for (int row = 0; row < rows; ++row) {
        for (int slot = 0; slot < channelCount; ++slot) {
            const int sample = int(int16_t(rawSamples[row * channelCount + slot]));
            if (sampleTablesTraced) {
                trace(" %d ", sample);
            } else {
                std::fprintf(stderr, " %d ", sample);
            }
        }
        if (sampleTablesTraced) {
            trace(" \n ");
        } else {
            std::fprintf(stderr, " \n ");
        }
    }
    std::fflush(stderr);
}
}  // namespace

void resetScopeState() {
    scopeState = ScopeState{};
    sampleTablesTraced = false;
}

void traceSampleTables(bool traced) {
    sampleTablesTraced = traced;
}

void clearScopeChannels() {
    scopeState.scopeChannelMask = 0;
    scopeState.scopeChannelCount = 0;
}

void addScopeChannel(int channel) {
    if (channel < 0 || channel > 31) {
        return;
    }
    uint32_t bit = uint32_t(1) << channel;
    if (!(scopeState.scopeChannelMask & bit)) {
        scopeState.scopeChannelMask |= bit;
        ++scopeState.scopeChannelCount;
    }
}

void sendScopeChannels(bool& error) {
    setParam(kChannelMaskLow, uint16_t(scopeState.scopeChannelMask & 0xFFFF), error);
    setParam(kChannelMaskHigh, uint16_t(scopeState.scopeChannelMask >> 16), error);
}

uint16_t startScopeCapture(int divider, int sampleCount, int setting, bool& error) {
    scopeState.scopeSampleCount = sampleCount;
    setParam(kDivider, uint16_t(divider), error);
    setParam(kCaptureSetting, uint16_t(setting), error);
    return transact(kStartCapture, 0, error);
}

uint32_t transactRaw(uint16_t command, uint16_t value, bool& error) {
    uint32_t raw = 0;  // stays 0 when there is no connection to store a reply
    transact(command, value, error, &raw);
    return raw;
}

bool downloadScope(bool& error, float* samples) {
    const int32_t n = scopeState.scopeSampleCount;
    const int32_t channels = scopeState.scopeChannelCount;
    if (!downloadFits(n, channels)) {
        std::fprintf(stderr, "Scope download refused: %d samples of %d channels\n", int(n),
                     int(channels));
        return true;
    }

    quietTrace = true;
    transact(kReading, kChecksumSelector, error);
    // The data replies are raw words, so their CRC verdicts go to a flag nobody reads.
    bool ignored = false;
    transactRaw(kReadSamplePair, 0, ignored);
    uint32_t sum = transactRaw(kReadSamplePair, 2, ignored);
    sum *= 2;

    const int pairs = n / 2;
    for (int i = 0; i < pairs; ++i) {
        // Each reply answers the frame two before it, so the last two frames only drain.
        uint32_t reply = i < pairs - 2 ? transactRaw(kReadSamplePair, uint16_t(2 * i + 4), ignored)
                                       : transactRaw(kNoOp, 0, ignored);
        sum += reply;
        rawSamples[2 * i] = uint16_t(reply & 0xFFFF);
        rawSamples[2 * i + 1] = uint16_t(reply >> 16);
        if (i % kDotEvery == 0) {
            trace(".");
        }
    }

    sum += transactRaw(kReading, kChecksumSelector, ignored);
    sum += transactRaw(kNoOp, 0, ignored);
    uint32_t driveSum = transactRaw(kNoOp, 0, ignored);

    // Without a working link every reply reads 0 and the sums agree on nothing.
    bool failed = sum != driveSum || !linkState.linkGood;
    trace(failed ? "Scope data checksum error\n" : "Scope OK\n");

    for (int k = 0; k < n; ++k) {
        samples[k] = float(int16_t(rawSamples[k]));
    }
    printSampleTable(n, channels);
    quietTrace = false;
    return failed;
}
