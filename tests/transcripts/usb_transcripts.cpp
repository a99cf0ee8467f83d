// Both programs without --simulate: the libftdi1 provider, the real libftdi1 and libusb, and an
// FT232R emulated on a mocked USB bus with the simulated drive behind it. The transcript must be
// the one of the same run on the simulated adapter.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <algorithm>

#include "bootloader.h"
#include "drive_link.h"
#include "flasher_workflows.h"
#include "morvane_workflows.h"
#include "output_capture.h"
#include "settings_transfer.h"
#include "sim_fixture.h"
#include "sim_options.h"
#include "transcript.h"
#include "usb_chip_fixture.h"
#include "vlf_writer.h"

using namespace config_tool;
using namespace drive_link;
using namespace flasher;

namespace {
using Personality = std::unique_ptr<drive_sim::DrivePersonality>;

// Plays `steps` with the drive behind the emulated chip or the simulated adapter and returns
// the transcript; `chipHook` may act on the chip first.
template <class Recorder>
QString play(bool overUsb, LinkDialect dialect, Personality drive,
             const std::function<void(Link&, Recorder&)>& steps,
             const std::function<void(drive_sim::EmulatedFt232r&)>& chipHook = {},
             LinkMode mode = LinkMode::Standard) {
    OutputCapture quiet;
    std::unique_ptr<EmulatedAdapter> chip;
    FrameSource frames;
    if (overUsb) {
        chip = std::make_unique<EmulatedAdapter>(std::move(drive));
        frames = [&chip] { return (*chip)->frameLog(); };
        if (chipHook) {
            chipHook(**chip);
        }
    } else {
        drive_sim::SimulatedAdapter& adapter = installSimulatedDrive(std::move(drive));
        frames = [&adapter] { return adapter.frameLog(); };
    }
    Link link(dialect, {mode, kDefaultWordGapMicroseconds});
    Transcript transcript(frames);
    Recorder ui(transcript.sink());
    steps(link, ui);
    return transcript.text();
}

// Connect, Apply and the read-back of `morvane restore`.
void connectAndApply(Link& link, MorvaneRecorder& ui) {
    connectDrive(link, ui);
    ui.form.contents[7] = 750;  // gain P of axis 1
    const DriveSettings sent = ui.form;
    applySettings(link, ui);
    checkSettingsOnDrive(link, ui, sent);
}

// Pulls the adapter out a transfer into the second packet's stream.
drive_sim::EmulatedFt232r* chipToPull = nullptr;
class PulledAtSecondPacket : public FlasherRecorder {
public:
    using FlasherRecorder::FlasherRecorder;
    void packetStarted(int packet, int packetCount) override {
        FlasherRecorder::packetStarted(packet, packetCount);
        if (packet == 1 && chipToPull) {
            chipToPull->unplugAtTransfer(2);
        }
    }
};

// Keeps at most 500 as the P gain of axis 1.
Personality clampingFerroxDrive() {
    auto drive = drive_sim::makeFerroxFirmware();
    drive->setWriteLimit(200, 500);
    return drive;
}
}  // namespace

TEST(OnEmulatedAdapter, MorvaneConnectApplyAndReadBackAsOnTheSimulatedAdapter) {
    const QString simulated =
        play<MorvaneRecorder>(false, LinkDialect::Firmware, clampingFerroxDrive(), connectAndApply);
    const QString usb =
        play<MorvaneRecorder>(true, LinkDialect::Firmware, clampingFerroxDrive(), connectAndApply);
    EXPECT_EQ(usb.toStdString(), simulated.toStdString());
    const QString fast = play<MorvaneRecorder>(true, LinkDialect::Firmware, clampingFerroxDrive(),
                                               connectAndApply, {}, LinkMode::Fast);
    EXPECT_EQ(fast.toStdString(), simulated.toStdString());
    EXPECT_TRUE(usb.contains("status 5000: Parameters set\n")) << usb.toStdString();
    EXPECT_TRUE(
        usb.endsWith("critical|Read-back|parameter 200 sent 750, found 500|drive failed\n"));
}

