// Puts an FT232R emulated on the mocked USB bus behind the D2XX calls, reached the way the
// programs reach a real adapter: through the libftdi1 provider, libftdi1 and libusb.
// Only for tests built with umockdev (kmr_add_usb_test).
#pragma once

#include <memory>

#include "emulated_ft232r.h"

class EmulatedAdapter {
public:
    // The libftdi1 provider installed.
    explicit EmulatedAdapter(std::unique_ptr<drive_sim::DrivePersonality> personality,
                             drive_sim::ChipOptions options = {});
    // Drops the provider first, so that whatever it still holds open is closed while the chip
    // is still there to answer.
    ~EmulatedAdapter();

    drive_sim::EmulatedFt232r* operator->() { return chip_.get(); }
    drive_sim::EmulatedFt232r& operator*() { return *chip_; }

private:
    std::unique_ptr<drive_sim::EmulatedFt232r> chip_;
};
