#include "scope_capture.h"

#include <cstdio>

#include "drive_link.h"
#include "ferrox_operations.h"

namespace response {

namespace {
bool downloadFits(int32_t sampleCount, int32_t channelCount) {
    return sampleCount >= 2 && sampleCount <= kScopeBufferSamples && sampleCount % 2 == 0 &&
           channelCount > 0;
}

}  // namespace

Scope::Scope(SampleTables tables) : tables_(tables), raw_(kScopeBufferSamples) {}

void Scope::printSampleTable(drive_link::Link& link, int sampleCount, int channelCount) const {
    const bool traced = tables_ == SampleTables::InTrace;
    int rows = sampleCount / channelCount;
    for (int row = 0; row < rows; ++row) {
        for (int slot = 0; slot < channelCount; ++slot) {
            const int sample = int(int16_t(raw_[size_t(row * channelCount + slot)]));
            if (traced) {
                link.trace(" %d ", sample);
            } else {
                std::fprintf(stderr, " %d ", sample);
            }
        }
        if (traced) {
            link.trace(" \n ");
        } else {
            std::fprintf(stderr, " \n ");
        }
    }
    std::fflush(stderr);
}

void Scope::clearChannels() {
    state.scopeChannelMask = 0;
    state.scopeChannelCount = 0;
}

void Scope::addChannel(int channel) {
    if (channel < 0 || channel > 31) {
        return;
    }
    uint32_t bit = uint32_t(1) << channel;
    if (!(state.scopeChannelMask & bit)) {
        state.scopeChannelMask |= bit;
        ++state.scopeChannelCount;
    }
}

void Scope::sendChannels(drive_link::Link& link, bool& error) {
    ferrox::setScopeChannels(link, state.scopeChannelMask, error);
}

void Scope::startCapture(drive_link::Link& link, int divider, int sampleCount, int setting,
                         bool& error) {
    state.scopeSampleCount = sampleCount;
    ferrox::startCapture(link, uint16_t(divider), uint16_t(setting), error);
}

bool Scope::download(drive_link::Link& link, bool& error, float* samples) {
    const int32_t n = state.scopeSampleCount;
    const int32_t channels = state.scopeChannelCount;
    if (!downloadFits(n, channels)) {
        std::fprintf(stderr, "Scope download refused: %d samples of %d channels\n", int(n),
                     int(channels));
        return false;
    }
    const bool verified = ferrox::downloadScope(link, raw_.data(), n, error);
    for (int k = 0; k < n; ++k) {
        samples[k] = float(int16_t(raw_[size_t(k)]));
    }
    printSampleTable(link, n, channels);
    return verified;
}

}  // namespace response
