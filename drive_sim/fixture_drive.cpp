#include "fixture_drive.h"

namespace drive_sim {

FixtureDrive::FixtureDrive(std::unique_ptr<SimulatedBootloader> bootloader,
                           std::unique_ptr<FerroxFirmware> firmware)
    : bootloader_(std::move(bootloader)), firmware_(std::move(firmware)) {}

void FixtureDrive::powerUp() {
    // Whether the flash verified is volatile: it must be asked before the bootloader forgets it.
    runsFirmware_ = !runsFirmware_ && bootloader_->verifiedSincePowerUp();
    running().powerUp();
}

Answer FixtureDrive::execute(uint8_t command, uint16_t value) {
    return running().execute(command, value);
}

uint32_t FixtureDrive::powerUpReply() const {
    return running().powerUpReply();
}

DrivePersonality& FixtureDrive::running() const {
    return runsFirmware_ ? static_cast<DrivePersonality&>(*firmware_)
                         : static_cast<DrivePersonality&>(*bootloader_);
}

}  // namespace drive_sim
