// The FTDI adapters on the USB bus: which devices count as ours (the product ids of the udev
// rule), which one the user chose with --adapter, the list for --list-adapters, and what is said
// on standard error when one cannot be opened.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

struct ftdi_context;
struct libusb_device;
struct libusb_device_handle;

// What --adapter asked for: a serial number, a bus and device number ("BUS:DEV", new at every
// replug) or a USB port path ("1-1.4.2", the same for as long as the cabling stays).
// An empty choice means the first FTDI device.
struct AdapterChoice {
    std::string serial;
    int bus = -1;
    int device = -1;
    std::string portPath;

    static AdapterChoice parse(const std::string& text);
    bool isFirst() const { return serial.empty() && bus < 0 && portPath.empty(); }
    std::string describe() const;
};

// The FTDI devices on the bus, by bus and port path; each carries a reference the caller drops
// with releaseDevices.
std::vector<libusb_device*> findFtdiDevices(ftdi_context* context);
void releaseDevices(std::vector<libusb_device*>& devices);

// The device `choice` names among `devices`, or nullptr. Reading a serial number opens the
// device briefly.
libusb_device* pickDevice(const std::vector<libusb_device*>& devices, const AdapterChoice& choice);

// The serial number read through `handle`, already open; empty when the device has none or it
// cannot be read. The handle stays open either way.
std::string serialThrough(libusb_device_handle* handle);

// The port path of a device, "1-1.4.2": bus, then the ports from the root hub down.
std::string portPathOf(libusb_device* device);

// "bus 001 device 002 (port 1-1.4.2)": how the messages name a device.
std::string describeDevice(libusb_device* device);

// After ftdi_usb_open_dev refused `device` with `ftdiResult`: says on standard error why, when
// that is known: the adapter is in use by another program, the system refused access (with the
// device node, the udev rule and the group that rule gives the adapter to), or it went away.
void explainFailedOpen(libusb_device* device, int ftdiResult);

// One line per FTDI device: bus and device number, port path, product and serial; then one line
// per FTDI device whose product id was erased to 0000, which is not used. Returns how many
// usable devices there are.
int printFtdiDevices(ftdi_context* context, std::FILE* out);
