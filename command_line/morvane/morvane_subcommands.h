// morvane's subcommands, each a workflow of config_tool/ run from a shell: the program's entry
// point lists them.
#pragma once

#include "command_line.h"
#include "morvane_command_line.h"

namespace command_line {

// Open configuration with `file`, Connect, Apply and the read-back of every setting: restore, as
// every front end that configures a drive from a file runs it (the flashing station's tiles too).
SubcommandResult restoreSettingsFile(const QString& file, MorvaneCommandLine& frontEnd,
                                     drive_link::Link& link);

Subcommand backupSubcommand();
Subcommand restoreSubcommand();
Subcommand stepTestSubcommand();
Subcommand tuneSubcommand();
Subcommand showSubcommand();
Subcommand diffSubcommand();
Subcommand diagnoseSubcommand();
Subcommand disableSubcommand();

}  // namespace command_line
