// The FTDI adapters on the USB bus: which devices count as ours (the product ids of the udev
// rule), which one the user chose with --adapter, the list for --list-adapters, and the help
// printed when the system refuses to open one.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

struct ftdi_context;
struct libusb_device;

// What --adapter asked for: a serial number, or a bus and device number ("BUS:DEV").
// An empty choice means the first FTDI device.
struct AdapterChoice {
    std::string serial;
    int bus = -1;
    int device = -1;

    static AdapterChoice parse(const std::string& text);
    bool isFirst() const { return serial.empty() && bus < 0; }
    std::string describe() const;
};

// The FTDI devices on the bus, in the order libusb lists them; each carries a reference the
// caller drops with releaseDevices.
std::vector<libusb_device*> findFtdiDevices(ftdi_context* context);
void releaseDevices(std::vector<libusb_device*>& devices);

// The device `choice` names among `devices`, or nullptr. Reading a serial number opens the
// device briefly.
libusb_device* pickDevice(ftdi_context* context, const std::vector<libusb_device*>& devices,
                          const AdapterChoice& choice);

// The serial number of the device `context` has open; empty when it cannot be read.
std::string openedDeviceSerial(ftdi_context* context);

// "/dev/bus/usb/BBB/DDD" of a device.
std::string deviceNode(libusb_device* device);

// After opening `device` failed: when the system refused access, says so on standard error
// with the device node, the udev rule and the group that rule gives the adapter to.
void explainRefusedOpen(libusb_device* device);

// One line per FTDI device: bus and device number, product and serial. Returns how many.
int printFtdiDevices(ftdi_context* context, std::FILE* out);
