// What any chip that clocks the drive shares with it: the faults seeded on the link and the
// record of each frame the drive received. The drive includes this and nothing of a chip, so
// the byte-level simulated adapter and the emulated USB chip drive it alike.
#pragma once

#include <cstdint>
#include <set>

namespace drive_sim {

// The nine D2XX calls, for the faults that fail some of them and for an adapter's call log.
enum class AdapterCall {
    Open,
    Close,
    Read,
    Write,
    SetBaudRate,
    SetTimeouts,
    SetLatencyTimer,
    SetBitMode,
    GetBitMode,
};

enum class LineFault {
    None,
    StuckHigh,  // drive not powered, line pulled up: every bit reads 0
    StuckLow,   // line shorted low: every bit reads 1
};

struct LinkFaults {
    std::set<AdapterCall> failingCalls;  // these calls fail with a non-zero status
    long transfersBeforeFailure = -1;    // Read/Write calls that succeed before all later ones fail
    LineFault line = LineFault::None;
    double bitErrorRate = 0.0;  // per bit, in both directions
    uint64_t seed = 1;          // same seed, same faults
    long stopAnsweringAfterFrames =
        -1;                         // the drive falls silent (line high) after this many frames
    long bitSlipAtFrame = -1;       // the drive misses one clock edge in this frame
    bool garbageAtPowerUp = false;  // the first two replies after power-up fail their CRC
};

// One frame as the drive received it, with the reply it shifted out meanwhile.
struct FrameRecord {
    uint8_t command = 0;
    uint16_t value = 0;
    bool crcOk = false;      // the drive's verdict on the frame it received
    uint32_t rawFrame = 0;   // the 32 bits as received
    uint32_t reply = 0;      // the 32 bits the drive sent during this frame, before line faults
    uint32_t lineReply = 0;  // the same bits as the line carried them: what the host decodes
};

}  // namespace drive_sim
