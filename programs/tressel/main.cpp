// tressel: the firmware flasher for KMR drives in bootloader mode.
#include "command_line.h"
#include "flash_subcommand.h"
#include "flasher_window.h"
#include "link_test.h"
#include "program_versions.h"
#include "report_subcommand.h"
#include "startup.h"
#include "station_program.h"

using command_line::hasSubcommand;
using command_line::runSubcommand;
using command_line::Subcommand;
using command_line::SubcommandCall;
using command_line::subcommandHelp;
using command_line::SubcommandResult;
using drive_link::LinkDialect;
using startup::ProgramInfo;
using startup::runProgram;

int main(int argc, char** argv) {
    const std::vector<Subcommand> subcommands{command_line::flashSubcommand(),
                                              command_line::linkTestSubcommand(),
                                              command_line::reportSubcommand()};
    // The station is a window: its line is in the help, not among the subcommands.
    const std::string help = subcommandHelp("tressel", subcommands) +
                             "  tressel station JOB [--simulate[=...]]  the flashing station's "
                             "window for a job file\n";
    const ProgramInfo info{"tressel", KMR_TRESSEL_VERSION,
                           "Writes a .vlf firmware image into a KMR drive through its bootloader.",
                           LinkDialect::Bootloader, help.c_str()};
    if (gui_station::asksForStation(argc, argv)) {
        return gui_station::runStation(argc, argv, info);
    }
    if (hasSubcommand(argc, argv)) {
        return runSubcommand(argc, argv, info, subcommands);
    }
    Q_INIT_RESOURCE(tressel);
    return runProgram(argc, argv, info,
                      [](const drive_link::LinkSettings& link) { return new Morvane(link); });
}
