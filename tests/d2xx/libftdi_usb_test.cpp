// The libftdi1 provider through the real libftdi1 and libusb, on an FT232R emulated on a mocked
// USB bus: what the chip received while the link opened, a read that times out, and close.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QProcess>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <set>
#include <thread>
#include <vector>

#include "drive_link.h"
#include "emulated_ft232r.h"
#include "ferrox_firmware.h"
#include "output_capture.h"
#include "provider.h"
#include "usb_chip_fixture.h"

using namespace drive_link;

using drive_sim::VendorRequest;

namespace drive_sim {
void PrintTo(const VendorRequest& r, std::ostream* os) {
    char text[40];
    std::snprintf(text, sizeof text, "{0x%02X, 0x%04X, %u}", r.request, r.value, r.index);
    *os << text;
}
}  // namespace drive_sim

namespace {
// The requests that configure the port: bit mode, baud-rate divisor, latency timer.
std::vector<VendorRequest> portSettings(const drive_sim::EmulatedFt232r& chip) {
    std::vector<VendorRequest> settings;
    for (const VendorRequest& r : chip.vendorRequests()) {
        if (r.request == drive_sim::kFtdiSetBitMode || r.request == drive_sim::kFtdiSetBaudRate ||
            r.request == drive_sim::kFtdiSetLatencyTimer) {
            settings.push_back(r);
        }
    }
    return settings;
}

struct OpenCase {
    const char* name;
    std::set<uint16_t> refusedDivisors;
    std::vector<VendorRequest> expected;
};
// Two adapters on the bus: KMR00001 at port 1-1 and KMR00002 at port 1-2.
struct TwoChips {
    static drive_sim::ChipOptions secondOptions() {
        drive_sim::ChipOptions options;
        options.serial = "KMR00002";
        return options;
    }
    EmulatedAdapter first{std::make_unique<drive_sim::FerroxFirmware>()};
    drive_sim::EmulatedFt232r second{
        std::make_unique<drive_sim::FerroxFirmware>(), {}, secondOptions(), &*first};
};
}  // namespace

TEST(LibftdiOnEmulatedChip, OpenReadAndCloseReachTheChip) {
    // libftdi opens at 9600 baud (divisor 0x4138), the provider resets a leftover bit mode; the
    // link then asks for 10000 baud: 3 MHz / 10000 is divisor 300 (0x012C), 3 MHz / 1200 is
    // 2500 (0x09C4). Closing resets the bit mode again.
    const VendorRequest opened{0x03, 0x4138, 0}, bitModeReset{0x0B, 0x0000, 1},
        syncBitBang{0x0B, 0x0409, 1}, latency4{0x09, 4, 1}, baud10000{0x03, 0x012C, 0},
        baud1200{0x03, 0x09C4, 0}, latency2{0x09, 2, 1};
    const std::vector<OpenCase> cases = {
        {"10000 baud", {}, {opened, bitModeReset, syncBitBang, latency4, baud10000, bitModeReset}},
        {"1200 baud fallback",
         {0x012C},
         {opened, bitModeReset, syncBitBang, latency4, baud10000, baud1200, latency2,
          bitModeReset}},
    };
    for (const OpenCase& c : cases) {
        SCOPED_TRACE(c.name);
        drive_sim::ChipOptions options;
        options.refusedBaudDivisors = c.refusedDivisors;
        EmulatedAdapter chip(std::make_unique<drive_sim::FerroxFirmware>(), options);
        Link link;
        ASSERT_TRUE(link.open(true));

        // Nothing was written, so nothing comes back: the read gives up at its time-out with
        // what it got, and says so only through the count.
        UCHAR bytes[8];
        DWORD got = 99;
        FT_SetTimeouts(link.state().adapterHandle, 60, 60);
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(FT_Read(link.state().adapterHandle, bytes, sizeof bytes, &got), FT_OK);
        EXPECT_EQ(got, 0u);
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(60));

        EXPECT_EQ(link.close(), FT_OK);
        EXPECT_EQ(portSettings(*chip), c.expected);
    }
}

