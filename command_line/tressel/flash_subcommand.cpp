#include "flash_subcommand.h"

#include "exit_codes.h"
#include "flasher_workflows.h"
#include "unit_attempt.h"

namespace command_line {

using drive_link::Outcome;

SubcommandResult flashImageFile(const QString& file, FlasherCommandLine& frontEnd,
                                drive_link::Link& link) {
    const auto failed = [&](const Outcome& outcome, const QString& version) {
        return SubcommandResult{exitCodeOf(outcome), "failed: " + frontEnd.report.lastMessage(),
                                file, version};
    };
    const flasher::OpenedImage opened = flasher::openFirmwareFile(frontEnd);
    if (!opened.outcome.succeeded()) {
        return failed(opened.outcome, {});
    }
    const flasher::FoundBootloader found = flasher::connectBootloader(link, frontEnd);
    if (!found.outcome.succeeded()) {
        return failed(found.outcome, {});
    }
    const QString version = QString::number(found.version);
    const Outcome flashed = flasher::flashFirmware(link, frontEnd, opened.image);
    if (!flashed.succeeded()) {
        return failed(flashed, version);
    }
    return {
        kExitDone,
        QString("flashed and verified: %1 (%2 packets)").arg(file).arg(opened.image.packetCount),
        file, version};
}

namespace {
SubcommandResult flash(const SubcommandCall& call) {
    FlasherCommandLine frontEnd(call.argument, call.powerCycleWaitSeconds);
    return command_line::flashImageFile(call.argument, frontEnd, call.link);
}
}  // namespace

Subcommand flashSubcommand() {
    Subcommand flashImage{"flash",
                          "IMAGE.vlf",
                          "erase, write and verify the drive's flash with the image",
                          flash,
                          {kRetriesOption}};
    flashImage.namedFiles = [](const QCommandLineParser& parser) {
        return std::vector<NamedFile>{
            {"IMAGE.vlf", parser.positionalArguments().value(1), NamedFile::Read}};
    };
    return flashImage;
}

}  // namespace command_line
