// The fast link streams a packet's 216 frames in one go, so its safety rests on one rule: no
// packet is programmed after a frame of it failed. A broken reply at every position proves it.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <algorithm>

#include "bootloader.h"
#include "bootloader_protocol.h"
#include "drive_link.h"
#include "flasher_workflows.h"
#include "output_capture.h"
#include "recording_front_end.h"
#include "sim_fixture.h"
#include "vlf_writer.h"

using namespace drive_link;
using namespace flasher;

namespace {
constexpr int kPacketRunFrames = 3 * 72;  // each data word with the two no-ops after it

// The bootloader with the answer to one command, counted from the drive's first frame, broken.
// The drive shifts an answer out two frames after its command.
class OneBrokenAnswer : public drive_sim::DrivePersonality {
public:
    explicit OneBrokenAnswer(long brokenFrame)
        : inner_(drive_sim::makeBootloader(quick())), brokenFrame_(brokenFrame) {}
    void powerUp() override { inner_->powerUp(); }
    drive_sim::Answer execute(uint8_t command, uint16_t value) override {
        drive_sim::Answer answer = inner_->execute(command, value);
        if (frames_++ == brokenFrame_) {
            answer.raw ^= 1;
        }
        return answer;
    }
    uint32_t powerUpReply() const override { return inner_->powerUpReply(); }

private:
    static drive_sim::BootloaderSettings quick() {
        drive_sim::BootloaderSettings settings;
        settings.eraseBusyFrames = 1;
        settings.programBusyFrames = 1;
        return settings;
    }
    std::unique_ptr<drive_sim::SimulatedBootloader> inner_;
    long brokenFrame_;
    long frames_ = 0;
};

struct Flashed {
    Outcome outcome;
    std::vector<drive_sim::FrameRecord> frames;
};

Flashed flashOnePacketFast(const QString& image, long brokenFrame) {
    drive_sim::SimulatedAdapter& adapter =
        installSimulatedDrive(std::make_unique<OneBrokenAnswer>(brokenFrame));
    Link link(LinkDialect::Bootloader, {LinkMode::Fast, 0});
    link.setTraceSink(discardingTrace());
    FlasherRecorder ui([](const QString&) {});
    ui.fileAnswer = image;
    OutputCapture quiet;
    const OpenedImage opened = openFirmwareFile(ui);
    EXPECT_TRUE(connectBootloader(link, ui).outcome.succeeded());
    return {flashFirmware(link, ui, opened.image), adapter.frameLog()};
}

long countOf(const std::vector<drive_sim::FrameRecord>& frames, uint16_t command) {
    return std::count_if(frames.begin(), frames.end(), [command](const drive_sim::FrameRecord& f) {
        return f.command == command;
    });
}
}  // namespace

TEST(FastLinkFlash, ABrokenReplyAnywhereInAPacketKeepsItFromBeingProgrammed) {
    QTemporaryDir dir;
    vlf::ImageLayout layout;
    layout.words = vlf::patternPackets(1, 3);
    std::string error;
    ASSERT_TRUE(vlf::writeImage(dir.filePath("one.vlf").toStdString(), layout, error)) << error;
    const QString image = dir.filePath("one.vlf");

    const Flashed clean = flashOnePacketFast(image, -1);
    ASSERT_TRUE(clean.outcome.succeeded());
    ASSERT_EQ(countOf(clean.frames, bootloader::kProgramPacket), 1);
    const auto firstWord = std::find_if(
        clean.frames.begin(), clean.frames.end(),
        [](const drive_sim::FrameRecord& f) { return f.command == bootloader::kDataWord; });
    const long runStart = long(firstWord - clean.frames.begin());

    for (int position = 0; position < kPacketRunFrames; ++position) {
        SCOPED_TRACE(position);
        const Flashed broken = flashOnePacketFast(image, runStart + position - 2);
        EXPECT_EQ(broken.outcome.failure, Failure::LinkLost);
        EXPECT_EQ(countOf(broken.frames, bootloader::kProgramPacket), 0);
        // The whole packet went out as one stream before any reply was looked at.
        EXPECT_EQ(countOf(broken.frames, bootloader::kDataWord), 72);
    }
}
