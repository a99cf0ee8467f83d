// The shared command line and the widget style.
#include <gtest/gtest.h>

#include <QApplication>
#include <QStyle>
#include <QStyleFactory>
#include <string>
#include <vector>

#include "output_capture.h"
#include "startup.h"

namespace {
const ProgramInfo kInfo{"morvane", "1.0.0", "Drive configuration.", drive_sim::SimOptions{},
                        LinkDialect::Firmware};

StartupChoice parse(std::vector<std::string> args) {
    args.insert(args.begin(), "morvane");
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(&arg[0]);
    }
    return parseCommandLine(int(argv.size()), argv.data(), kInfo);
}
}  // namespace

TEST(CommandLine, NoOptionsUsesTheRealAdapter) {
    StartupChoice choice = parse({});
    EXPECT_FALSE(choice.exitNow);
    EXPECT_FALSE(choice.simulate);
}

TEST(CommandLine, HelpAndVersionPrintAndExitCleanly) {
    OutputCapture capture;
    StartupChoice help = parse({"--help"});
    StartupChoice version = parse({"--version"});
    EXPECT_TRUE(help.exitNow);
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(version.exitNow);
    EXPECT_EQ(version.exitCode, 0);
    std::string out = capture.out();
    EXPECT_NE(out.find("Usage: morvane [--simulate[=KEY=VALUE,...]]"), std::string::npos);
    EXPECT_NE(out.find("morvane 1.0.0\n"), std::string::npos);
    EXPECT_EQ(capture.err(), "");
}

TEST(CommandLine, SimulateTakesItsSettings) {
    StartupChoice plain = parse({"--simulate"});
    EXPECT_TRUE(plain.simulate);
    EXPECT_FALSE(plain.exitNow);
    EXPECT_EQ(plain.sim.mode, drive_sim::DriveMode::Firmware);

    StartupChoice tuned = parse({"--simulate=mode=bootloader,power=off,ber=1e-3,latency=2"});
    ASSERT_FALSE(tuned.exitNow);
    EXPECT_EQ(tuned.sim.mode, drive_sim::DriveMode::Bootloader);
    EXPECT_FALSE(tuned.sim.powered);
    EXPECT_DOUBLE_EQ(tuned.sim.bitErrorRate, 1e-3);
    EXPECT_DOUBLE_EQ(tuned.sim.latencyMs, 2.0);
}

TEST(CommandLine, BadValuesAndUnknownOptionsAreRefusedWithExitCode2) {
    for (const char* bad : {"--simulate=ber=lots", "--simulate=mode=turbo", "--simulate=colour=red",
                            "--simulte", "extra"}) {
        OutputCapture capture;
        StartupChoice choice = parse({bad});
        EXPECT_TRUE(choice.exitNow) << bad;
        EXPECT_EQ(choice.exitCode, 2) << bad;
        EXPECT_NE(capture.err().find("morvane: "), std::string::npos) << bad;
        EXPECT_EQ(capture.out(), "") << bad;
    }
}

TEST(CommandLine, HelpVersionAndRefusedValuesAreDecidedBeforeTheWindowSystem) {
    std::string name = "morvane", help = "--help", version = "--version", other = "--simulate",
                good = "--simulate=ber=1e-3,power=off", bad = "--simulate=latency=-1",
                qtOption = "-platform";
    auto decided = [&](std::vector<std::string*> args) {
        std::vector<char*> argv{&name[0]};
        for (std::string* arg : args) {
            argv.push_back(&(*arg)[0]);
        }
        return decidedWithoutWindow(int(argv.size()), argv.data());
    };
    EXPECT_TRUE(decided({&other, &help}));
    EXPECT_TRUE(decided({&version}));
    EXPECT_TRUE(decided({&bad}));
    EXPECT_FALSE(decided({&other}));
    EXPECT_FALSE(decided({&good}));
    // The toolkit's own options are its business, once the application object exists.
    EXPECT_FALSE(decided({&qtOption, &good}));
}

TEST(WidgetStyle, PlastiqueWhereAvailableOtherwiseFusion) {
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    ASSERT_NE(app, nullptr);
    OutputCapture capture;
    applyWidgetStyle(*app);
    QStringList keys = QStyleFactory::keys();
    QString expected = keys.contains("Plastique", Qt::CaseInsensitive) ? "plastique" : "fusion";
    EXPECT_EQ(QApplication::style()->objectName().toLower(), expected);
    EXPECT_EQ(capture.err(), "");
}
