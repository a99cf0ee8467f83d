// What every morvane subcommand that works on a drive begins with.
#pragma once

#include "command_line.h"
#include "exit_codes.h"
#include "morvane_command_line.h"
#include "morvane_workflows.h"

namespace command_line {

// Connect, then one drive workflow: the first outcome that is not done gives the exit code, the
// last message shown the reason.
template <class Then>
SubcommandResult connectThen(drive_link::Link& link, MorvaneCommandLine& frontEnd, Then then) {
    const config_tool::ConnectOutcome connected = config_tool::connectDrive(link, frontEnd);
    const QString version =
        connected.firmwareVersion < 0 ? QString() : QString::number(connected.firmwareVersion);
    const drive_link::Outcome outcome =
        connected.outcome.succeeded() ? then(frontEnd) : connected.outcome;
    if (outcome.succeeded()) {
        return {kExitDone, {}, {}, version};
    }
    return {exitCodeOf(outcome), "failed: " + frontEnd.report.lastMessage(), {}, version};
}

template <class Then>
SubcommandResult connectThen(const SubcommandCall& call, Then then) {
    MorvaneCommandLine frontEnd(call.powerCycleWaitSeconds);
    return connectThen(call.link, frontEnd, then);
}

}  // namespace command_line
