// The drive on the far end of the adapter's pins, and the adapter's port in synchronous
// bit-bang mode. The drive does not know which chip clocks it: the byte-level simulated adapter
// and the USB-level emulated FT232R (usb_chip/) each own one port wired to one drive.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "drive_framing.h"
#include "fault_dice.h"
#include "link_faults.h"
#include "personality.h"

namespace drive_sim {

// The personality (Ferrox firmware or bootloader) behind its framing, with the line faults.
class SimulatedDrive {
public:
    SimulatedDrive(std::unique_ptr<DrivePersonality> personality, LinkFaults faults);

    // The user restarts the drive's logic supply.
    void powerUp() { framing_.powerUp(); }
    // The clock line went from high to low with `dataBit` on D0.
    void clockFell(bool dataBit) { framing_.clockFell(dataBit); }
    // The level of D1 as the adapter sees it now, line faults included.
    bool dataLineHigh() const { return framing_.dataLineHigh(); }

    const std::vector<FrameRecord>& frameLog() const { return framing_.frameLog(); }
    void clearFrameLog() { framing_.clearFrameLog(); }
    void keepFrameLog(bool keep) { framing_.keepFrameLog(keep); }
    LinkFaults& faults() { return faults_; }
    DrivePersonality& personality() { return *personality_; }

private:
    std::unique_ptr<DrivePersonality> personality_;
    LinkFaults faults_;
    FaultDice dice_;
    DriveFraming framing_;
};

// The chip's eight pins in synchronous bit-bang mode: D0 (data) and D3 (clock) drive the drive,
// D1 reads its answer. Bits outside the direction mask are inputs.
class BitBangPort {
public:
    explicit BitBangPort(SimulatedDrive& drive) : drive_(drive) {}

    void setDirections(uint8_t mask);
    // The drive changes D1 this long after each falling clock edge; zero: at the edge itself.
    void setAnswerDelay(double microseconds) { answerDelay_ = microseconds; }
    void reset();
    uint8_t pins() const;
    // The chip samples the pins, then drives `byte`: the byte read back for a written byte is
    // the state before it. `atMicroseconds` is when, on the chip's clock; it matters only with an
    // answer delay, where a sample sees a reply bit once the delay after its edge has passed.
    uint8_t clockOut(uint8_t byte, double atMicroseconds = 0);

private:
    struct PendingAnswer {
        double visibleAt;  // microseconds
        bool lineHigh;
    };
    bool delayedLineHigh(double atMicroseconds);

    SimulatedDrive& drive_;
    uint8_t directionMask_ = 0;
    uint8_t outputs_ = 0;
    double answerDelay_ = 0;
    std::deque<PendingAnswer> pending_;  // reply bits the drive set that D1 does not show yet
    bool shownLineHigh_ = true;          // what D1 shows while answers are pending
};

}  // namespace drive_sim