TEST(LibftdiOnEmulatedChip, AdapterChosenBySerialBusAndDeviceOrPortOrRefusedWithItsReason) {
    drive_sim::ChipOptions busy;
    busy.claimedElsewhere = true;
    const struct {
        const char* adapter;
        drive_sim::ChipOptions options;
        FT_STATUS status;
        std::string err;
    } cases[] = {
        {"", {}, FT_OK, ""},
        {"KMR00001", {}, FT_OK, ""},
        {"1:2", {}, FT_OK, ""},
        {"1-1", {}, FT_OK, ""},
        {"KMR99999",
         {},
         FT_DEVICE_NOT_FOUND,
         "No FTDI adapter with serial number KMR99999 is plugged in.\n"},
        {"1:3", {}, FT_DEVICE_NOT_FOUND, "No FTDI adapter with bus 1 device 3 is plugged in.\n"},
        {"1-1.4",
         {},
         FT_DEVICE_NOT_FOUND,
         "No FTDI adapter with USB port path 1-1.4 is plugged in.\n"},
        {"", busy, FT_DEVICE_NOT_OPENED,
         "The FTDI adapter at bus 001 device 002 (port 1-1) is in use by another program. Close "
         "that program, or choose another adapter with --adapter, and try again.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.adapter);
        EmulatedAdapter chip(std::make_unique<drive_sim::FerroxFirmware>(), c.options);
        installD2xxProvider(makeLibftdiProvider(c.adapter));
        OutputCapture capture;
        FT_HANDLE handle = nullptr;
        EXPECT_EQ(FT_Open(0, &handle), c.status);
        EXPECT_EQ(FT_Close(handle), c.status == FT_OK ? FT_OK : FT_INVALID_HANDLE);
        EXPECT_EQ(capture.err(), c.err);
    }

    // The program lists what is on the bus and exits; the mocked bus is inherited. A clone whose
    // product id was erased is named as unusable instead of being silently left out.
    EmulatedAdapter chip(std::make_unique<drive_sim::FerroxFirmware>());
    drive_sim::ChipOptions erased;
    erased.productId = 0x0000;
    drive_sim::EmulatedFt232r clone(std::make_unique<drive_sim::FerroxFirmware>(), {}, erased,
                                    &*chip);
    QProcess program;
    program.start(KMR_MORVANE, {"--list-adapters"});
    ASSERT_TRUE(program.waitForFinished(20000));
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_EQ(program.readAllStandardOutput().toStdString(),
              "001:002  port 1-1  FT232R USB UART  serial KMR00001\n"
              "001:003  port 1-2  FTDI device with product id 0000 (its EEPROM lost the id): not "
              "used\n");
}

// Two adapters on the bus: each can be chosen; with none chosen the first is taken and named.
TEST(LibftdiOnEmulatedChip, OfTwoAdaptersTheChosenOneOpensOrTheFirstIsNamed) {
    TwoChips chips;
    const struct {
        const char* adapter;
        const char* opened;
        const char* err;
    } cases[] = {
        {"", "KMR00001",
         "2 FTDI adapters are plugged in; using the first, at bus 001 device 002 (port 1-1). "
         "Choose one with --adapter.\n"},
        {"1-2", "KMR00002", ""},
        {"KMR00002", "KMR00002", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.adapter);
        installD2xxProvider(makeLibftdiProvider(c.adapter));
        OutputCapture capture;
        FT_HANDLE handle = nullptr;
        ASSERT_EQ(FT_Open(0, &handle), FT_OK);
        EXPECT_EQ(openedAdapterSerial(), c.opened);
        EXPECT_EQ(FT_Close(handle), FT_OK);
        EXPECT_EQ(capture.err(), c.err);
    }
}

// A station works several adapters at once: each opened by its port path through a handle of
// its own, with that adapter's serial for the log, and used from its own thread.
TEST(LibftdiOnEmulatedChip, TwoAdaptersAreOpenAtOnceByPortPath) {
    TwoChips chips;
    installD2xxProvider(makeLibftdiProvider());
    Link links[2];
    const char* ports[] = {"1-2", "1-1"};
    for (int i = 0; i < 2; ++i) {
        links[i].setTraceSink(discardingTrace());
        links[i].useAdapterAt(ports[i]);
        ASSERT_TRUE(links[i].open(false)) << ports[i];
    }
    EXPECT_NE(links[0].state().adapterHandle, links[1].state().adapterHandle);
    EXPECT_EQ(adapterSerialOf(links[0].state().adapterHandle), "KMR00002");
    EXPECT_EQ(adapterSerialOf(links[1].state().adapterHandle), "KMR00001");
    bool error[2] = {};
    std::thread other([&] {
        for (int round = 0; round < 5; ++round)
            getParam(links[1], 1, error[1]);
    });
    for (int round = 0; round < 5; ++round)
        getParam(links[0], 1, error[0]);
    other.join();
    EXPECT_FALSE(error[0] || error[1]);
    EXPECT_TRUE(links[0].state().linkGood && links[1].state().linkGood);
    EXPECT_GT(chips.second.vendorRequests().size(), 0u);
    for (Link& link : links) {
        EXPECT_EQ(link.close(), FT_OK);
    }
}

// A station's look at the bus lists the port path of every adapter plugged in, and no longer
// that of one pulled out.
TEST(LibftdiOnEmulatedChip, PresentPortsAreTheAdaptersOnTheBus) {
    EmulatedAdapter first(std::make_unique<drive_sim::FerroxFirmware>());
    auto second = std::make_unique<drive_sim::EmulatedFt232r>(
        std::make_unique<drive_sim::FerroxFirmware>(), drive_sim::LinkFaults{},
        TwoChips::secondOptions(), &*first);
    const auto present = [] {
        std::vector<std::string> ports = presentAdapterPorts();
        std::sort(ports.begin(), ports.end());
        return ports;
    };
    EXPECT_EQ(present(), (std::vector<std::string>{"1-1", "1-2"}));
    second.reset();
    EXPECT_EQ(present(), std::vector<std::string>{"1-1"});
}

// The node refuses opening: an unprivileged user without the udev rule, or, for root, the
// unprivileged user it becomes for the duration.
TEST(LibftdiOnEmulatedChip, RefusedPermissionNamesTheNodeTheRuleAndTheGroup) {
    EmulatedAdapter chip(std::make_unique<drive_sim::FerroxFirmware>());
    const std::string node = chip->deviceNodeFile();
    const std::string root =
        node.substr(0, node.size() - std::string("/dev/bus/usb/001/002").size());
    ASSERT_EQ(chmod(node.c_str(), 0600), 0);
    // The mocked tree stays usable: libusb reads it and sets up its device monitor in it.
    ASSERT_EQ(chmod(root.c_str(), 0777), 0);
    // umockdev connects to the chip's socket even when opening the node failed.
    ASSERT_EQ(chmod((root + "/ioctl/dev/bus/usb/001/002").c_str(), 0777), 0);
    const bool asRoot = geteuid() == 0;
    if (asRoot) {
        ASSERT_EQ(seteuid(65534), 0);  // nobody
    } else {
        ASSERT_EQ(chmod(node.c_str(), 0), 0);
    }
    OutputCapture capture;
    FT_HANDLE handle = nullptr;
    const FT_STATUS status = FT_Open(0, &handle);
    const int listed = listLibftdiAdapters(stdout);
    const std::string out = capture.out();
    const std::string err = capture.err();
    capture.stop();
    if (asRoot) {
        ASSERT_EQ(seteuid(0), 0);
    }
    EXPECT_EQ(status, FT_DEVICE_NOT_OPENED);
    EXPECT_EQ(listed, 1);
    EXPECT_EQ(out, "001:002  port 1-1  (no access)  serial ?\n");
    const std::string help =
        "No permission to open the FTDI adapter /dev/bus/usb/001/002.\nInstall the udev rule "
        "d2xx/99-kmr-ftdi.rules (it gives the adapter to the group plugdev)";
    EXPECT_EQ(err.find(help), 0u) << err;
    EXPECT_NE(err.find(help, 1), std::string::npos) << "once for the open, once for the list";
}

// What another tool or the system left on the chip is cleared at open, the link works as on a
// fresh chip, and closing hands the chip back: bit mode reset, the kernel's serial driver
// attached (whether or not it held the chip before).
TEST(LibftdiOnEmulatedChip, LeftoversAreClearedAtOpenAndTheChipIsHandedBack) {
    using drive_sim::ChipOptions;
    const struct {
        const char* name;
        void (*leave)(ChipOptions&);
    } cases[] = {
        {"no serial number", [](ChipOptions& o) { o.serial.clear(); }},
        {"serial read stalls", [](ChipOptions& o) { o.serialReadStalls = true; }},
        {"OUT endpoint halted", [](ChipOptions& o) { o.haltedEndpoints = {0x02}; }},
        {"IN endpoint halted", [](ChipOptions& o) { o.haltedEndpoints = {0x81}; }},
        {"asynchronous bit-bang left on", [](ChipOptions& o) { o.bitMode = 0x01; }},
        {"kernel serial driver bound", [](ChipOptions& o) { o.kernelDriverBound = true; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ChipOptions options;
        c.leave(options);
        EmulatedAdapter chip(std::make_unique<drive_sim::FerroxFirmware>(), options);
        Link link;
        ASSERT_TRUE(link.open(true));
        EXPECT_EQ(openedAdapterSerial(), options.serialReadStalls ? "" : options.serial);
        EXPECT_FALSE(chip->kernelDriverBound());
        bool error = false;
        for (int i = 0; i < 3; ++i) {
            link.sendNoOp(error);
        }
        EXPECT_FALSE(error);
        EXPECT_TRUE(link.state().linkGood);
        EXPECT_EQ(link.close(), FT_OK);
        EXPECT_EQ(portSettings(*chip).back(), (VendorRequest{0x0B, 0x0000, 1}));
        EXPECT_TRUE(chip->kernelDriverBound()) << "the kernel binds its serial driver at close";
    }
}

// The chip gets the divisor of 10000 baud whether the rate is set before or after bit-bang.
TEST(LibftdiOnEmulatedChip, BaudDivisorIsTheSameInEitherCallOrder) {
    for (bool bitModeFirst : {true, false}) {
        SCOPED_TRACE(bitModeFirst ? "bit mode first" : "baud rate first");
        EmulatedAdapter chip(std::make_unique<drive_sim::FerroxFirmware>());
        FT_HANDLE handle = nullptr;
        ASSERT_EQ(FT_Open(0, &handle), FT_OK);
        if (bitModeFirst) {
            EXPECT_EQ(FT_SetBitMode(handle, 0x09, 4), FT_OK);
        }
        EXPECT_EQ(FT_SetBaudRate(handle, 10000), FT_OK);
        EXPECT_EQ(FT_SetBitMode(handle, 0x09, 4), FT_OK);
        EXPECT_EQ(FT_Close(handle), FT_OK);
        const std::vector<VendorRequest> settings = portSettings(*chip);
        EXPECT_EQ(std::count(settings.begin(), settings.end(), VendorRequest{0x03, 0x012C, 0}), 1);
    }
}