TEST(OnEmulatedAdapter, MorvaneAdapterUnpluggedDuringApplyIsALostLinkAndCannotBeReopened) {
    const QString usb = play<MorvaneRecorder>(
        true, LinkDialect::Firmware, drive_sim::makeFerroxFirmware(),
        [](Link& link, MorvaneRecorder& ui) {
            connectDrive(link, ui);
            applySettings(link, ui);
            connectDrive(link, ui);
        },
        // Each frame is two word transfers, each a write and a read: some ten frames into Apply.
        [](drive_sim::EmulatedFt232r& chip) { chip.unplugAtTransfer(4 * 83); });
    EXPECT_TRUE(usb.contains("status 5000: Conneced & settings imported")) << usb.toStdString();
    EXPECT_TRUE(usb.contains("critical|CRC error|")) << usb.toStdString();
    EXPECT_TRUE(usb.endsWith("warning|Error|Unable to open USB adapter|no adapter\n"))
        << usb.toStdString();
}

TEST(OnEmulatedAdapter, TresselFlashesThreePacketsAsOnTheSimulatedAdapter) {
    QTemporaryDir dir;
    vlf::ImageLayout image;
    image.words = vlf::patternPackets(3, 7);
    std::string error;
    ASSERT_TRUE(vlf::writeImage(dir.filePath("image.vlf").toStdString(), image, error));
    const drive_sim::SimulatedBootloader* drive = nullptr;
    bool flashHoldsImage = false;
    auto connectOpenFlash = [&](Link& link, FlasherRecorder& ui) {
        connectBootloader(link, ui);
        ui.fileAnswer = dir.filePath("image.vlf");
        const OpenedImage opened = openFirmwareFile(ui);
        flashFirmware(link, ui, opened.image);
        flashHoldsImage =
            drive && std::equal(image.words.begin(), image.words.end(), drive->flash().begin());
    };
    const QString simulated = play<FlasherRecorder>(false, LinkDialect::Bootloader,
                                                    drive_sim::makeBootloader(), connectOpenFlash);
    auto bootloader = drive_sim::makeBootloader(drive_sim::BootloaderSettings{});
    drive = bootloader.get();
    const QString usb = play<FlasherRecorder>(true, LinkDialect::Bootloader, std::move(bootloader),
                                              connectOpenFlash);
    EXPECT_EQ(usb.toStdString(), simulated.toStdString());
    EXPECT_TRUE(usb.contains("information|Results|Flashing successful"));
    EXPECT_TRUE(flashHoldsImage);
    bootloader = drive_sim::makeBootloader(drive_sim::BootloaderSettings{});
    drive = bootloader.get();
    const QString fast = play<FlasherRecorder>(true, LinkDialect::Bootloader, std::move(bootloader),
                                               connectOpenFlash, {}, LinkMode::Fast);
    EXPECT_EQ(fast.toStdString(), simulated.toStdString());
    EXPECT_TRUE(flashHoldsImage);

    // Unplugged while the first packet is programmed: a lost link, and no success.
    drive = nullptr;
    const QString unplugged = play<FlasherRecorder>(
        true, LinkDialect::Bootloader, drive_sim::makeBootloader(), connectOpenFlash,
        [](drive_sim::EmulatedFt232r& chip) { chip.unplugAtTransfer(4 * 300); });
    EXPECT_TRUE(unplugged.contains("Writing packet 1/3")) << unplugged.toStdString();
    EXPECT_TRUE(unplugged.contains("critical|CRC error|")) << unplugged.toStdString();
    EXPECT_FALSE(unplugged.contains("Flashing successful")) << unplugged.toStdString();

    // The fast link streams a packet in a few transfers; pulled out in the middle of the second
    // packet's stream, the packet is not programmed and the link is lost.
    bootloader = drive_sim::makeBootloader(drive_sim::BootloaderSettings{});
    drive = bootloader.get();
    int programmed = -1;
    const QString fastUnplugged = play<PulledAtSecondPacket>(
        true, LinkDialect::Bootloader, std::move(bootloader),
        [&](Link& link, PulledAtSecondPacket& ui) {
            connectOpenFlash(link, ui);
            programmed = drive->packetsProgrammed();
        },
        [](drive_sim::EmulatedFt232r& chip) { chipToPull = &chip; }, LinkMode::Fast);
    chipToPull = nullptr;
    EXPECT_TRUE(fastUnplugged.contains("Writing packet 2/3")) << fastUnplugged.toStdString();
    EXPECT_TRUE(fastUnplugged.contains("critical|CRC error|")) << fastUnplugged.toStdString();
    EXPECT_FALSE(fastUnplugged.contains("Flashing successful")) << fastUnplugged.toStdString();
    EXPECT_EQ(programmed, 1);
}
