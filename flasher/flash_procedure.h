// Writing a firmware image into the drive through its bootloader: checks, setup word, erase, the
// packets one by one, and the bootloader's verification. Runs on the GUI thread and lets events
// through once per packet only.
#pragma once

#include <chrono>

#include "bootloader_operations.h"
#include "drive_link.h"
#include "front_end.h"

namespace flasher {

class FlasherFrontEnd;
struct FirmwareImage;

// An image without packets would only erase the drive and leave it without firmware: false,
// after a warning, for such an image.
bool imageCanBeFlashed(FlasherFrontEnd& frontEnd, const FirmwareImage& image);

// Done when the bootloader verified its flash. Otherwise the failure that stopped the flash, or
// the failed verification (the drive failed), each shown to the user before it returns; an
// image without packets stops it before the first frame. Cancelled when the front end asked to
// stop before a packet.
drive_link::Outcome flashImage(drive_link::Link& link, FlasherFrontEnd& frontEnd,
                               const FirmwareImage& image);

// Polls the bootloader until its busy bits clear. Done when it became idle; a lost link when the
// link was reported lost; the drive failed, after its box, when the bootloader left the busy
// state in another state or stayed busy too long.
drive_link::Outcome waitForIdle(drive_link::Link& link, FlasherFrontEnd& frontEnd);
// The same from a status already taken (and its failure), as after a packet.
drive_link::Outcome waitUntilIdle(drive_link::Link& link, FlasherFrontEnd& frontEnd,
                                  bootloader::Status status, bool error);

// An erase takes a few seconds at most and a packet milliseconds; a bootloader still busy after
// this long is not coming back, and the user is told to restart it instead of watching a hang.

}  // namespace flasher
