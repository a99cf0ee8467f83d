// The --simulate value: what it accepts, what it refuses, and the drive it builds.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <clocale>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "bootloader.h"
#include "drive_link.h"
#include "drive_state.h"
#include "provider.h"
#include "sim_options.h"

using namespace drive_link;

using drive_sim::DriveMode;
using drive_sim::SimOptions;

namespace {
SimOptions parsed(const std::string& text, SimOptions options = {}) {
    std::string error;
    EXPECT_TRUE(drive_sim::parseSimOptions(text, options, error)) << text << ": " << error;
    EXPECT_EQ(error, "") << text;
    return options;
}

// The message that refuses `text`; the options it was given stay as they were.
std::string refusal(const std::string& text) {
    SimOptions options;
    options.latencyMs = 7.0;
    options.bitErrorRate = 0.5;
    std::string error;
    EXPECT_FALSE(drive_sim::parseSimOptions(text, options, error)) << text;
    EXPECT_NE(error, "") << text;
    EXPECT_DOUBLE_EQ(options.latencyMs, 7.0) << text;
    EXPECT_DOUBLE_EQ(options.bitErrorRate, 0.5) << text;
    EXPECT_EQ(options.mode, DriveMode::Firmware) << text;
    EXPECT_EQ(options.stateFile, "") << text;
    return error;
}

// Installs the adapter the options describe and reads one raw no-op reply.
uint32_t noOpReplyWith(const std::string& text, bool& error) {
    installD2xxProvider(drive_sim::makeSimulatedAdapter(parsed(text)));
    drive_link::Link link;
    EXPECT_TRUE(link.open(true));
    link.setQuietTrace(true);
    uint32_t raw = 0xDEADBEEF;
    link.transact(2, 0, error, &raw);
    link.setQuietTrace(false);
    return raw;
}
}  // namespace

