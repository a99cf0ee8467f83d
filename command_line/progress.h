// The progress of a subcommand's long work: the runner shows it as a line on a terminal's
// standard error, or as JSON events on standard output with --json.
#pragma once

#include <QString>

// One step of the work: its phase ("connect", "erase", "write", "verify", "import", "apply",
// "read-back", "download") and, where it counts, how far it is (done of total).
void reportProgress(const QString& phase, int done = 0, int total = 0);
