// The progress of a subcommand's long work: the runner shows it as a line on a terminal's
// standard error, or as JSON events on standard output with --json.
#pragma once

#include <QString>

namespace command_line {

// One step of the work: its phase ("connect", "erase", "write", "verify", "import", "apply",
// "read-back", "download") and, where it counts, how far it is (done of total).
void reportProgress(const QString& phase, int done = 0, int total = 0);

// Where the runner wants the progress of this run: nowhere (the default, and what a script
// reading standard error gets), a line rewritten in place on the terminal's standard error, or
// JSON events written to `jsonFd`.
enum class ProgressDisplay { None, TerminalLine, JsonEvents };
void showProgressAs(ProgressDisplay display, int jsonFd = -1);

// errno of the first JSON event that standard output did not take since showProgressAs (a
// closed pipe, a full disk), 0 when all were taken: the run's record on standard output has a
// hole. The events after it are not tried.
int progressWriteError();

// Takes the terminal's progress line away, so that the next line on standard error starts
// clean; the line comes back with the next step.
void clearProgressLine();

}  // namespace command_line
