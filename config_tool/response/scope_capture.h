// The configuration program's side of the drive's scope: choosing the recorded channels,
// starting a capture, and downloading the capture buffer with a pipelined read that ends in a
// checksum test. Plain functions over one process-wide record, like the drive link below them.
#pragma once

#include <cstdint>

struct ScopeState {
    uint32_t scopeChannelMask = 0;  // bit c set: channel c is recorded
    int32_t scopeChannelCount = 0;  // distinct channels added since the last clear
    int32_t scopeSampleCount = 0;   // 16-bit samples the next download reads
};
extern ScopeState scopeState;

// Back to the state of program start (tests run many cases in one process).
void resetScopeState();

// Where downloads dump their sample table: standard error, or on the command line the
// transaction trace, so that a script's standard error keeps only messages.
void traceSampleTables(bool traced);

// The download's working buffer; a download of more samples is refused.
constexpr int kScopeBufferSamples = 10000;

// Channel selection; no drive traffic. Channels outside 0..31 are ignored.
void clearScopeChannels();
void addScopeChannel(int channel);

// Parameters 5020 and 5021 get the low and high halves of the channel mask.
void sendScopeChannels(bool& error);

// Remembers the sample count, writes the divider (5012) and the setting (5011), then starts the
// capture with command 11. Returns the reply value of command 11.
uint16_t startScopeCapture(int divider, int sampleCount, int setting, bool& error);

// `transact` that hands out the whole reply. A read that finds no connection gives 0.
uint32_t transactRaw(uint16_t command, uint16_t value, bool& error);

// Reads `scopeSampleCount` samples into `samples` as floats, dumps them as a table on standard
// error, and returns true when the checksum test failed (also when the link was down, since
// zeros on both sides prove nothing). Only the opening checksum request
// reports into `error`. A sample count the working buffer cannot take (odd, below 2, above
// kScopeBufferSamples) or a download without channels is refused before any traffic: the
// result is true (nothing verified) and `samples` stays untouched.
bool downloadScope(bool& error, float* samples);
