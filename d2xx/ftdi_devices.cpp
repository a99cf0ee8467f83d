#include "ftdi_devices.h"

#include <libftdi1/ftdi.h>
#include <libusb.h>

#include <algorithm>
#include <cctype>
#include <regex>
#include <utility>

namespace {
constexpr int kFtdiVendor = 0x0403;
// The product ids of d2xx/99-kmr-ftdi.rules; CMake reads them from the rule, so the rule and
// the search cannot drift apart.
constexpr int kFtdiProducts[] = {KMR_FTDI_PRODUCTS};
// libftdi answers -5 when libusb could not claim the interface: another program holds it.
constexpr int kFtdiClaimFailed = -5;

bool isDigits(const std::string& text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

// The ports from the root hub down to the device.
std::vector<uint8_t> portNumbers(libusb_device* device) {
    uint8_t ports[8];
    const int depth = libusb_get_port_numbers(device, ports, sizeof ports);
    return std::vector<uint8_t>(ports, ports + std::max(depth, 0));
}

}  // namespace

std::string portPathOf(libusb_device* device) {
    std::string path = std::to_string(libusb_get_bus_number(device));
    const std::vector<uint8_t> ports = portNumbers(device);
    for (size_t i = 0; i < ports.size(); ++i) {
        path += (i == 0 ? "-" : ".") + std::to_string(ports[i]);
    }
    return path;
}

namespace {

// A string descriptor, or empty. Index 0 means the device has no such string; libusb refuses
// to read it (it is the language table), and libftdi closes its handle when a read fails, so
// strings are read here, through libusb, and only those the device has.
std::string stringAt(libusb_device_handle* handle, uint8_t index) {
    unsigned char text[128] = {};
    const int length =
        index ? libusb_get_string_descriptor_ascii(handle, index, text, sizeof text) : 0;
    return length > 0 ? std::string(reinterpret_cast<char*>(text), size_t(length)) : "";
}

struct DeviceStrings {
    int openResult = 0;  // libusb's answer to opening the device
    std::string product;
    std::string serial;
};

DeviceStrings readStrings(libusb_device* device) {
    DeviceStrings strings;
    libusb_device_handle* handle = nullptr;
    strings.openResult = libusb_open(device, &handle);
    if (strings.openResult == 0) {
        libusb_device_descriptor descriptor{};
        libusb_get_device_descriptor(device, &descriptor);
        strings.product = stringAt(handle, descriptor.iProduct);
        strings.serial = stringAt(handle, descriptor.iSerialNumber);
        libusb_close(handle);
    }
    return strings;
}

std::string deviceNode(libusb_device* device) {
    char node[40];
    std::snprintf(node, sizeof node, "/dev/bus/usb/%03u/%03u", libusb_get_bus_number(device),
                  libusb_get_device_address(device));
    return node;
}
}  // namespace

std::string serialThrough(libusb_device_handle* handle) {
    libusb_device_descriptor descriptor{};
    libusb_get_device_descriptor(libusb_get_device(handle), &descriptor);
    return stringAt(handle, descriptor.iSerialNumber);
}

AdapterChoice AdapterChoice::parse(const std::string& text) {
    AdapterChoice choice;
    size_t colon = text.find(':');
    std::string busText = text.substr(0, colon);
    std::string deviceText = colon == std::string::npos ? "" : text.substr(colon + 1);
    // Bus and device numbers have at most three digits, a port path is the kernel's
    // BUS-PORT[.PORT...]; anything else is a serial number.
    if (isDigits(busText) && isDigits(deviceText) && busText.size() <= 3 &&
        deviceText.size() <= 3) {
        choice.bus = std::stoi(busText);
        choice.device = std::stoi(deviceText);
    } else if (std::regex_match(text, std::regex("[0-9]{1,3}-[0-9]{1,3}(\\.[0-9]{1,3}){0,6}"))) {
        choice.portPath = text;
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
    if (!portPath.empty()) {
        return "USB port path " + portPath;
    }
    return "the first FTDI device";
}

namespace {
// A clone whose EEPROM lost its product id reports 0x0000; libftdi cannot be asked to open it.
constexpr uint16_t kErasedProduct = 0x0000;

// The FTDI vendor's devices whose product id passes `wanted`, in bus and port order.
std::vector<libusb_device*> findVendorDevices(ftdi_context* context,
                                              bool (*wanted)(uint16_t productId)) {
    std::vector<libusb_device*> found;
    libusb_device** list = nullptr;
    ssize_t count = libusb_get_device_list(context->usb_ctx, &list);
    for (ssize_t i = 0; i < count; ++i) {
        libusb_device_descriptor descriptor{};
        if (libusb_get_device_descriptor(list[i], &descriptor) == 0 &&
            descriptor.idVendor == kFtdiVendor && wanted(descriptor.idProduct)) {
            found.push_back(libusb_ref_device(list[i]));
        }
    }
    if (list) {
        libusb_free_device_list(list, 1);
    }
    // libusb lists in no particular order; "the first" and the list go by bus and port.
    std::sort(found.begin(), found.end(), [](libusb_device* a, libusb_device* b) {
        return std::make_pair(libusb_get_bus_number(a), portNumbers(a)) <
               std::make_pair(libusb_get_bus_number(b), portNumbers(b));
    });
    return found;
}
}  // namespace

std::vector<libusb_device*> findFtdiDevices(ftdi_context* context) {
    return findVendorDevices(context, [](uint16_t productId) {
        return std::find(std::begin(kFtdiProducts), std::end(kFtdiProducts), productId) !=
               std::end(kFtdiProducts);
    });
}

void releaseDevices(std::vector<libusb_device*>& devices) {
    for (libusb_device* device : devices) {
        libusb_unref_device(device);
    }
    devices.clear();
}

libusb_device* pickDevice(const std::vector<libusb_device*>& devices, const AdapterChoice& choice) {
    auto chosen = std::find_if(devices.begin(), devices.end(), [&](libusb_device* device) {
        if (choice.bus >= 0) {
            return libusb_get_bus_number(device) == choice.bus &&
                   libusb_get_device_address(device) == choice.device;
        }
        if (!choice.portPath.empty()) {
            return portPathOf(device) == choice.portPath;
        }
        return choice.isFirst() || readStrings(device).serial == choice.serial;
    });
    return chosen == devices.end() ? nullptr : *chosen;
}

std::string describeDevice(libusb_device* device) {
    char text[40];
    std::snprintf(text, sizeof text, "bus %03u device %03u", libusb_get_bus_number(device),
                  libusb_get_device_address(device));
    return std::string(text) + " (port " + portPathOf(device) + ")";
}

void explainFailedOpen(libusb_device* device, int ftdiResult) {
    if (ftdiResult == kFtdiClaimFailed) {
        std::fprintf(stderr,
                     "The FTDI adapter at %s is in use by another program. Close that program, "
                     "or choose another adapter with --adapter, and try again.\n",
                     describeDevice(device).c_str());
        return;
    }
    // libftdi folds every refusal of opening into one code; libusb tells them apart.
    libusb_device_handle* handle = nullptr;
    const int result = libusb_open(device, &handle);
    if (result == 0) {
        libusb_close(handle);
    } else if (result == LIBUSB_ERROR_ACCESS) {
        std::fprintf(
            stderr,
            "No permission to open the FTDI adapter %s.\n"
            "Install the udev rule d2xx/99-kmr-ftdi.rules (it gives the adapter to the group "
            "plugdev), add yourself to plugdev, log in again and replug the adapter; the "
            "README shows the commands.\n",
            deviceNode(device).c_str());
    } else if (result == LIBUSB_ERROR_NO_DEVICE) {
        std::fprintf(stderr, "The FTDI adapter at %s was unplugged while it was being opened.\n",
                     describeDevice(device).c_str());
    }
}

int printFtdiDevices(ftdi_context* context, std::FILE* out) {
    std::vector<libusb_device*> devices = findFtdiDevices(context);
    for (libusb_device* device : devices) {
        const DeviceStrings strings = readStrings(device);
        const bool refused = strings.openResult == LIBUSB_ERROR_ACCESS;
        if (refused) {
            explainFailedOpen(device, 0);
        }
        const std::string serial = refused                  ? "serial ?"
                                   : strings.serial.empty() ? "(no serial)"
                                                            : "serial " + strings.serial;
        std::fprintf(out, "%03u:%03u  port %s  %s  %s\n", libusb_get_bus_number(device),
                     libusb_get_device_address(device), portPathOf(device).c_str(),
                     refused ? "(no access)" : strings.product.c_str(), serial.c_str());
    }
    int count = int(devices.size());
    releaseDevices(devices);
    // Listed so that the user learns why a plugged-in adapter is not offered.
    std::vector<libusb_device*> erased =
        findVendorDevices(context, [](uint16_t productId) { return productId == kErasedProduct; });
    for (libusb_device* device : erased) {
        std::fprintf(out,
                     "%03u:%03u  port %s  FTDI device with product id 0000 (its EEPROM lost the "
                     "id): not used\n",
                     libusb_get_bus_number(device), libusb_get_device_address(device),
                     portPathOf(device).c_str());
    }
    releaseDevices(erased);
    return count;
}
