#include "usb_chip_fixture.h"

#include "drive_link.h"
#include "provider.h"

using namespace drive_link;

EmulatedAdapter::EmulatedAdapter(std::unique_ptr<drive_sim::DrivePersonality> personality,
                                 drive_sim::ChipOptions options)
    : chip_(std::make_unique<drive_sim::EmulatedFt232r>(
          std::move(personality), drive_sim::LinkFaults{}, std::move(options))) {
    resetLinkState();
    installD2xxProvider(makeLibftdiProvider());
}

EmulatedAdapter::~EmulatedAdapter() {
    installD2xxProvider(nullptr);
    resetLinkState();
}
