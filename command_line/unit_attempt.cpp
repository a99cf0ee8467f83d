#include "unit_attempt.h"

#include "flasher_workflows.h"
#include "run_record.h"

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

bool worthRetrying(int exitCode) {
    return exitCode == kExitNoDrive || exitCode == kExitLinkLost || exitCode == kExitDriveFailed;
}

QJsonObject attemptOutcome(const SubcommandResult& result, const QString& unit, int attempt,
                           bool retriesAsked) {
    QJsonObject outcome = resultObject(result);
    if (!unit.isEmpty()) {
        outcome["unit"] = unit;
    }
    if (retriesAsked) {
        outcome["attempt"] = attempt;
    }
    return outcome;
}

void markNotRecorded(SubcommandResult& result, QJsonObject& outcome) {
    if (result.exitCode == kExitDone) {
        result.exitCode = kExitNotRecorded;
        outcome["result"] = "failed";
        outcome["exit_code"] = kExitNotRecorded;
    }
}

}  // namespace command_line
