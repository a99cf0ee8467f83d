// morvane: the configuration program for KMR drives running the Ferrox firmware.
#include "command_line.h"
#include "link_test.h"
#include "morvane.h"
#include "morvane_subcommands.h"
#include "program_versions.h"
#include "report_subcommand.h"
#include "startup.h"

int main(int argc, char** argv) {
    using namespace command_line;
    const std::vector<Subcommand> subcommands{
        backupSubcommand(),   restoreSubcommand(), stepTestSubcommand(), tuneSubcommand(),
        showSubcommand(),     diffSubcommand(),    diagnoseSubcommand(), disableSubcommand(),
        linkTestSubcommand(), reportSubcommand()};
    const std::string help = subcommandHelp("morvane", subcommands);
    const startup::ProgramInfo info{"morvane", KMR_MORVANE_VERSION,
                                    "Configures KMR-20/30 drives running the Ferrox firmware.",
                                    drive_link::LinkDialect::Firmware, help.c_str()};
    if (hasSubcommand(argc, argv)) {
        return runSubcommand(argc, argv, info, subcommands);
    }
    Q_INIT_RESOURCE(morvane);
    return startup::runProgram(argc, argv, info, [](const drive_link::LinkSettings& link) {
        Morvane* window = new Morvane(link);
        window->resize(300, 400);
        return window;
    });
}
