// `tressel report LOG...` and `morvane report LOG...`: the production line's yields, failures,
// adapters and durations from its logs, the same subcommand in both programs. It reads files only.
#pragma once

#include "command_line.h"

namespace command_line {

// Reads the logs named (`-`: standard input; our log lines or `journalctl -o json` output,
// other lines skipped and counted) and prints the report: text, the figures as the --json result,
// and with --html=FILE a page written whole or not at all. Exit code 0 when the report was made,
// whatever it shows; 2 when a log cannot be read, 3 when the page cannot be written.
Subcommand reportSubcommand();

}  // namespace command_line
