// TEMPORARY placeholder until the bootloader lands: the drive runs its firmware instead.
#include "bootloader.h"

#include "ferrox_firmware.h"

namespace drive_sim {
std::unique_ptr<DrivePersonality> makeBootloader() {
    return std::make_unique<FerroxFirmware>();
}
}  // namespace drive_sim
