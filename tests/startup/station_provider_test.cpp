// A station's fixtures in one process: each link opens its own simulated adapter by port path,
// with the fixture's own drive, and the links are worked from two threads at once.
#include <gtest/gtest.h>

#include <thread>

#include "bootloader_operations.h"
#include "drive_link.h"
#include "provider.h"
#include "startup_options.h"
#include "station_provider.h"

using namespace drive_link;

namespace {
startup::StartupChoice simulated() {
    startup::StartupChoice choice;
    choice.simulate = true;
    return choice;
}

// Whether the drive behind `port` answers as the firmware, read over a link of its own.
void askDrive(const std::string& port, bool& opened, bool& firmware, bool& error) {
    Link link(LinkDialect::Bootloader);
    link.setTraceSink(discardingTrace());
    link.useAdapterAt(port);
    opened = link.open(false);
    for (int round = 0; round < 20 && opened; ++round) {
        firmware = bootloader::answersAsFirmware(link, error);
    }
    link.close();
}
}  // namespace

TEST(StationProvider, EachFixtureHasItsOwnDriveOpenAtOnce) {
    QString why;
    ASSERT_TRUE(startup::installStationProvider(
        simulated(), {{"1-1", "mode=bootloader"}, {"1-2", "mode=firmware"}}, why));
    bool opened[2] = {}, firmware[2] = {}, error[2] = {};
    std::thread second(askDrive, "1-2", std::ref(opened[1]), std::ref(firmware[1]),
                       std::ref(error[1]));
    askDrive("1-1", opened[0], firmware[0], error[0]);
    second.join();
    EXPECT_TRUE(opened[0] && opened[1]);
    EXPECT_FALSE(firmware[0]);
    EXPECT_TRUE(firmware[1]);
    EXPECT_FALSE(error[0] || error[1]);

    // One handle per adapter, as a real one; a port without an adapter is not there.
    FT_HANDLE first = nullptr, again = nullptr, missing = nullptr;
    char port[] = "1-1", nowhere[] = "1-9";
    EXPECT_EQ(FT_OpenEx(port, FT_OPEN_BY_PORT_PATH, &first), FT_OK);
    EXPECT_EQ(FT_OpenEx(port, FT_OPEN_BY_PORT_PATH, &again), FT_DEVICE_NOT_OPENED);
    EXPECT_EQ(FT_OpenEx(nowhere, FT_OPEN_BY_PORT_PATH, &missing), FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(FT_Close(first), FT_OK);
    EXPECT_EQ(FT_Close(first), FT_INVALID_HANDLE);
    installD2xxProvider(nullptr);
}

TEST(StationProvider, AFixturesBadSimulateKeysAreRefused) {
    installD2xxProvider(nullptr);
    QString why;
    EXPECT_FALSE(
        startup::installStationProvider(simulated(), {{"1-1", ""}, {"1-2", "ber=x"}}, why));
    EXPECT_TRUE(why.startsWith("fixture 2: simulate: ")) << why.toStdString();
    EXPECT_EQ(installedD2xxProvider(), nullptr);
}
