// The usbdevfs side of the emulated chip: the mocked sysfs device with its descriptors, and the
// ioctls libusb sends to its node. URBs are kept as the client's memory blocks and handed back
// on reap; bulk transfers wait in the queue until the chip has taken or sent their bytes. The
// chip runs on the wall clock, caught up at every ioctl.
#include "emulated_ft232r.h"

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <umockdev.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <list>
#include <mutex>

namespace drive_sim {

namespace {
constexpr uint8_t kBulkOut = 0x02;
constexpr uint8_t kBulkIn = 0x81;
constexpr uint32_t kCapabilities = USBDEVFS_CAP_BULK_CONTINUATION | USBDEVFS_CAP_NO_PACKET_SIZE_LIM;
constexpr int kSetupBytes = 8;

// Root hub usb1, added with the first chip on the bus.
constexpr const char* kRootHub =
    "P: /devices/usb1\n"
    "N: bus/usb/001/001\n"
    "E: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: DEVNAME=/dev/bus/usb/001/001\n"
    "E: BUSNUM=001\nE: DEVNUM=001\n"
    "A: busnum=1\\n\nA: devnum=1\\n\nA: speed=480\\n\nA: bConfigurationValue=1\\n\n"
    "H: descriptors=12010002090001406B1D020006050302010109021900010100E000090400000109000000"
    "0705810304000C\n"
    "\n";

// The chip at `device` on bus 1, behind root port `port`: the device descriptor (bcdDevice
// 0x0600 makes it an FT232R to libftdi; string 3 is the serial number, 0 when there is none; the
// product id as the options say)
// followed by its one configuration with one interface and two bulk endpoints of 64 bytes.
std::string chipDevice(int device, int port, bool hasSerial, uint16_t productId) {
    char text[1024];
    std::snprintf(text, sizeof text,
                  "P: /devices/usb1/1-%d\n"
                  "N: bus/usb/001/%03d\n"
                  "E: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: DEVNAME=/dev/bus/usb/001/%03d\n"
                  "E: BUSNUM=001\nE: DEVNUM=%03d\n"
                  "A: busnum=1\\n\nA: devnum=%d\\n\nA: speed=12\\n\nA: "
                  "bConfigurationValue=1\\n\n"
                  "A: idVendor=0403\\n\nA: idProduct=%04x\\n\n"
                  "H: descriptors=12010002000000080304%02X%02X00060102%s01090220000101008"
                  "02D0904000002FFFFFF020705810240000007050202400000\n",
                  port, device, device, device, device, unsigned(productId),
                  unsigned(productId & 0xFF), unsigned(productId >> 8), hasSerial ? "03" : "00");
    return text;
}

struct Urb {
    UMockdevIoctlData* block = nullptr;   // the client's usbdevfs_urb, referenced
    UMockdevIoctlData* buffer = nullptr;  // its data buffer, owned by `block`
    bool done = false;
    bool atChip = false;  // a bulk transfer the chip works on
    BulkTransfer bulk;
    usbdevfs_urb* fields() const { return reinterpret_cast<usbdevfs_urb*>(block->data); }
    // A bulk transfer the chip finished, with its length.
    bool finishedAtChip() {
        if (atChip && bulk.done) {
            fields()->actual_length = bulk.actual;
            done = true;
            atChip = false;
        }
        return done;
    }
};
}  // namespace

struct EmulatedFt232r::Impl {
    Impl(std::unique_ptr<DrivePersonality> personality, LinkFaults faults, ChipOptions options)
        : drive(std::move(personality), std::move(faults)), chip(drive, std::move(options)) {}

    mutable std::mutex mutex;
    SimulatedDrive drive;
    Ft232rChip chip;
    std::list<Urb> urbs;  // the chip keeps pointers to their transfers
    int device = 2;       // the device number on bus 1
    int port = 1;         // the root hub's port
    long transfersToUnplug = -1;
    long bulkTransfers = 0;  // submitted since the chip appeared
    bool unplugged = false;
    UMockdevTestbed* testbed = nullptr;
    UMockdevIoctlBase* handler = nullptr;

    static gboolean onIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
        static_cast<Impl*>(self)->handle(client);
        return TRUE;
    }

