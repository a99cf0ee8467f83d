// What the flasher's workflows need of their front end beyond the common one: the firmware file
// name, the offer of the next step, and the moments each packet and the verification start.
#pragma once

#include <chrono>

#include "front_end.h"

namespace flasher {

// The bootloader's longest erase, with room to spare.
constexpr std::chrono::milliseconds kDefaultIdleTimeLimit{30000};

class FlasherFrontEnd : public drive_link::FrontEnd {
public:
    // The image file to load; empty when the user cancelled.
    virtual QString askFirmwareFile() = 0;
    // An image is loaded: from now on Connect offers Flash instead of Open.
    virtual void imageAccepted() = 0;
    // Flashing runs (true) or is over (false): nothing else may be started meanwhile, and
    // afterwards only Connect is offered.
    virtual void setFlashing(bool flashing) = 0;
    // Once per packet, right after its status text: `packet` counts from 0 up to `packetCount`.
    // A window lets its events through here.
    virtual void packetStarted(int packet, int packetCount) = 0;
    // Every one of the `packetCount` packets is written; the drive now checks its flash.
    virtual void verifyStarted(int packetCount) { (void)packetCount; }
    // Asked before every packet: the user wants the flash to end here. It then ends between two
    // packets, never inside one, and the drive is left without working firmware.
    virtual bool stopBeforeNextPacket() { return false; }
    // How long the bootloader may stay busy (erasing, programming) before the flash gives up on
    // it; a test of a bootloader that never ends its erase needs no half minute.
    virtual std::chrono::milliseconds idleTimeLimit() { return kDefaultIdleTimeLimit; }

protected:
    ~FlasherFrontEnd() = default;
};

}  // namespace flasher
