// The drive's bootloader, as the flasher talks to it.
#pragma once

#include <memory>

#include "personality.h"

namespace drive_sim {
std::unique_ptr<DrivePersonality> makeBootloader();
}
