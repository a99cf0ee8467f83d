// What no transcript can show: a reported success always means that the drive's flash holds the
// image word for word, whatever the line did to the frames on the way.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <algorithm>

#include "bootloader.h"
#include "drive_link.h"
#include "firmware_image.h"
#include "flasher_workflows.h"
#include "output_capture.h"
#include "sim_fixture.h"
#include "transcript.h"
#include "vlf_writer.h"

using namespace drive_link;
using namespace flasher;

namespace {
struct Flash {
    bool claimedSuccess = false;
    bool flashHoldsImage = false;
};

// Connects (up to three tries, as a user would), loads a 40-packet image and flashes it.
Flash flashOverNoisyLine(double bitErrorRate, uint64_t seed, const std::vector<uint16_t>& words,
                         const QString& file) {
    drive_sim::LinkFaults faults;
    faults.bitErrorRate = bitErrorRate;
    faults.seed = seed;
    auto bootloader = drive_sim::makeBootloader(drive_sim::BootloaderSettings{});
    const drive_sim::SimulatedBootloader& drive = *bootloader;
    drive_sim::SimulatedAdapter& adapter = installSimulatedDrive(std::move(bootloader), faults);
    Link link(LinkDialect::Bootloader);
    Transcript transcript(adapter);
    FlasherRecorder ui(transcript.sink());
    OutputCapture quiet;
    for (int attempt = 0; attempt < 3 && !transcript.text().contains("\nconnected\n"); ++attempt) {
        connectBootloader(link, ui);
    }
    ui.fileAnswer = file;
    const OpenedImage opened = openFirmwareFile(ui);
    flashFirmware(link, ui, opened.image);
    return {transcript.text().contains("Flashing successful"),
            std::equal(words.begin(), words.end(), drive.flash().begin()) &&
                drive.packetsProgrammed() == int(words.size() / kPacketWords)};
}
}  // namespace

TEST(FlashOverANoisyLine, NeverClaimsAFlashThatDidNotHappen) {
    vlf::ImageLayout image;
    image.words = vlf::patternPackets(40, 11);
    QTemporaryDir dir;
    std::string error;
    ASSERT_TRUE(vlf::writeImage(dir.filePath("image.vlf").toStdString(), image, error));
    int successes = 0;
    int failures = 0;
    // A flash is some 600 000 bits on the line: 3e-4 stops every one, 5e-7 lets most through.
    const std::pair<double, uint64_t> lines[] = {{3e-4, 1}, {3e-4, 2}, {3e-4, 3}, {5e-7, 4},
                                                 {5e-7, 5}, {5e-7, 6}, {5e-7, 7}};
    for (const auto& line : lines) {
        SCOPED_TRACE(line.second);
        const Flash flash =
            flashOverNoisyLine(line.first, line.second, image.words, dir.filePath("image.vlf"));
        if (flash.claimedSuccess) {
            ++successes;
            EXPECT_TRUE(flash.flashHoldsImage);
        } else {
            ++failures;
        }
    }
    EXPECT_GT(failures, 0) << "the noise must have stopped some flashes";
    EXPECT_GT(successes, 0) << "and let some through, so that both outcomes were checked";
}
