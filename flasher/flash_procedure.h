// Writing the loaded firmware image into the drive through its bootloader: checks, setup word,
// erase, the packets one by one, and the bootloader's verification. Runs on the GUI thread and
// lets events through once per packet only.
#pragma once

#include <chrono>

class FlasherFrontEnd;

// An image without packets would only erase the drive and leave it without firmware: false,
// after a warning, for such an image.
bool imageCanBeFlashed(FlasherFrontEnd& frontEnd);

// 0 when the verification was reached (its verdict is shown in a box), -1 when it stopped
// earlier (an image without packets stops it before the first frame); every outcome has been
// shown to the user when it returns.
int flashImage(FlasherFrontEnd& frontEnd);

// Polls the bootloader until its busy bits clear. 0 when it became idle, -1 when the link was
// reported lost, -2 when it left the busy state in another state or stayed busy too long.
int waitForIdle(FlasherFrontEnd& frontEnd);

// An erase takes a few seconds at most and a packet milliseconds; a bootloader still busy after
// this long is not coming back, and the user is told to restart it instead of watching a hang.
constexpr std::chrono::milliseconds kDefaultIdleTimeLimit{30000};
void setIdleTimeLimit(std::chrono::milliseconds limit);
std::chrono::milliseconds idleTimeLimit();
