// The D2XX provider a program's choice installs, the real adapter's or the simulated drive's, and
// what the choice says of the adapters and of the simulated drive's state file.
#pragma once

#include <string>

#include "startup_options.h"

namespace startup {

// For work that must not guess which drive it is meant for (the subcommands): true, with the
// list of adapters on standard error, when no adapter is named and several are plugged in.
bool adapterIsAmbiguous(const StartupChoice& choice, const ProgramInfo& info);

// Installs the simulated drive or the libftdi1 adapter as the D2XX provider.
void installProvider(const StartupChoice& choice);

// The file the simulated drive of `choice` keeps its state in; empty for none.
std::string simulatedDriveStateFile(const StartupChoice& choice);

// Whether the simulated drive could not write its state file (said on standard error).
bool simulatedDriveStateLost();

}  // namespace startup
