// What each workflow returns, per way it can end: the command line's exit codes are made from
// these values, and the transcripts show only the messages.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <functional>

#include "bootloader.h"
#include "drive_link.h"
#include "flash_procedure.h"
#include "flash_time.h"
#include "flasher_workflows.h"
#include "output_capture.h"
#include "recording_front_end.h"
#include "sim_fixture.h"
#include "vlf_writer.h"

using namespace drive_link;
using namespace flasher;

namespace {
constexpr Failure kCancelled = Failure(-1);  // the table's mark for a cancelled outcome

Failure failureOf(const Outcome& outcome) {
    return outcome.cancelled ? kCancelled : outcome.failure;
}

QString writeImage(const QTemporaryDir& dir, const char* name, size_t packets) {
    vlf::ImageLayout image;
    image.words = vlf::patternPackets(packets, 5);
    std::string error;
    EXPECT_TRUE(vlf::writeImage(dir.filePath(name).toStdString(), image, error)) << error;
    return dir.filePath(name);
}
}  // namespace

TEST(FlasherOutcomes, EachWayAWorkflowEndsIsItsOutcome) {
    QTemporaryDir dir;
    const QString image = writeImage(dir, "image.vlf", 1);
    const QString empty = writeImage(dir, "empty.vlf", 0);
    using Drive = drive_sim::BootloaderSettings;
    using Line = drive_sim::LinkFaults;
    using Setup = std::function<void(Drive&, Line&)>;
    struct Case {
        const char* name;
        Setup setup;
        QString file;
        Failure open, connect, flash;  // the flash runs only after an image and a bootloader
    };
    const Setup asIs = [](Drive&, Line&) {};
    const Failure none = Failure::None;
    // A missing file and a missing adapter end the subcommands with 3 and 4 (subcommands_test).
    const Case cases[] = {
        {"flashed and verified", asIs, image, none, none, none},
        {"no file chosen", asIs, "", kCancelled, none, none},
        {"image without packets", asIs, empty, Failure::FileRefused, none, none},
        {"unsupported bootloader", [](Drive& drive, Line&) { drive.version = 108; }, image, none,
         Failure::NoDrive, none},
        {"fault bits", [](Drive& drive, Line&) { drive.faultBits = 0x0040; }, image, none, none,
         Failure::DriveFailed},
        {"unexpected state", [](Drive& drive, Line&) { drive.unexpectedStatusAfterBusy = true; },
         image, none, none, Failure::DriveFailed},
        {"verification fails", [](Drive& drive, Line&) { drive.failVerification = true; }, image,
         none, none, Failure::DriveFailed},
        // Connect takes 11 frames; the drive stops in the first packet.
        {"silent drive", [](Drive&, Line& line) { line.stopAnsweringAfterFrames = 30; }, image,
         none, none, Failure::LinkLost},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Drive settings;
        settings.eraseBusyFrames = 2;
        Line faults;
        c.setup(settings, faults);
        installSimulatedDrive(drive_sim::makeBootloader(settings), faults);
        Link link(LinkDialect::Bootloader);
        FlasherRecorder ui([](const QString&) {});
        ui.fileAnswer = c.file;
        OutputCapture quiet;
        const OpenedImage opened = openFirmwareFile(ui);
        EXPECT_EQ(failureOf(opened.outcome), c.open);
        EXPECT_EQ(opened.image.packetCount, opened.outcome.succeeded() ? 1 : 0);
        const FoundBootloader found = connectBootloader(link, ui);
        EXPECT_EQ(failureOf(found.outcome), c.connect);
        EXPECT_EQ(found.version, found.outcome.succeeded() ? 109 : -1);
        if (opened.outcome.succeeded() && found.outcome.succeeded()) {
            EXPECT_EQ(failureOf(flashFirmware(link, ui, opened.image)), c.flash);
        }
    }
}

// The count a flash's time is estimated from is the count a flash sends, busy polls aside.
TEST(FlasherOutcomes, FramesToFlashCountsTheFramesAFlashSends) {
    QTemporaryDir dir;
    for (size_t packets : {1, 3}) {
        SCOPED_TRACE(packets);
        drive_sim::BootloaderSettings settings;
        settings.eraseBusyFrames = 0;
        settings.programBusyFrames = 0;
        drive_sim::SimulatedAdapter& adapter =
            installSimulatedDrive(drive_sim::makeBootloader(settings));
        Link link(LinkDialect::Bootloader);
        FlasherRecorder ui([](const QString&) {});
        ui.fileAnswer = writeImage(dir, "image.vlf", packets);
        OutputCapture quiet;
        const OpenedImage opened = openFirmwareFile(ui);
        const bool connected = connectBootloader(link, ui).outcome.succeeded();
        const size_t connectFrames = adapter.frameLog().size();
        const bool flashed = connected && flashFirmware(link, ui, opened.image).succeeded();
        const size_t flashFrames = adapter.frameLog().size() - connectFrames;
        quiet.stop();
        EXPECT_TRUE(flashed);
        EXPECT_EQ(flashFrames, size_t(framesToFlash(int(packets))));
    }
}
