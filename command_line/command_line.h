// The programs' subcommands: `tressel flash IMAGE.vlf`, `morvane diagnose`, ... run the windows'
// workflows on a core application, without a display.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "startup.h"

struct SubcommandResult {
    int exitCode;
    QString line;  // the one line of standard output
};

struct Subcommand {
    const char* name;      // e.g. "flash"
    const char* argument;  // its one argument, e.g. "IMAGE.vlf", or nullptr for none
    const char* summary;   // one line for --help
    // Runs with the argument (empty when there is none) and the --power-cycle-wait seconds.
    std::function<SubcommandResult(const QString& argument, double powerCycleWaitSeconds)> run;
};

// Whether the first argument names a subcommand rather than a window option.
bool hasSubcommand(int argc, char** argv);

// Parses the line, installs the adapter or simulated drive, runs the subcommand with the
// transaction trace kept off standard output, and prints its result line there.
int runSubcommand(int argc, char** argv, const ProgramInfo& info,
                  const std::vector<Subcommand>& subcommands);

// The help's lines on the subcommands and their exit codes.
std::string subcommandHelp(const char* program, const std::vector<Subcommand>& subcommands);
