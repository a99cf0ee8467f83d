// The exit codes of both programs' subcommands, what a line script reads of a run.
#pragma once

#include <QString>

#include "front_end.h"

namespace command_line {

// Exit codes of the subcommands, shared by both programs.
enum ExitCode {
    kExitDone = 0,
    kExitBadCommandLine = 2,
    kExitFileRefused = 3,
    kExitNoAdapter = 4,
    kExitNoDrive = 5,
    kExitLinkLost = 6,
    kExitDriveFailed = 7,
    // The drive's work succeeded, but its line could not be written into the --log file: a unit
    // whose record is lost is not done.
    kExitNotRecorded = 8,
};

// Whether a signal (Ctrl-C, SIGTERM, SIGHUP) stopped the subcommand's run: its waits end, its
// messages are the stop's consequence and not shown.
bool workInterrupted();

// The class of a run's exit code, as the line report names it: "link_lost", "drive_failed", ...,
// "interrupted" for a stop by a signal.
QString exitClassName(int exitCode);

// The exit code of a run that ended with this outcome. A workflow cancelled did not do what the
// line asked; on a command line only a file can be missing for it.
int exitCodeOf(const drive_link::Outcome& outcome);

}  // namespace command_line
