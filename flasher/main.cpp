// tressel: the firmware flasher for KMR drives in bootloader mode.
#include "command_line.h"
#include "command_line_front_end.h"
#include "firmware_image.h"
#include "flasher_window.h"
#include "flasher_workflows.h"
#include "startup.h"

namespace {
// Open firmware file, Connect and Flash firmware, in the order a script can check them.
SubcommandResult flash(const SubcommandCall& call) {
    const QString& image = call.argument;
    FlasherCommandLine frontEnd(image, call.powerCycleWaitSeconds);
    openFirmwareFile(frontEnd);
    QString version;
    if (frontEnd.accepted) {
        connectBootloader(frontEnd);
        // Read now: a link lost during the flash drops the version with the connection.
        if (frontEnd.connection.version >= 0) {
            version = QString::number(frontEnd.connection.version);
        }
        if (frontEnd.connection.connected) {
            flashFirmware(frontEnd);
        }
    }
    const int code = frontEnd.report.exitCode();
    if (code == kExitDone && frontEnd.connection.connected) {
        return {kExitDone,
                QString("flashed and verified: %1 (%2 packets)")
                    .arg(image)
                    .arg(firmwareImage.packetCount),
                image, version};
    }
    return {code == kExitDone ? kExitNoDrive : code, "failed: " + frontEnd.report.lastMessage(),
            image, version};
}
}  // namespace

int main(int argc, char** argv) {
    const std::vector<Subcommand> subcommands{
        {"flash", "IMAGE.vlf", "erase, write and verify the drive's flash with the image", flash}};
    const std::string help = subcommandHelp("tressel", subcommands);
    const ProgramInfo info{"tressel", "2.0",
                           "Writes a .vlf firmware image into a KMR drive through its bootloader.",
                           LinkDialect::Bootloader, help.c_str()};
    if (hasSubcommand(argc, argv)) {
        return runSubcommand(argc, argv, info, subcommands);
    }
    Q_INIT_RESOURCE(tressel);
    return runProgram(argc, argv, info, [] { return new Morvane; });
}