TEST(SimOptionsParser, AcceptsEachKeyUpToItsLimitsOnTopOfTheGivenDefaults) {
    SimOptions defaults = parsed("");
    EXPECT_EQ(defaults.mode, DriveMode::Firmware);
    EXPECT_TRUE(defaults.powered);
    EXPECT_EQ(defaults.bitErrorRate, 0.0);
    EXPECT_GT(defaults.latencyMs, 0.0);

    SimOptions all = parsed("latency=2,ber=0.25,power=off,mode=bootloader");
    EXPECT_EQ(all.mode, DriveMode::Bootloader);
    EXPECT_FALSE(all.powered);
    EXPECT_DOUBLE_EQ(all.bitErrorRate, 0.25);
    EXPECT_DOUBLE_EQ(all.latencyMs, 2.0);
    EXPECT_EQ(parsed("mode=bootloader,mode=firmware").mode, DriveMode::Firmware);  // last wins
    EXPECT_TRUE(parsed("power=off,power=on").powered);
    EXPECT_DOUBLE_EQ(parsed("ber=1e-3").bitErrorRate, 1e-3);
    EXPECT_DOUBLE_EQ(parsed("ber=1").bitErrorRate, 1.0);
    EXPECT_DOUBLE_EQ(parsed("latency=0").latencyMs, 0.0);
    EXPECT_DOUBLE_EQ(parsed("latency=1000").latencyMs, 1000.0);
    EXPECT_EQ(parsed("ber=0", all).mode, DriveMode::Bootloader);  // the flasher's default mode
    EXPECT_FALSE(defaults.seed.has_value());
    EXPECT_EQ(defaults.plugInAfterS, 0.0);
    EXPECT_DOUBLE_EQ(parsed("plug_in_after=2.5").plugInAfterS, 2.5);
    EXPECT_EQ(parsed("plug_in_after=3600").plugInAfterS, 3600.0);
    EXPECT_EQ(parsed("seed=0").seed, 0u);
    EXPECT_EQ(parsed("seed=18446744073709551615").seed, UINT64_MAX);
    // Given twice, the last state= is the only one read.
    QTemporaryDir dir;
    const std::string file = dir.filePath("drive.state").toStdString();
    EXPECT_EQ(parsed("state=/no/such/folder/drive.state,state=" + file).stateFile, file);
    EXPECT_NE(refusal("state=" + file + ",state=/no/such/folder/x").find("/no/such/folder/x"),
              std::string::npos);

    // The axis's mechanics, each key at and inside its limits (the factory axis by default: the
    // step test below).
    const drive_sim::AxisMechanics machine =
        parsed("inertia=6e-5,viscous=0,coulomb=0.02,load=-10,kt=10,gain_scale=0.5").mechanics;
    EXPECT_DOUBLE_EQ(machine.inertia, 6e-5);
    EXPECT_EQ(machine.viscousFriction, 0.0);
    EXPECT_DOUBLE_EQ(machine.coulombFriction, 0.02);
    EXPECT_EQ(machine.load, -10.0);
    EXPECT_EQ(machine.torqueConstant, 10.0);
    EXPECT_EQ(machine.gainScale, 0.5);
    EXPECT_EQ(parsed("inertia=1,gain_scale=100").mechanics.gainScale, 100.0);

    // Numbers read the same in a locale with a decimal comma (the build makes it; see
    // tests/drive_sim/CMakeLists.txt). Without the locale the test fails rather than passing idly.
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    setenv("LOCPATH", KMR_TEST_LOCALES, 1);
    ASSERT_NE(std::setlocale(LC_NUMERIC, "de_DE.UTF-8"), nullptr);
    ASSERT_EQ(std::string(std::localeconv()->decimal_point), ",");
    EXPECT_DOUBLE_EQ(parsed("latency=0.5").latencyMs, 0.5);
    EXPECT_DOUBLE_EQ(parsed("ber=2.5e-3").bitErrorRate, 2.5e-3);
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(SimOptionsParser, RefusesMalformedValuesWithAMessageAndLeavesTheOptionsAlone) {
    // Separated by spaces, none of which a refused text holds; the last line is the list's own
    // syntax and a key that does not exist.
    std::istringstream bad(
        "mode =firmware mode= mode=turbo MODE=firmware power=maybe power= "
        "ber=lots ber=2 ber=-0.1 ber=nan ber=inf ber=1e-3x "
        "latency=-1 latency= latency=1ms latency=1000.5 "
        "seed= seed=-1 seed=1.5 seed=0x10 seed=18446744073709551616 "
        "state= state=/no/such/folder/drive.state "
        "after_flash=config after_flash=firmware,state=drive.state "
        "plug_in_after=-1 plug_in_after= plug_in_after=3600.5 plug_in_after=2s "
        "clamp=200 clamp=200:65536 clamp=200:-1 clamp=199:100 clamp=:100 "
        "inertia=0 inertia=-2e-5 inertia=1.5 inertia= viscous=-1e-6 coulomb=heavy coulomb=10.5 "
        "load=-11 kt=0 kt=0.05Nm gain_scale=0 gain_scale=101 gain_scale=nan "
        "mode=firmware, ,mode=firmware power=on,,ber=0 mode=firmware;power=on colour=red");
    int refused = 0;
    for (std::string text; bad >> text; ++refused) {
        refusal(text);
    }
    EXPECT_EQ(refused, 53);
    EXPECT_EQ(refusal("ber=lots"), "ber must be a number from 0 to 1, not 'lots'");
    EXPECT_NE(refusal("colour=red").find("'colour'"), std::string::npos);
    EXPECT_EQ(refusal("kt=0"), "kt must be a number of Nm/A from 0 (not included) to 10, not '0'");
    EXPECT_EQ(refusal("plug_in_after=1h"),
              "plug_in_after must be a number of seconds from 0 to 3600, not '1h'");
}

// What the mode, the power and the error rate build, the subcommands show (subcommands_test).
TEST(SimulatedAdapterFromOptions, TheSeedReplaysTheLinesErrors) {
    bool error = false;
    // At a rate of one half, a reply is all chance.
    const uint32_t first = noOpReplyWith("ber=0.5,seed=9,latency=0", error);
    EXPECT_EQ(noOpReplyWith("ber=0.5,seed=9,latency=0", error), first);
    EXPECT_NE(noOpReplyWith("ber=0.5,seed=10,latency=0", error), first);
}

namespace {
using Frames = std::vector<std::pair<uint8_t, uint16_t>>;

// One run of a program with --simulate=TEXT: its drive, which gets `frames`, then reports what
// it holds.
struct DriveRun {
    const char* options;
    Frames frames;
    uint16_t gainP;               // parameter 200 read back after the frames
    std::vector<uint16_t> flash;  // the first words of the flash after the frames (bootloader)
};

void replay(const DriveRun& run) {
    auto adapter = drive_sim::makeSimulatedAdapter(parsed(run.options));
    adapter->powerCycle();
    auto& drive = adapter->personality();
    for (const auto& [command, value] : run.frames) {
        drive.execute(command, value);
    }
    if (auto* bootloader = dynamic_cast<drive_sim::SimulatedBootloader*>(&drive)) {
        const std::vector<uint16_t>& flash = bootloader->flash();
        EXPECT_EQ(std::vector<uint16_t>(flash.begin(), flash.begin() + run.flash.size()), run.flash)
            << run.options;
    } else {
        EXPECT_EQ(dynamic_cast<drive_sim::FerroxFirmware&>(drive).param(200), run.gainP)
            << run.options;
    }
}

Frames setGainP(uint16_t value, bool store) {
    Frames frames{{50, value}, {51, 200}};
    if (store) {
        frames.push_back({3, 0});
    }
    return frames;
}

// Erase, then one packet of 72 words counting up from 1.
Frames flashOnePacket() {
    Frames frames{{9, 0xC308}};
    frames.insert(frames.end(), 40, {1, 0});  // the erase keeps the bootloader busy
    for (uint16_t word = 1; word <= 72; ++word) {
        frames.push_back({19, word});
    }
    frames.push_back({17, 0});
    return frames;
}
}  // namespace

TEST(SimulatedDriveState, OneFileKeepsStoredSettingsAndFlashAcrossRunsAndClampsHold) {
    QTemporaryDir dir;
    const std::string file = dir.filePath("drive.state").toStdString();
    const std::string state = ",state=" + file;
    const std::vector<uint16_t> factory = drive_sim::factoryFlash(3);
    const std::vector<uint16_t> flashed{1, 2, 3};
    const DriveRun runs[] = {
        {"mode=firmware", setGainP(900, true), 900, {}},  // stored in this run only
        {"mode=bootloader", flashOnePacket(), 0, flashed},
        {"mode=firmware", {}, 650, {}},
        {"mode=bootloader", {}, 0, factory},
        // A clamped parameter keeps at most its limit, and only that parameter is clamped.
        {"clamp=200:700", setGainP(900, false), 700, {}},
        {"clamp=200:700,clamp=201:1", setGainP(600, false), 600, {}},
    };
    for (const DriveRun& run : runs) {
        replay(run);
    }
    const DriveRun kept[] = {
        {"mode=firmware", {}, 650, {}},  // no file yet: the factory drive
        {"mode=bootloader", flashOnePacket(), 0, flashed},
        {"mode=firmware", setGainP(900, true), 900, {}},   // keeps the flash in the file
        {"mode=firmware", setGainP(901, false), 901, {}},  // running only: lost at power-off
        {"mode=firmware", {}, 900, {}},
        {"mode=bootloader", {}, 0, flashed},
    };
    for (const DriveRun& run : kept) {
        replay({(std::string(run.options) + state).c_str(), run.frames, run.gainP, run.flash});
    }

    std::ifstream saved(file);
    const std::string whole((std::istreambuf_iterator<char>(saved)), {});
    const std::pair<std::string, const char*> damaged[] = {
        {"", "does not start with 'kmr-simulated-drive-state 1'"},
        {"[Axis 1]\nP gain=650\n", "does not start with"},
        {"kmr-simulated-drive-state 2\nend\n", "format 'kmr-simulated-drive-state 2' is not"},
        {whole.substr(0, whole.size() - 4), "the end line is missing"},
        {whole.substr(0, whole.size() - 20), "line 9: not what a state file holds here"},
        {whole + "end\n", "line 11: text after the end line"},
        {"kmr-simulated-drive-state 1\nflash 262144 erased 2\n00a0 ABCD\nend\n",
         "line 3: not what a state file holds here"},
    };
    for (const auto& [contents, why] : damaged) {
        std::ofstream(file, std::ios::trunc) << contents;
        const std::string error = refusal("state=" + file);
        EXPECT_NE(error.find("state file '" + file + "' is damaged"), std::string::npos) << error;
        EXPECT_NE(error.find(why), std::string::npos) << error;
    }
}

// The file keeps the flash up to its last word that differs from the shorter base, whichever
// block of the comparison that word falls in, and reading it back gives the same flash.
TEST(SimulatedDriveState, FlashIsKeptUpToItsLastChangedWord) {
    using drive_sim::FlashBase;
    const size_t words = drive_sim::BootloaderSettings{}.flashWords;
    drive_sim::DriveState state;
    drive_sim::DriveState read;
    std::string why;
    for (const FlashBase base : {FlashBase::Erased, FlashBase::Factory}) {
        for (const size_t changed : {size_t(0), size_t(63), size_t(64), size_t(4095), size_t(4096),
                                     size_t(65536 + 100), words - 1, words}) {
            drive_sim::makeFlash(state.flash, base, words);
            if (changed < words) {
                state.flash[changed] ^= 0x0100;
            }
            const std::string text = drive_sim::driveStateText(state);
            // Differing from both bases up to the last word, it is written over an erased one.
            const bool overErased = base == FlashBase::Erased || changed == words - 1;
            const std::string expected = "flash " + std::to_string(words) +
                                         (overErased ? " erased " : " factory ") +
                                         std::to_string(changed < words ? changed + 1 : 0) + '\n';
            EXPECT_NE(text.find(expected), std::string::npos) << changed << '\n' << expected;
            ASSERT_TRUE(drive_sim::parseDriveState(text, read, why)) << why;
            EXPECT_EQ(read.flash, state.flash) << changed;
        }
    }
    // Read into a state that held something: nothing of it stays.
    ASSERT_TRUE(drive_sim::parseDriveState(
        "kmr-simulated-drive-state 1\nstored-parameters 1\n410 2000\nend\n", read, why));
    EXPECT_TRUE(read.flash.empty());
    ASSERT_TRUE(drive_sim::parseDriveState("kmr-simulated-drive-state 1\nend\n", read, why));
    EXPECT_TRUE(read.storedParamChanges.empty());
}

// A change the drive has not saved yet (saves come at most every 200 ms) is saved when the
// program asks, so that a save that fails there is known before the run reports its end.
TEST(SimulatedDriveState, AChangeLeftToSaveIsSavedWhenAskedAndItsFailureKnown) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("drive"));
    const std::string file = dir.filePath("drive/state").toStdString();
    auto adapter = drive_sim::makeSimulatedAdapter(parsed("latency=0,state=" + file));
    adapter->powerCycle();
    auto& drive = adapter->personality();
    const auto store = [&drive](uint16_t gainP) {
        for (const auto& [command, value] : setGainP(gainP, true)) {
            drive.execute(command, value);
        }
    };
    store(700);  // saved at once
    store(710);  // left for later
    drive_sim::saveDriveStatesNow();
    std::ifstream saved(file);
    const std::string text((std::istreambuf_iterator<char>(saved)), {});
    EXPECT_NE(text.find("\n200 710\n"), std::string::npos) << text;
    EXPECT_FALSE(drive_sim::driveStateLost());

    ASSERT_TRUE(QDir(dir.filePath("drive")).removeRecursively());
    store(720);
    drive_sim::saveDriveStatesNow();
    EXPECT_TRUE(drive_sim::driveStateLost());
}

TEST(SimulatedAdapterFromOptions, TheStepTestRunsOnTheAxisTheMechanicsDescribe) {
    const auto peakError = [](const char* options) {
        auto adapter = drive_sim::makeSimulatedAdapter(parsed(options));
        adapter->powerCycle();
        auto& drive = dynamic_cast<drive_sim::FerroxFirmware&>(adapter->personality());
        drive.execute(41, 0);
        return int(drive.param(6091));
    };
    const int factory = peakError("latency=0");
    EXPECT_GT(factory, 5);
    EXPECT_EQ(peakError("latency=0,inertia=2e-5,kt=0.05,gain_scale=1"), factory);
    // Twice the torque per ampere with half the controller: the injection pushes twice as hard.
    EXPECT_GT(peakError("latency=0,kt=0.1,gain_scale=0.5"), factory * 3 / 2);
    EXPECT_LT(peakError("latency=0,gain_scale=2"), factory * 3 / 4);
    EXPECT_GT(peakError("latency=0,coulomb=0,viscous=0"), factory);
}
