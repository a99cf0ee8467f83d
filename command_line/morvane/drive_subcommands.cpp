// diagnose and disable: Connect, then the window's Drive diagnosis or Disable.
#include "connect_then.h"
#include "morvane_subcommands.h"

namespace command_line {

using config_tool::DiagnosisOutcome;
using config_tool::disableDrive;
using config_tool::DriveSettings;
using config_tool::showDiagnosis;
using drive_link::Failure;
using drive_link::MessageKind;
using drive_link::Outcome;

namespace {
SubcommandResult diagnose(const SubcommandCall& call) {
    QString report;
    SubcommandResult result = connectThen(call, [&](MorvaneCommandLine& frontEnd) {
        const DiagnosisOutcome diagnosed = showDiagnosis(call.link, frontEnd);
        report = withoutMarkup(diagnosed.report);
        return diagnosed.outcome;
    });
    if (result.exitCode == kExitDone) {
        result.line = report;
    }
    return result;
}

SubcommandResult disable(const SubcommandCall& call) {
    SubcommandResult result = connectThen(
        call, [&](MorvaneCommandLine& frontEnd) { return disableDrive(call.link, frontEnd); });
    if (result.exitCode == kExitDone) {
        result.line = "drive disabled";
    }
    return result;
}
}  // namespace

Subcommand diagnoseSubcommand() {
    return {"diagnose", nullptr, "connect and print the drive diagnosis report", diagnose};
}

Subcommand disableSubcommand() {
    return {"disable", nullptr, "connect and switch the drive's power stage off", disable};
}

}  // namespace command_line
