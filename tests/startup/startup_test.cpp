// The shared command line and the widget style.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "output_capture.h"
#include "startup.h"

namespace {
const ProgramInfo kInfo{"morvane", "1.0.0", "Drive configuration.", LinkDialect::Firmware};

// Runs `check` on a command line of the program's name and `args`.
template <typename Check>
auto withArgs(std::vector<std::string> args, Check check) {
    args.insert(args.begin(), "morvane");
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(&arg[0]);
    }
    return check(int(argv.size()), argv.data());
}

StartupChoice parse(std::vector<std::string> args,
                    ToolkitOptions toolkit = ToolkitOptions::TakenOut) {
    return withArgs(args, [toolkit](int argc, char** argv) {
        return parseCommandLine(argc, argv, kInfo, toolkit);
    });
}
}  // namespace

TEST(CommandLine, HelpAndVersionPrintAndExitCleanly) {
    for (const char* option : {"--help", "--version"}) {
        OutputCapture capture;
        StartupChoice choice = parse({option});
        EXPECT_TRUE(choice.exitNow);
        EXPECT_EQ(choice.exitCode, 0);
        EXPECT_NE(capture.out().find(option == std::string("--help")
                                         ? "Usage: morvane [SUBCOMMAND] [--adapter="
                                         : "morvane 1.0.0\n"),
                  std::string::npos);
        EXPECT_EQ(capture.err(), "");
    }
}

TEST(CommandLine, RealAdapterByDefaultAndSimulateHandsOnItsSettings) {
    StartupChoice real = parse({});
    EXPECT_FALSE(real.exitNow || real.simulate);
    StartupChoice plain = parse({"--simulate"});
    EXPECT_TRUE(plain.simulate && !plain.exitNow);
    EXPECT_EQ(plain.simulateOptions, "mode=firmware");
    StartupChoice tuned = parse({"--simulate=mode=bootloader,power=off,ber=1e-3,latency=2"});
    EXPECT_TRUE(tuned.simulate && !tuned.exitNow);
    EXPECT_EQ(tuned.simulateOptions, "mode=firmware,mode=bootloader,power=off,ber=1e-3,latency=2");
    EXPECT_EQ(parse({"--adapter=FT4XQ2ZB"}).adapter, "FT4XQ2ZB");
    EXPECT_EQ(parse({"--adapter=3:17"}).adapter, "3:17");
}

TEST(CommandLine, BadValuesAndUnknownOptionsAreRefusedWithExitCode2) {
    for (const char* bad : {"--simulate=ber=lots", "--simulate=mode=turbo", "--simulate=colour=red",
                            "--simulte", "extra", "--adapter", "--adapter="}) {
        OutputCapture capture;
        StartupChoice choice = parse({bad});
        EXPECT_TRUE(choice.exitNow) << bad;
        EXPECT_EQ(choice.exitCode, 2) << bad;
        EXPECT_NE(capture.err().find("morvane: "), std::string::npos) << bad;
        EXPECT_EQ(capture.out(), "") << bad;
    }
}