    static void onOpen(UMockdevIoctlBase*, UMockdevIoctlClient*, gpointer self) {
        // Opening the adapter is when the user is asked to power-cycle the drive.
        auto* impl = static_cast<Impl*>(self);
        std::lock_guard<std::mutex> lock(impl->mutex);
        impl->drive.powerUp();
    }

    void handle(UMockdevIoctlClient* client) {
        std::lock_guard<std::mutex> lock(mutex);
        const gulong request = umockdev_ioctl_client_get_request(client);
        UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
        int error = 0;
        if (!unplugged) {
            chip.advance(Ft232rChip::Clock::now());
        }
        if (unplugged) {
            error = request == USBDEVFS_REAPURBNDELAY && reap(arg) ? 0 : ENODEV;
        } else if (request == USBDEVFS_GET_CAPABILITIES) {
            if (UMockdevIoctlData* caps = umockdev_ioctl_data_resolve(arg, 0, 4, nullptr)) {
                *reinterpret_cast<uint32_t*>(caps->data) = kCapabilities;
                umockdev_ioctl_data_unref(caps);
            }
        } else if (request == USBDEVFS_SUBMITURB) {
            error = submit(arg);
        } else if (request == USBDEVFS_REAPURBNDELAY) {
            error = reap(arg) ? 0 : EAGAIN;
        } else if (request == USBDEVFS_DISCARDURB) {
            error = discard(arg);
        } else if (request == USBDEVFS_DISCONNECT_CLAIM || request == USBDEVFS_CLAIMINTERFACE) {
            error = chip.options().claimedElsewhere ? EBUSY : 0;
            // Claiming with a disconnect lets the kernel's driver go first.
            if (!error && request == USBDEVFS_DISCONNECT_CLAIM) {
                chip.options().kernelDriverBound = false;
            }
        } else if (request == USBDEVFS_GETDRIVER) {
            error = reportDriver(arg);
        } else if (request == USBDEVFS_IOCTL) {
            error = driverCommand(arg);
        } else if (request == USBDEVFS_CLEAR_HALT) {
            error = clearHalt(arg);
        } else if (request != USBDEVFS_RELEASEINTERFACE && request != USBDEVFS_SETINTERFACE &&
                   request != USBDEVFS_RESET) {
            error = ENOTTY;
        }
        umockdev_ioctl_client_complete(client, error ? -1 : 0, error);
    }

