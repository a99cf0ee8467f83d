#include "link_test.h"

#include "command_line_front_end.h"
#include "connect_probe.h"
#include "flash_procedure.h"
#include "link_check.h"

namespace command_line {

using drive_link::LinkDialect;
using drive_link::LinkMeasurement;

namespace {
constexpr int kMostFrames = 1000000;

const QCommandLineOption kFramesOption("frames", "frames to send, 1 to 1000000 (default 1000)", "N",
                                       "1000");

QString framesRefusal(const QCommandLineParser& parser) {
    bool isNumber = false;
    const int frames = parser.value(kFramesOption).toInt(&isNumber);
    return isNumber && frames >= 1 && frames <= kMostFrames
               ? QString()
               : QString("--frames takes a whole number from 1 to %1").arg(kMostFrames);
}

int exitCodeOf(const LinkMeasurement& measured) {
    return measured.linkLosses    ? kExitLinkLost
           : measured.crcFailures ? kExitDriveFailed
                                  : kExitDone;
}

SubcommandResult linkTest(const SubcommandCall& call) {
    CommandLine<drive_link::FrontEnd> frontEnd(call.powerCycleWaitSeconds);
    // The same start as each program's Connect: the firmware idles with the clock high, the
    // bootloader with it low, and the flasher's instruction carries its note.
    const bool firmware = call.link.dialect() == LinkDialect::Firmware;
    const drive_link::Outcome probed = drive_link::openAndProbeDrive(
        call.link, frontEnd, firmware,
        firmware ? QString()
                 : frontEnd.translate(" Note: this program doesn't support KMR-10 model."));
    if (!probed.succeeded()) {
        return {
            command_line::exitCodeOf(probed), "failed: " + frontEnd.report.lastMessage(), {}, {}};
    }
    const LinkMeasurement measured =
        drive_link::measureLink(call.link, call.parser.value(kFramesOption).toInt());
    const double flashSeconds =
        flasher::framesToFlash(kReferenceFlashPackets) * measured.msPerFrame() / 1000;
    const int exitCode = exitCodeOf(measured);
    SubcommandResult result{
        exitCode,
        QString("%1%2 frames: %3 frames/s, %4 ms/frame, %5 CRC failures, %6 link losses; a "
                "%7-packet flash: %8 s on the link")
            .arg(exitCode == kExitDone ? "" : "failed: ")
            .arg(measured.frames)
            .arg(measured.framesPerSecond(), 0, 'f', 1)
            .arg(measured.msPerFrame(), 0, 'f', 3)
            .arg(measured.crcFailures)
            .arg(measured.linkLosses)
            .arg(kReferenceFlashPackets)
            .arg(flashSeconds, 0, 'f', 0),
        {},
        {}};
    result.details = {{"frames", measured.frames},
                      {"frames_per_second", measured.framesPerSecond()},
                      {"ms_per_frame", measured.msPerFrame()},
                      {"crc_failures", measured.crcFailures},
                      {"link_losses", measured.linkLosses},
                      {"flash_120_packets_s", flashSeconds}};
    return result;
}
}  // namespace

Subcommand linkTestSubcommand() {
    return {"link-test",
            nullptr,
            "connect, send harmless frames, print the link's speed and errors",
            linkTest,
            {kFramesOption},
            framesRefusal};
}

}  // namespace command_line
