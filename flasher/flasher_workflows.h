// The flasher's three workflows: Connect, Open firmware file and Flash firmware. Plain code over
// the front end; the window's buttons and a command line both run them. Each shows what happened
// and returns it; whoever runs them holds the image between Open and Flash.
#pragma once

#include "drive_link.h"
#include "firmware_image.h"
#include "front_end.h"

namespace flasher {

class FlasherFrontEnd;

struct FoundBootloader {
    drive_link::Outcome outcome;
    int version = -1;  // the bootloader's version when it was found
};

struct OpenedImage {
    drive_link::Outcome outcome;  // cancelled when no file was chosen
    FirmwareImage image;          // empty unless the image was accepted
};

// Opens the adapter, has the user restart the drive, and makes sure that a supported bootloader
// answers; connected on success.
FoundBootloader connectBootloader(drive_link::Link& link, FlasherFrontEnd& frontEnd);
// Asks for an image file and loads it; only an image worth flashing is accepted.
OpenedImage openFirmwareFile(FlasherFrontEnd& frontEnd);
// Writes `image`, then checks that the drive still answers. The first failure shown is the
// outcome.
drive_link::Outcome flashFirmware(drive_link::Link& link, FlasherFrontEnd& frontEnd,
                                  const FirmwareImage& image);

}  // namespace flasher