    int reportDriver(UMockdevIoctlData* arg) {
        if (!chip.options().kernelDriverBound) {
            return ENODATA;
        }
        UMockdevIoctlData* query =
            umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_getdriver), nullptr);
        if (!query) {
            return EFAULT;
        }
        std::snprintf(reinterpret_cast<usbdevfs_getdriver*>(query->data)->driver,
                      USBDEVFS_MAXDRIVERNAME + 1, "ftdi_sio");
        umockdev_ioctl_data_unref(query);
        return 0;
    }

    // Detaching and reattaching the kernel's driver.
    int driverCommand(UMockdevIoctlData* arg) {
        UMockdevIoctlData* command =
            umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_ioctl), nullptr);
        if (!command) {
            return EFAULT;
        }
        const int code = reinterpret_cast<usbdevfs_ioctl*>(command->data)->ioctl_code;
        umockdev_ioctl_data_unref(command);
        bool& bound = chip.options().kernelDriverBound;
        if (code != USBDEVFS_DISCONNECT && code != USBDEVFS_CONNECT) {
            return ENOTTY;
        }
        if (bound == (code == USBDEVFS_CONNECT)) {
            return ENODATA;
        }
        bound = code == USBDEVFS_CONNECT;
        return 0;
    }

    int clearHalt(UMockdevIoctlData* arg) {
        UMockdevIoctlData* endpoint =
            umockdev_ioctl_data_resolve(arg, 0, sizeof(unsigned), nullptr);
        if (!endpoint) {
            return EFAULT;
        }
        chip.options().haltedEndpoints.erase(uint8_t(*reinterpret_cast<unsigned*>(endpoint->data)));
        umockdev_ioctl_data_unref(endpoint);
        return 0;
    }

    // Resolving hands out a reference; the URB keeps the one of its block, and the block holds
    // its buffer.
    int submit(UMockdevIoctlData* arg) {
        Urb urb;
        urb.block = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
        if (!urb.block) {
            return EFAULT;
        }
        urb.buffer = umockdev_ioctl_data_resolve(urb.block, offsetof(usbdevfs_urb, buffer),
                                                 size_t(urb.fields()->buffer_length), nullptr);
        int error = urb.buffer ? start(urb) : EFAULT;
        if (urb.buffer) {
            umockdev_ioctl_data_unref(urb.buffer);
        }
        if (error) {
            umockdev_ioctl_data_unref(urb.block);
            return error;
        }
        urbs.push_back(urb);
        if (urbs.back().atChip) {
            chip.submit(urbs.back().bulk, Ft232rChip::Clock::now());
        }
        return 0;
    }

    int start(Urb& urb) {
        usbdevfs_urb* fields = urb.fields();
        bulkTransfers += fields->type == USBDEVFS_URB_TYPE_BULK;
        if (fields->type == USBDEVFS_URB_TYPE_BULK && transfersToUnplug > 0 &&
            --transfersToUnplug == 0) {
            unplug();
            return ENODEV;
        }
        fields->status = 0;
        fields->actual_length = 0;
        if (fields->type == USBDEVFS_URB_TYPE_BULK &&
            chip.options().haltedEndpoints.count(fields->endpoint)) {
            fields->status = -EPIPE;
            urb.done = true;
        } else if (fields->type == USBDEVFS_URB_TYPE_CONTROL &&
                   fields->buffer_length >= kSetupBytes) {
            uint8_t* bytes = urb.buffer->data;
            int sent = chip.control(bytes, bytes + kSetupBytes, fields->buffer_length - kSetupBytes,
                                    Ft232rChip::Clock::now());
            fields->status = sent < 0 ? -EPIPE : 0;
            fields->actual_length = std::max(sent, 0);
            urb.done = true;
        } else if (fields->type == USBDEVFS_URB_TYPE_BULK &&
                   (fields->endpoint == kBulkOut || fields->endpoint == kBulkIn)) {
            urb.atChip = true;
            urb.bulk = {urb.buffer->data, fields->buffer_length, fields->endpoint == kBulkIn};
        } else {
            return EINVAL;
        }
        return 0;
    }

    // Hands the oldest finished URB back.
    bool reap(UMockdevIoctlData* arg) {
        auto finished =
            std::find_if(urbs.begin(), urbs.end(), [](Urb& u) { return u.finishedAtChip(); });
        if (finished == urbs.end()) {
            return false;
        }
        UMockdevIoctlData* pointer = umockdev_ioctl_data_resolve(arg, 0, sizeof(void*), nullptr);
        if (!pointer) {
            return false;
        }
        umockdev_ioctl_data_set_ptr(pointer, 0, finished->block);
        // The client's memory is written back when this ioctl completes; the block stays
        // alive as the child of `pointer` until then.
        umockdev_ioctl_data_unref(pointer);
        umockdev_ioctl_data_unref(finished->block);
        urbs.erase(finished);
        return true;
    }

    int discard(UMockdevIoctlData* arg) {
        // The argument is the client's address of the URB to cancel.
        const gulong address = *reinterpret_cast<gulong*>(arg->data);
        // A bulk transfer ends with the bytes the chip took or sent so far, as the kernel ends
        // a transfer whose time-out ran out.
        for (Urb& urb : urbs) {
            if (urb.block->client_addr == address && !urb.finishedAtChip()) {
                chip.cancel(urb.bulk, Ft232rChip::Clock::now());
                urb.finishedAtChip();
                urb.fields()->status = -ENOENT;
                return 0;
            }
        }
        return EINVAL;
    }

    // Everything in flight ends as the kernel ends it when a device goes away.
    void unplug() {
        unplugged = true;
        chip.dropTransfers();
        for (Urb& urb : urbs) {
            if (!urb.done) {
                urb.fields()->status = -ESHUTDOWN;
                urb.fields()->actual_length = 0;
                urb.done = true;
                urb.atChip = false;
            }
        }
    }
};

