// The drive's end of the clocked link: a slave on D3 that samples D0 on every falling clock edge
// and shifts its reply out on D1 at the same moment. It counts 32 bits per frame from power-up,
// checks each frame's CRC, hands good frames to the personality and answers every frame in the
// reply of the second frame after it. Line and bit faults are applied here, where the bits are.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "fault_dice.h"
#include "link_faults.h"
#include "personality.h"

namespace drive_sim {

// What a drive puts in the answer slot of a frame that failed its CRC: a reply that fails the
// host's CRC check too, so a corruption towards the drive is noticed on the host.
uint32_t rejectedFrameReply();

class DriveFraming {
public:
    DriveFraming(DrivePersonality& personality, const LinkFaults& faults, FaultDice& dice);

    void powerUp();
    // The clock line went from high to low with `dataBit` on D0.
    void clockFell(bool dataBit);
    // The level of D1 as the adapter sees it now, line faults included.
    bool dataLineHigh() const;

    const std::vector<FrameRecord>& frameLog() const { return frameLog_; }
    void clearFrameLog() { frameLog_.clear(); }
    void keepFrameLog(bool keep) {
        keepFrameLog_ = keep;
        frameLog_ = {};
    }

private:
    bool silent() const;
    bool missesThisEdge();
    void startFrame();
    void finishFrame();
    bool lineHighFor(bool driven) const;

    DrivePersonality& personality_;
    const LinkFaults& faults_;
    FaultDice& dice_;

    std::array<Answer, 2> pending_{};  // answers waiting for their reply slot, oldest first
    uint32_t replySum_ = 0;            // every reply shifted out since power-up, wrapping
    long framesSincePowerUp_ = 0;
    bool slipped_ = false;
    int bitIndex_ = 0;
    uint32_t received_ = 0;
    uint32_t reply_ = 0;      // the reply being shifted out
    uint32_t lineReply_ = 0;  // what actually went on the line for it
    bool drivenHigh_ = true;  // D1 as the drive drives it, before line faults
    std::vector<FrameRecord> frameLog_;
    bool keepFrameLog_ = true;
};

}  // namespace drive_sim
