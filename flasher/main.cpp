// tressel: the firmware flasher for KMR drives in bootloader mode.
#include "command_line.h"
#include "command_line_front_end.h"
#include "firmware_image.h"
#include "flasher_window.h"
#include "flasher_workflows.h"
#include "program_versions.h"
#include "startup.h"

namespace {
// Open firmware file, Connect and Flash firmware, in the order a script can check them.
SubcommandResult flash(const SubcommandCall& call) {
    const QString& image = call.argument;
    FlasherCommandLine frontEnd(image, call.powerCycleWaitSeconds);
    openFirmwareFile(frontEnd);
    if (frontEnd.accepted) {
        connectBootloader(frontEnd);
        if (frontEnd.connected) {
            flashFirmware(frontEnd);
        }
    }
    const int code = frontEnd.report.exitCode();
    if (code == kExitDone && frontEnd.connected) {
        return {kExitDone,
                QString("flashed and verified: %1 (%2 packets)")
                    .arg(image)
                    .arg(firmwareImage.packetCount),
                image, frontEnd.bootloaderVersion};
    }
    return {code == kExitDone ? kExitNoDrive : code, "failed: " + frontEnd.report.lastMessage(),
            image, frontEnd.bootloaderVersion};
}
}  // namespace

int main(int argc, char** argv) {
    const std::vector<Subcommand> subcommands{
        {"flash", "IMAGE.vlf", "erase, write and verify the drive's flash with the image", flash}};
    const std::string help = subcommandHelp("tressel", subcommands);
    const ProgramInfo info{"tressel", KMR_TRESSEL_VERSION,
                           "Writes a .vlf firmware image into a KMR drive through its bootloader.",
                           LinkDialect::Bootloader, help.c_str()};
    if (hasSubcommand(argc, argv)) {
        return runSubcommand(argc, argv, info, subcommands);
    }
    Q_INIT_RESOURCE(tressel);
    return runProgram(argc, argv, info, [] { return new Morvane; });
}
