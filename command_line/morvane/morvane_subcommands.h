// morvane's subcommands, each a workflow of config_tool/ run from a shell: the program's entry
// point lists them.
#pragma once

#include "command_line.h"

namespace command_line {

Subcommand backupSubcommand();
Subcommand restoreSubcommand();
Subcommand stepTestSubcommand();
Subcommand tuneSubcommand();
Subcommand showSubcommand();
Subcommand diffSubcommand();
Subcommand diagnoseSubcommand();
Subcommand disableSubcommand();

}  // namespace command_line
