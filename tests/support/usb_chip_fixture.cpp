#include "usb_chip_fixture.h"

#include "provider.h"

EmulatedAdapter::EmulatedAdapter(std::unique_ptr<drive_sim::DrivePersonality> personality,
                                 drive_sim::ChipOptions options)
    : chip_(std::make_unique<drive_sim::EmulatedFt232r>(
          std::move(personality), drive_sim::LinkFaults{}, std::move(options))) {
    installD2xxProvider(makeLibftdiProvider());
}

EmulatedAdapter::~EmulatedAdapter() {
    installD2xxProvider(nullptr);
}
