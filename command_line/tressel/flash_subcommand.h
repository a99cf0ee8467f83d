// tressel flash IMAGE.vlf: the window's Open firmware file, Connect and Flash firmware from a
// shell, as every front end that flashes units runs them.
#pragma once

#include "command_line.h"
#include "flasher_command_line.h"

namespace command_line {

// Open firmware file, Connect and Flash firmware, in the order a script can check them; the
// first that does not succeed ends the attempt with its failure.
SubcommandResult flashImageFile(const QString& file, FlasherCommandLine& frontEnd,
                                drive_link::Link& link);

Subcommand flashSubcommand();

}  // namespace command_line
