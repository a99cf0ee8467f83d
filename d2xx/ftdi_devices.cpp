#include "ftdi_devices.h"

#include <libftdi1/ftdi.h>
#include <libusb.h>

#include <algorithm>
#include <cctype>

namespace {
constexpr int kFtdiVendor = 0x0403;
// The product ids of d2xx/99-kmr-ftdi.rules; CMake reads them from the rule, so the rule and
// the search cannot drift apart.
constexpr int kFtdiProducts[] = {KMR_FTDI_PRODUCTS};

bool isDigits(const std::string& text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

struct DeviceStrings {
    std::string product;
    std::string serial;
    bool read = false;
};

DeviceStrings readStrings(ftdi_context* context, libusb_device* device) {
    char product[128] = {};
    char serial[128] = {};
    DeviceStrings strings;
    strings.read = ftdi_usb_get_strings(context, device, nullptr, 0, product, sizeof product,
                                        serial, sizeof serial) == 0;
    strings.product = product;
    strings.serial = serial;
    return strings;
}
}  // namespace

std::string openedDeviceSerial(ftdi_context* context) {
    char serial[128] = {};
    // The second form reads through the handle already open and leaves it open.
    if (ftdi_usb_get_strings2(context, libusb_get_device(context->usb_dev), nullptr, 0, nullptr, 0,
                              serial, sizeof serial) != 0) {
        return {};
    }
    return serial;
}

AdapterChoice AdapterChoice::parse(const std::string& text) {
    AdapterChoice choice;
    size_t colon = text.find(':');
    std::string busText = text.substr(0, colon);
    std::string deviceText = colon == std::string::npos ? "" : text.substr(colon + 1);
    // Bus and device numbers have at most three digits; anything else is a serial number.
    if (isDigits(busText) && isDigits(deviceText) && busText.size() <= 3 &&
        deviceText.size() <= 3) {
        choice.bus = std::stoi(busText);
        choice.device = std::stoi(deviceText);
    } else {
        choice.serial = text;
    }
    return choice;
}

std::string AdapterChoice::describe() const {
    if (!serial.empty()) {
        return "serial number " + serial;
    }
    if (bus >= 0) {
        return "bus " + std::to_string(bus) + " device " + std::to_string(device);
    }
    return "the first FTDI device";
}

std::vector<libusb_device*> findFtdiDevices(ftdi_context* context) {
    std::vector<libusb_device*> found;
    libusb_device** list = nullptr;
    ssize_t count = libusb_get_device_list(context->usb_ctx, &list);
    for (ssize_t i = 0; i < count; ++i) {
        libusb_device_descriptor descriptor{};
        if (libusb_get_device_descriptor(list[i], &descriptor) != 0 ||
            descriptor.idVendor != kFtdiVendor) {
            continue;
        }
        if (std::find(std::begin(kFtdiProducts), std::end(kFtdiProducts), descriptor.idProduct) !=
            std::end(kFtdiProducts)) {
            found.push_back(libusb_ref_device(list[i]));
        }
    }
    if (list) {
        libusb_free_device_list(list, 1);
    }
    return found;
}

void releaseDevices(std::vector<libusb_device*>& devices) {
    for (libusb_device* device : devices) {
        libusb_unref_device(device);
    }
    devices.clear();
}

libusb_device* pickDevice(ftdi_context* context, const std::vector<libusb_device*>& devices,
                          const AdapterChoice& choice) {
    for (libusb_device* device : devices) {
        if (choice.isFirst()) {
            return device;
        }
        if (choice.bus >= 0) {
            if (libusb_get_bus_number(device) == choice.bus &&
                libusb_get_device_address(device) == choice.device) {
                return device;
            }
        } else if (readStrings(context, device).serial == choice.serial) {
            return device;
        }
    }
    return nullptr;
}

std::string deviceNode(libusb_device* device) {
    char node[40];
    std::snprintf(node, sizeof node, "/dev/bus/usb/%03u/%03u", libusb_get_bus_number(device),
                  libusb_get_device_address(device));
    return node;
}

void explainRefusedOpen(libusb_device* device) {
    // libftdi folds every refusal into one code; libusb tells a missing permission apart.
    libusb_device_handle* handle = nullptr;
    int result = libusb_open(device, &handle);
    if (result == 0) {
        libusb_close(handle);
        return;
    }
    if (result != LIBUSB_ERROR_ACCESS) {
        return;
    }
    std::fprintf(stderr,
                 "No permission to open the FTDI adapter %s.\n"
                 "Install the udev rule d2xx/99-kmr-ftdi.rules (it gives the adapter to the group "
                 "plugdev), add yourself to plugdev, log in again and replug the adapter; the "
                 "README shows the commands.\n",
                 deviceNode(device).c_str());
}

int printFtdiDevices(ftdi_context* context, std::FILE* out) {
    std::vector<libusb_device*> devices = findFtdiDevices(context);
    for (libusb_device* device : devices) {
        DeviceStrings strings = readStrings(context, device);
        if (!strings.read) {
            explainRefusedOpen(device);
        }
        std::fprintf(out, "%03u:%03u  %s  serial %s\n", libusb_get_bus_number(device),
                     libusb_get_device_address(device),
                     strings.read ? strings.product.c_str() : "(no access)",
                     strings.read ? strings.serial.c_str() : "?");
    }
    int count = int(devices.size());
    releaseDevices(devices);
    return count;
}
