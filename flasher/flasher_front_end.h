// What the flasher's workflows need of their front end beyond the common one: the firmware file
// name, the offer of the next step, and the moments each packet and the verification start.
#pragma once

#include "front_end.h"

class FlasherFrontEnd : public FrontEnd {
public:
    // The image file to load; empty when the user cancelled.
    virtual QString askFirmwareFile() = 0;
    // An image is loaded: from now on Connect offers Flash instead of Open.
    virtual void imageAccepted() = 0;
    // Flashing runs (true) or is over (false): nothing else may be started meanwhile, and
    // afterwards only Connect is offered.
    virtual void setFlashing(bool flashing) = 0;
    // Once per packet, right after its status text: a window lets its events through here.
    virtual void packetStarted() = 0;
    // Every packet is written; the drive now checks its flash.
    virtual void verifyStarted() {}
    // The version of the bootloader that Connect found; a window shows it in the status line only.
    virtual void bootloaderFound(int version) { (void)version; }

protected:
    ~FlasherFrontEnd() = default;
};
