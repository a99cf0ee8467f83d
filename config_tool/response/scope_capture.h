// The configuration program's side of the drive's scope: which channels are recorded, how many
// samples a capture holds, the buffer a download fills and the samples as numbers. The frames
// are the drive link's (ferrox_operations.h). One Scope per test run: nothing of it outlives the
// run or is shared between two.
#pragma once

#include <cstdint>
#include <vector>

namespace drive_link {
class Link;
}

namespace response {

struct ScopeState {
    uint32_t scopeChannelMask = 0;  // bit c set: channel c is recorded
    int32_t scopeChannelCount = 0;  // distinct channels added since the last clear
    int32_t scopeSampleCount = 0;   // 16-bit samples the next download reads
};

// The download's working buffer; a download of more samples is refused.
constexpr int kScopeBufferSamples = 10000;

// Where downloads dump their sample table: standard error, or on the command line the
// link's trace, so that a script's standard error keeps only messages.
enum class SampleTables { OnStandardError, InTrace };

class Scope {
public:
    explicit Scope(SampleTables tables = SampleTables::OnStandardError);

    // Channel selection; no drive traffic. Channels outside 0..31 are ignored.
    void clearChannels();
    void addChannel(int channel);

    // Sends the chosen channels to the drive.
    void sendChannels(drive_link::Link& link, bool& error);

    // Remembers the sample count for the download and starts a capture with the divider and
    // setting.
    void startCapture(drive_link::Link& link, int divider, int sampleCount, int setting,
                      bool& error);

    // Reads `scopeSampleCount` samples into `samples` as floats, dumps them as a table, and
    // returns whether the checksum test passed (never when the link was down, since zeros on
    // both sides prove nothing). Only the opening checksum request reports into `error`. A
    // sample count the working buffer cannot take (odd, below 2, above kScopeBufferSamples) or a
    // download without channels is refused before any traffic: the result is false (nothing
    // verified) and `samples` stays untouched.
    bool download(drive_link::Link& link, bool& error, float* samples);

    ScopeState state;

private:
    void printSampleTable(drive_link::Link& link, int sampleCount, int channelCount) const;

    SampleTables tables_;
    std::vector<uint16_t> raw_;  // as they came off the wire; a download never allocates
};

}  // namespace response