EmulatedFt232r::EmulatedFt232r(std::unique_ptr<DrivePersonality> personality, LinkFaults faults,
                               ChipOptions options, const EmulatedFt232r* neighbour)
    : impl_(std::make_unique<Impl>(std::move(personality), std::move(faults), std::move(options))) {
    GError* error = nullptr;
    if (neighbour) {
        impl_->testbed = UMOCKDEV_TESTBED(g_object_ref(neighbour->impl_->testbed));
        impl_->device = neighbour->impl_->device + 1;
        impl_->port = neighbour->impl_->port + 1;
    } else {
        impl_->testbed = umockdev_testbed_new();
        if (!umockdev_testbed_add_from_string(impl_->testbed, kRootHub, &error)) {
            g_error("emulated FT232R: %s", error->message);
        }
    }
    impl_->handler = umockdev_ioctl_base_new();
    g_signal_connect(impl_->handler, "handle-ioctl", G_CALLBACK(Impl::onIoctl), impl_.get());
    g_signal_connect(impl_->handler, "client-connected", G_CALLBACK(Impl::onOpen), impl_.get());
    appear();
}

void EmulatedFt232r::appear() {
    GError* error = nullptr;
    const std::string device =
        chipDevice(impl_->device, impl_->port, !impl_->chip.options().serial.empty(),
                   impl_->chip.options().productId);
    if (!umockdev_testbed_add_from_string(impl_->testbed, device.c_str(), &error) ||
        !umockdev_testbed_attach_ioctl(impl_->testbed, deviceNode().c_str(), impl_->handler,
                                       &error)) {
        g_error("emulated FT232R: %s", error->message);
    }
}

void EmulatedFt232r::disappear() {
    umockdev_testbed_detach_ioctl(impl_->testbed, deviceNode().c_str(), nullptr);
    umockdev_testbed_remove_device(impl_->testbed,
                                   ("/sys/devices/usb1/1-" + std::to_string(impl_->port)).c_str());
}

void EmulatedFt232r::plugBackIn() {
    disappear();
    {
        std::lock_guard<std::mutex> lock(impl_->mutex);
        impl_->unplug();
        for (Urb& urb : impl_->urbs) {
            umockdev_ioctl_data_unref(urb.block);
        }
        impl_->urbs.clear();
        impl_->unplugged = false;
        impl_->transfersToUnplug = -1;
        impl_->bulkTransfers = 0;
        impl_->device += 1;
        impl_->chip.plugIn();
    }
    appear();
}

EmulatedFt232r::~EmulatedFt232r() {
    disappear();
    for (Urb& urb : impl_->urbs) {
        umockdev_ioctl_data_unref(urb.block);
    }
    g_object_unref(impl_->handler);
    g_object_unref(impl_->testbed);
}

bool EmulatedFt232r::mockedBusAvailable() {
    const char* preload = std::getenv("LD_PRELOAD");
    return preload && std::strstr(preload, "libumockdev-preload");
}

SimulatedDrive& EmulatedFt232r::drive() {
    return impl_->drive;
}

std::vector<FrameRecord> EmulatedFt232r::frameLog() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->drive.frameLog();
}

std::vector<VendorRequest> EmulatedFt232r::vendorRequests() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->chip.vendorRequests();
}

void EmulatedFt232r::setChipOptions(const ChipOptions& options) {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->chip.options() = options;
}

void EmulatedFt232r::unplugAtTransfer(long count) {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->transfersToUnplug = count;
}

long EmulatedFt232r::bulkTransfers() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->bulkTransfers;
}

long EmulatedFt232r::bytesClocked() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->chip.bytesClocked();
}

bool EmulatedFt232r::pulledOut() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->unplugged;
}

bool EmulatedFt232r::kernelDriverBound() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->chip.options().kernelDriverBound;
}

std::string EmulatedFt232r::deviceNode() const {
    char node[32];
    std::snprintf(node, sizeof node, "/dev/bus/usb/001/%03d", impl_->device);
    return node;
}

std::string EmulatedFt232r::deviceNodeFile() const {
    gchar* root = umockdev_testbed_get_root_dir(impl_->testbed);
    std::string path = std::string(root) + deviceNode();
    g_free(root);
    return path;
}

}  // namespace drive_sim
