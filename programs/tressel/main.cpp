// tressel: the firmware flasher for KMR drives in bootloader mode.
#include "command_line.h"
#include "command_line_front_end.h"
#include "flasher_window.h"
#include "flasher_workflows.h"
#include "link_test.h"
#include "program_versions.h"
#include "report_subcommand.h"
#include "startup.h"

using command_line::exitCodeOf;
using command_line::FlasherCommandLine;
using command_line::hasSubcommand;
using command_line::kExitDone;
using command_line::runSubcommand;
using command_line::Subcommand;
using command_line::SubcommandCall;
using command_line::subcommandHelp;
using command_line::SubcommandResult;
using drive_link::LinkDialect;
using drive_link::Outcome;
using flasher::connectBootloader;
using flasher::flashFirmware;
using flasher::FoundBootloader;
using flasher::OpenedImage;
using flasher::openFirmwareFile;
using startup::ProgramInfo;
using startup::runProgram;

namespace {
// Open firmware file, Connect and Flash firmware, in the order a script can check them; the
// first that does not succeed ends the run with its failure.
SubcommandResult flash(const SubcommandCall& call) {
    const QString& file = call.argument;
    FlasherCommandLine frontEnd(file, call.powerCycleWaitSeconds);
    const auto failed = [&](const Outcome& outcome, const QString& version) {
        return SubcommandResult{exitCodeOf(outcome), "failed: " + frontEnd.report.lastMessage(),
                                file, version};
    };
    const OpenedImage opened = openFirmwareFile(frontEnd);
    if (!opened.outcome.succeeded()) {
        return failed(opened.outcome, {});
    }
    const FoundBootloader found = connectBootloader(call.link, frontEnd);
    if (!found.outcome.succeeded()) {
        return failed(found.outcome, {});
    }
    const QString version = QString::number(found.version);
    const Outcome flashed = flashFirmware(call.link, frontEnd, opened.image);
    if (!flashed.succeeded()) {
        return failed(flashed, version);
    }
    return {
        kExitDone,
        QString("flashed and verified: %1 (%2 packets)").arg(file).arg(opened.image.packetCount),
        file, version};
}
}  // namespace

int main(int argc, char** argv) {
    Subcommand flashImage{"flash",
                          "IMAGE.vlf",
                          "erase, write and verify the drive's flash with the image",
                          flash,
                          {command_line::kRetriesOption}};
    flashImage.namedFiles = [](const QCommandLineParser& parser) {
        return std::vector<command_line::NamedFile>{
            {"IMAGE.vlf", parser.positionalArguments().value(1), command_line::NamedFile::Read}};
    };
    const std::vector<Subcommand> subcommands{flashImage, command_line::linkTestSubcommand(),
                                              command_line::reportSubcommand()};
    const std::string help = subcommandHelp("tressel", subcommands);
    const ProgramInfo info{"tressel", KMR_TRESSEL_VERSION,
                           "Writes a .vlf firmware image into a KMR drive through its bootloader.",
                           LinkDialect::Bootloader, help.c_str()};
    if (hasSubcommand(argc, argv)) {
        return runSubcommand(argc, argv, info, subcommands);
    }
    Q_INIT_RESOURCE(tressel);
    return runProgram(argc, argv, info,
                      [](const drive_link::LinkSettings& link) { return new Morvane(link); });
}
