// A drive in a production fixture that also configures it: the operator sets the bootloader
// jumper for the flash and pulls it for the settings. The simulated operator does so by
// themselves: the power-up after a verified flash runs the firmware, and the power-up after
// that is the next unit's, in bootloader mode again.
#pragma once

#include <memory>

#include "bootloader.h"
#include "ferrox_firmware.h"

namespace drive_sim {

class FixtureDrive : public DrivePersonality {
public:
    FixtureDrive(std::unique_ptr<SimulatedBootloader> bootloader,
                 std::unique_ptr<FerroxFirmware> firmware);

    void powerUp() override;
    Answer execute(uint8_t command, uint16_t value) override;
    uint32_t powerUpReply() const override;

    bool runsFirmware() const { return runsFirmware_; }
    SimulatedBootloader& bootloader() { return *bootloader_; }
    FerroxFirmware& firmware() { return *firmware_; }

private:
    DrivePersonality& running() const;

    std::unique_ptr<SimulatedBootloader> bootloader_;
    std::unique_ptr<FerroxFirmware> firmware_;
    bool runsFirmware_ = false;
};

}  // namespace drive_sim
