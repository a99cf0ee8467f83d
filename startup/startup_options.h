// What both programs judge before any work, window or subcommand: the command line's options,
// among them the adapter or simulated drive they choose. Qt Core only.
#pragma once

#include <QStringList>
#include <memory>
#include <string>

#include "drive_link.h"

namespace drive_sim {
struct SimOptions;
}

namespace startup {

struct ProgramInfo {
    const char* name;                 // executable name, e.g. "morvane"
    const char* version;              // e.g. "1.0.0"
    const char* summary;              // one line for --help
    drive_link::LinkDialect dialect;  // also the simulated drive's default: firmware or bootloader
    const char* moreHelp = "";        // the end of --help: the subcommands and their exit codes
};

struct StartupChoice {
    bool exitNow = false;  // --help, --version, --list-adapters or a refused option
    int exitCode = 0;
    bool simulate = false;
    // The simulation as --simulate described it on top of the program's drive mode, its state
    // file already read; none: the defaults. Read only by installProvider.
    std::shared_ptr<const drive_sim::SimOptions> simulation;
    std::string adapter;  // --adapter: a serial number, BUS:DEV or PORT; empty for the first one
    drive_link::LinkSettings link;  // --link and --word-gap
};

// Whether the toolkit has already taken its own options (single-dash ones such as -platform,
// and their values) out of argv. Before it has, they are left for it and the rest is judged.
enum class ToolkitOptions { StillInArgv, TakenOut };

// Reads --help, --version, --list-adapters, --adapter=SERIAL|BUS:DEV|PORT and
// --simulate[=KEY=VALUE,...]. Help, version and the adapter list go to standard output; a
// refused option or argument gets a message on standard error and exit code 2. The line is read
// once before the application object exists, so that all of this works without a display, and once
// after.
StartupChoice parseCommandLine(int argc, char** argv, const ProgramInfo& info,
                               ToolkitOptions toolkit = ToolkitOptions::TakenOut);

// Judges the values of --adapter and --simulate, every value given of each, so that a repeat is
// refused: they exclude each other, and --simulate's keys are read on top of the program's
// drive mode (its state file with them). A refused value gets a message on standard error and
// exit code 2.
StartupChoice judgeAdapterOptions(const QStringList& adapterValues,
                                  const QStringList& simulateValues, const ProgramInfo& info);

// Judges --link=standard|fast and --word-gap=MICROSECONDS into `settings`: the reason they are
// refused (a repeat, an unknown mode, a gap that is no whole number from 0 to 10000, a gap
// without the fast link), or an empty text.
QString judgeLinkOptions(const QStringList& linkValues, const QStringList& gapValues,
                         drive_link::LinkSettings& settings);

}  // namespace startup
