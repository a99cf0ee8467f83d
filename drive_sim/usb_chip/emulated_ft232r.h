// An FT232R on a mocked Linux USB bus (umockdev): bus 1, device 2 at port 1-1 (a second chip
// beside it: device 3 at port 1-2), vendor 0x0403, product 0x6001, its pins wired to a
// simulated drive. The unmodified libusb and libftdi1 of the system
// talk to it through usbdevfs ioctls, so the real adapter path runs end to end without hardware.
// The process must run under umockdev-wrapper (LD_PRELOAD=libumockdev-preload.so.0).
// Test support: linked by tests and benchmarks, never by the programs.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ft232r_chip.h"
#include "link_faults.h"
#include "personality.h"
#include "simulated_drive.h"

namespace drive_sim {

class EmulatedFt232r {
public:
    // With `neighbour`, the chip joins that chip's bus at the next device number and port; the
    // neighbour must outlive it.
    EmulatedFt232r(std::unique_ptr<DrivePersonality> personality, LinkFaults faults = {},
                   ChipOptions options = {}, const EmulatedFt232r* neighbour = nullptr);
    ~EmulatedFt232r();
    EmulatedFt232r(const EmulatedFt232r&) = delete;
    EmulatedFt232r& operator=(const EmulatedFt232r&) = delete;

    // True when the process runs with the umockdev preload library.
    static bool mockedBusAvailable();

    SimulatedDrive& drive();
    std::vector<FrameRecord> frameLog() const;
    std::vector<VendorRequest> vendorRequests() const;
    void setChipOptions(const ChipOptions& options);

    // The chip vanishes from the bus when the host submits its `count`th bulk transfer from now
    // on (1: the next one): from then on every ioctl answers ENODEV. Negative: never.
    void unplugAtTransfer(long count);

    // The chip, pulled out (now, or by unplugAtTransfer), is plugged in again: it comes back on
    // the same port at the next device number, as the kernel numbers every new arrival, and
    // starts as a fresh chip (Ft232rChip::plugIn). Open handles on the old node stay dead.
    void plugBackIn();

    // Bulk transfers the host submitted since the chip last appeared on the bus, the one that
    // pulled it out included; and whether it is pulled out now.
    long bulkTransfers() const;
    bool pulledOut() const;
    // Bytes the chip has put on the pins since it last appeared.
    long bytesClocked() const;

    // Whether the kernel's serial driver holds the interface (see ChipOptions).
    bool kernelDriverBound() const;

    // "/dev/bus/usb/001/002", and the file that stands for it inside the mocked tree, e.g. to
    // take its permissions away.
    std::string deviceNode() const;
    std::string deviceNodeFile() const;

private:
    // The chip's device on the mocked bus and its node's ioctl handler, added or removed.
    void appear();
    void disappear();

    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace drive_sim
