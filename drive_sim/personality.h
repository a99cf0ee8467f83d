// What runs inside the simulated drive: the Ferrox firmware or the bootloader.
// The framing (drive_framing.h) hands it every frame that passed the drive's CRC check.
#pragma once

#include <cstdint>
#include <functional>
#include <utility>

namespace drive_sim {

// The drive's own CRC-8 (polynomial 0x07, initial 0x33) over a first byte and a 16-bit value,
// low byte before high byte. Written independently of the host's table-driven one.
uint8_t driveCrc(uint8_t first, uint16_t value);

// A framed reply: status byte, 16-bit value and a valid CRC.
uint32_t framedReply(uint8_t status, uint16_t value);

// The answer to one command, shifted out in the reply of the second frame after it.
struct Answer {
    uint32_t raw = 0;
    // When set, the drive puts the 32-bit wrapping sum of every reply it has sent so far into
    // this answer at the moment it starts shifting it out (the scope checksum).
    bool runningSum = false;
};

class DrivePersonality {
public:
    virtual ~DrivePersonality() = default;
    // The logic supply came on: forget volatile state, reload what was stored.
    virtual void powerUp() = 0;
    // A frame that passed the drive's CRC check.
    virtual Answer execute(uint8_t command, uint16_t value) = 0;
    // What fills the answer slots right after power-up, before any command was answered.
    virtual uint32_t powerUpReply() const = 0;

    // Called whenever what the drive keeps across power-offs changed (stored settings, flash).
    void setNonVolatileListener(std::function<void()> listener) {
        nonVolatileListener_ = std::move(listener);
    }

protected:
    void nonVolatileChanged() const {
        if (nonVolatileListener_) {
            nonVolatileListener_();
        }
    }

private:
    std::function<void()> nonVolatileListener_;
};

}  // namespace drive_sim
