// The configuration program's side of the drive's scope: which channels are recorded, how many
// samples a capture holds, the buffer a download fills and the samples as numbers. The frames
// are the drive link's (ferrox_operations.h). Plain functions over one process-wide record, like
// the drive link below them.
#pragma once

#include <cstdint>

namespace drive_link {
class Link;
}

namespace response {

struct ScopeState {
    uint32_t scopeChannelMask = 0;  // bit c set: channel c is recorded
    int32_t scopeChannelCount = 0;  // distinct channels added since the last clear
    int32_t scopeSampleCount = 0;   // 16-bit samples the next download reads
};
extern ScopeState scopeState;

// Back to the state of program start (tests run many cases in one process).
void resetScopeState();

// Where downloads dump their sample table: standard error, or on the command line the
// link's trace, so that a script's standard error keeps only messages.
void traceSampleTables(bool traced);

// The download's working buffer; a download of more samples is refused.
constexpr int kScopeBufferSamples = 10000;

// Channel selection; no drive traffic. Channels outside 0..31 are ignored.
void clearScopeChannels();
void addScopeChannel(int channel);

// Sends the chosen channels to the drive.
void sendScopeChannels(drive_link::Link& link, bool& error);

// Remembers the sample count for the download and starts a capture with the divider and setting.
void startScopeCapture(drive_link::Link& link, int divider, int sampleCount, int setting,
                       bool& error);

// Reads `scopeSampleCount` samples into `samples` as floats, dumps them as a table on standard
// error, and returns whether the checksum test passed (never when the link was down, since zeros
// on both sides prove nothing). Only the opening checksum request reports into `error`. A sample
// count the working buffer cannot take (odd, below 2, above kScopeBufferSamples) or a download
// without channels is refused before any traffic: the result is false (nothing verified) and
// `samples` stays untouched.
bool downloadScope(drive_link::Link& link, bool& error, float* samples);

}  // namespace response
