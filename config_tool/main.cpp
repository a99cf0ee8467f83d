// morvane: the configuration program for KMR drives running the Ferrox firmware.
#include "command_line.h"
#include "command_line_front_end.h"
#include "morvane.h"
#include "morvane_workflows.h"
#include "startup.h"

namespace {
// Connect, then one drive workflow; its outcome is what it showed.
template <class Then>
SubcommandResult connectThen(const SubcommandCall& call, Then then) {
    MorvaneCommandLine frontEnd(call.powerCycleWaitSeconds);
    connectDrive(frontEnd);
    if (frontEnd.connected) {
        then(frontEnd);
    }
    const int code = frontEnd.report.exitCode();
    const QString version = frontEnd.storedFirmwareVersion() < 0
                                ? QString()
                                : QString::number(frontEnd.storedFirmwareVersion());
    if (code == kExitDone && frontEnd.connected) {
        return {kExitDone, {}, {}, version};
    }
    return {code == kExitDone ? kExitNoDrive : code,
            "failed: " + frontEnd.report.lastMessage(),
            {},
            version};
}

SubcommandResult diagnose(const SubcommandCall& call) {
    QString report;
    SubcommandResult result = connectThen(call, [&](MorvaneCommandLine& frontEnd) {
        showDiagnosis(frontEnd);
        report = frontEnd.report.lastText("Diagnosis");
    });
    if (result.exitCode == kExitDone) {
        result.line = report;
    }
    return result;
}

SubcommandResult disable(const SubcommandCall& call) {
    SubcommandResult result = connectThen(call, disableDrive);
    if (result.exitCode == kExitDone) {
        result.line = "drive disabled";
    }
    return result;
}
}  // namespace

int main(int argc, char** argv) {
    const std::vector<Subcommand> subcommands{
        {"diagnose", nullptr, "connect and print the drive diagnosis report", diagnose},
        {"disable", nullptr, "connect and switch the drive's power stage off", disable}};
    const std::string help = subcommandHelp("morvane", subcommands);
    const ProgramInfo info{"morvane", "1.0.0",
                           "Configures KMR-20/30 drives running the Ferrox firmware.",
                           LinkDialect::Firmware, help.c_str()};
    if (hasSubcommand(argc, argv)) {
        return runSubcommand(argc, argv, info, subcommands);
    }
    Q_INIT_RESOURCE(morvane);
    return runProgram(argc, argv, info, [] {
        Morvane* window = new Morvane;
        window->resize(300, 400);
        return window;
    });
}
