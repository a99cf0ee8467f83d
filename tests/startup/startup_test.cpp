// The shared command line and the widget style.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "output_capture.h"
#include "sim_options.h"
#include "startup.h"

using namespace drive_link;
using namespace startup;

namespace {
const ProgramInfo kInfo{"morvane", "1.0.0", "Drive configuration.", LinkDialect::Firmware};

// Parses a command line of the program's name and `args`.
StartupChoice parse(std::vector<std::string> args,
                    ToolkitOptions toolkit = ToolkitOptions::TakenOut) {
    args.insert(args.begin(), "morvane");
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(&arg[0]);
    }
    return parseCommandLine(int(argv.size()), argv.data(), kInfo, toolkit);
}
}  // namespace

TEST(CommandLine, RealAdapterByDefaultAndSimulateHandsOnItsSettings) {
    StartupChoice real = parse({});
    EXPECT_FALSE(real.exitNow || real.simulate);
    StartupChoice plain =
        parse({"-style", "x", "-reverse", "--simulate"}, ToolkitOptions::StillInArgv);
    EXPECT_TRUE(plain.simulate && !plain.exitNow);
    ASSERT_TRUE(plain.simulation);
    EXPECT_EQ(plain.simulation->mode, drive_sim::DriveMode::Firmware);
    // The whole value is handed on; what each key does, the subcommands' exit codes show.
    StartupChoice tuned = parse({"--simulate=mode=bootloader,power=off,ber=1e-3,latency=2"});
    ASSERT_TRUE(tuned.simulation);
    EXPECT_EQ(tuned.simulation->latencyMs, 2);
    EXPECT_EQ(parse({"--adapter", "3:17"}).adapter, "3:17");
}

// Answered before the toolkit starts: help and version on standard output, refusals on standard
// error with exit code 2.
TEST(CommandLine, HelpVersionAndRefusalsExitAtOnce) {
    const std::pair<std::vector<std::string>, std::string> rows[] = {
        {{"-h"}, "Usage: morvane [SUBCOMMAND] [--adapter="},
        {{"--version"}, "morvane 1.0.0\n"},
        {{"--simulate=colour=red"}, "morvane: unknown key 'colour'"},
        {{"-platform", "xcb", "--simulate", "extra"}, "morvane: unexpected argument 'extra'"},
        {{"--adapter", "--simulate"}, "morvane: --adapter needs a serial number or BUS:DEV"},
        {{"--adapter=1:4", "--adapter=1:5"}, "morvane: --adapter given more than once"},
        {{"--adapter=1:4", "--simulate"}, "morvane: --adapter and --simulate exclude each other"},
        {{"-platform"}, "morvane: Missing value after '-platform'."},
    };
    for (const auto& [args, shownFirst] : rows) {
        OutputCapture capture;
        StartupChoice choice = parse(args, ToolkitOptions::StillInArgv);
        const std::string out = capture.out(), err = capture.err();
        capture.stop();
        const bool refused = shownFirst.rfind("morvane: ", 0) == 0;
        EXPECT_TRUE(choice.exitNow && choice.exitCode == (refused ? 2 : 0)) << shownFirst;
        EXPECT_EQ((refused ? err : out).rfind(shownFirst, 0), 0u) << out << err;
        EXPECT_EQ(refused ? out : err, "");
        EXPECT_EQ(err.find("\nTry 'morvane --help'.\n") != std::string::npos, refused) << err;
    }
}
