#include "scope_capture.h"

#include <array>
#include <cstdio>

#include "drive_link.h"
#include "ferrox_operations.h"

namespace response {

ScopeState scopeState;

namespace {
// Samples as they came off the wire; a download never allocates.
std::array<uint16_t, kScopeBufferSamples> rawSamples;

bool downloadFits(int32_t sampleCount, int32_t channelCount) {
    return sampleCount >= 2 && sampleCount <= kScopeBufferSamples && sampleCount % 2 == 0 &&
           channelCount > 0;
}

bool sampleTablesTraced = false;

void printSampleTable(drive_link::Link& link, int sampleCount, int channelCount) {
    int rows = sampleCount / channelCount;
    for (int row = 0; row < rows; ++row) {
        for (int slot = 0; slot < channelCount; ++slot) {
            const int sample = int(int16_t(rawSamples[row * channelCount + slot]));
            if (sampleTablesTraced) {
                link.trace(" %d ", sample);
            } else {
                std::fprintf(stderr, " %d ", sample);
            }
        }
        if (sampleTablesTraced) {
            link.trace(" \n ");
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

void sendScopeChannels(drive_link::Link& link, bool& error) {
    ferrox::setScopeChannels(link, scopeState.scopeChannelMask, error);
}

void startScopeCapture(drive_link::Link& link, int divider, int sampleCount, int setting,
                       bool& error) {
    scopeState.scopeSampleCount = sampleCount;
    ferrox::startCapture(link, uint16_t(divider), uint16_t(setting), error);
}

bool downloadScope(drive_link::Link& link, bool& error, float* samples) {
    const int32_t n = scopeState.scopeSampleCount;
    const int32_t channels = scopeState.scopeChannelCount;
    if (!downloadFits(n, channels)) {
        std::fprintf(stderr, "Scope download refused: %d samples of %d channels\n", int(n),
                     int(channels));
        return false;
    }
    const bool verified = ferrox::downloadScope(link, rawSamples.data(), n, error);
    for (int k = 0; k < n; ++k) {
        samples[k] = float(int16_t(rawSamples[k]));
    }
    printSampleTable(link, n, channels);
    return verified;
}

}  // namespace response
