// What both programs say of their command line: --help, and a refusal with where to look.
#pragma once

#include <QString>

#include "startup_options.h"

namespace startup {

// A refused command line on standard error: "NAME: WHY", then where to look ("Try 'NAME
// --help'."). Both the windows' options and the subcommands are refused so.
void printRefusal(const ProgramInfo& info, const QString& why);

// The text of --help on standard output, the subcommands' part from `info.moreHelp` included.
void printProgramHelp(const ProgramInfo& info);

}  // namespace startup
