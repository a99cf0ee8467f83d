#include "startup.h"

#include "sim_options.h"

#include <QApplication>
#include <QStyle>
#include <QStyleFactory>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "provider.h"

namespace {
void printHelp(const ProgramInfo& info) {
    std::printf(
        "Usage: %s [SUBCOMMAND] [--adapter=SERIAL|BUS:DEV | --simulate[=KEY=VALUE,...]]\n"
        "%s\n\n"
        "Options:\n"
        "  --help                 show this text and exit\n"
        "  --version              show the version and exit\n"
        "  --list-adapters        list the FTDI adapters on the USB bus (bus:device, product,\n"
        "                         serial number) and exit\n"
        "  --adapter=SERIAL       use the FTDI adapter with this serial number instead of the\n"
        "  --adapter=BUS:DEV      first one, or the one at this bus and device number\n"
        "  --simulate[=OPTIONS]   use the built-in simulated adapter and drive instead of an\n"
        "                         FTDI adapter. OPTIONS, separated by commas:\n"
        "                           mode=firmware|bootloader  what the drive runs (default %s)\n"
        "                           power=on|off              drive logic supply (default on)\n"
        "                           ber=RATE                  bit-error rate of the line, e.g. "
        "1e-3\n"
        "                           latency=MS                time of one USB transfer (default "
        "%g)\n"
        "                           seed=N                    seed of the line's bit errors, to "
        "replay a run\n"
        "                                                     (default: a fresh one, shown when "
        "ber is set)\n"
        "                           state=FILE                keep what the drive stores "
        "(settings, flash)\n"
        "                                                     in FILE from one run to the next\n"
        "                           clamp=NUMBER:MAX          the drive keeps at most MAX in "
        "parameter\n"
        "                                                     NUMBER whenever it is written\n",
        info.name, info.summary, info.dialect == LinkDialect::Firmware ? "firmware" : "bootloader",
        drive_sim::SimOptions{}.latencyMs);
    std::fputs(info.moreHelp, stdout);
}

StartupChoice refuse(const ProgramInfo& info, const std::string& why) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", info.name, why.c_str(), info.name);
    StartupChoice choice;
    choice.exitNow = true;
    choice.exitCode = 2;
    return choice;
}

StartupChoice listAdapters() {
    StartupChoice choice;
    choice.exitNow = true;
    int count = listLibftdiAdapters(stdout);
    if (count < 0) {
        std::fprintf(stderr, "The USB bus could not be read.\n");
        choice.exitCode = 1;
    } else if (count == 0) {
        std::fprintf(stderr, "No FTDI adapter found.\n");
    }
    return choice;
}

// The value of "--name=value" in `arg`, if `arg` is that option.
bool optionValue(const std::string& arg, const std::string& name, std::string& value) {
    if (arg.rfind(name + "=", 0) != 0) {
        return false;
    }
    value = arg.substr(name.size() + 1);
    return true;
}
}  // namespace

StartupChoice parseCommandLine(int argc, char** argv, const ProgramInfo& info,
                               ToolkitOptions toolkit) {
    StartupChoice choice;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        if (arg == "--help" || arg == "-h") {
            printHelp(info);
            choice.exitNow = true;
            return choice;
        }
        if (arg == "--version") {
            std::printf("%s %s\n", info.name, info.version);
            choice.exitNow = true;
            return choice;
        }
        if (arg == "--list-adapters") {
            return listAdapters();
        }
        if (arg == "--simulate" || optionValue(arg, "--simulate", value)) {
            choice.simulate = true;
            drive_sim::SimOptions checked;
            std::string error;
            if (!drive_sim::parseSimOptions(value, checked, error)) {
                return refuse(info, error);
            }
            choice.simulateOptions =
                std::string(info.dialect == LinkDialect::Firmware ? "mode=firmware"
                                                                  : "mode=bootloader") +
                (value.empty() ? "" : "," + value);
            continue;
        }
        if (optionValue(arg, "--adapter", value) || arg == "--adapter") {
            if (value.empty()) {
                return refuse(info, "--adapter needs a serial number or BUS:DEV");
            }
            choice.adapter = value;
            continue;
        }
        if (toolkit == ToolkitOptions::StillInArgv && arg.rfind("--", 0) != 0) {
            continue;  // the toolkit's to judge, once it has taken its own
        }
        return refuse(info, "unknown option '" + arg + "'");
    }
    return choice;
}

bool displayAvailable(int argc, char** argv) {
    for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(variable);
        if (value && *value) {
            return true;
        }
    }
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0) {
            return true;
        }
    }
    return false;
}

void installProvider(const StartupChoice& choice) {
    if (choice.simulate) {
        drive_sim::SimOptions sim;
        std::string error;
        drive_sim::parseSimOptions(choice.simulateOptions, sim, error);  // checked when read
        uint64_t seed = 0;
        installD2xxProvider(drive_sim::makeSimulatedAdapter(sim, &seed));
        // A noisy run is worth replaying only when its seed is known.
        if (sim.bitErrorRate > 0.0 && !sim.seed) {
            std::fprintf(stderr, "Simulated line: bit-error rate %g, seed=%llu\n", sim.bitErrorRate,
                         static_cast<unsigned long long>(seed));
        }
    } else {
        installD2xxProvider(makeLibftdiProvider(choice.adapter));
    }
}

void applyWidgetStyle(QApplication& app) {
    for (const char* name : {"Plastique", "Fusion"}) {
        if (QStyle* style = QStyleFactory::create(name)) {
            app.setStyle(style);
            return;
        }
    }
    std::fprintf(stderr,
                 "Neither the Plastique nor the Fusion widget style is available; using "
                 "the platform default.\n");
}

int runProgram(int argc, char** argv, const ProgramInfo& info,
               const std::function<QWidget*()>& makeWindow) {
    // Help, version, the adapter list and a refused option need no display, so they are
    // answered before the toolkit starts; without a display the toolkit would abort.
    const StartupChoice early = parseCommandLine(argc, argv, info, ToolkitOptions::StillInArgv);
    if (early.exitNow) {
        return early.exitCode;
    }
    if (!displayAvailable(argc, argv)) {
        std::fprintf(stderr,
                     "%s: no display to show the window on: DISPLAY and WAYLAND_DISPLAY are not "
                     "set. Start it from a desktop session.\n",
                     info.name);
        return 1;
    }
    QApplication app(argc, argv);
    const StartupChoice choice = parseCommandLine(argc, argv, info);
    if (choice.exitNow) {
        return choice.exitCode;
    }
    applyWidgetStyle(app);
    installProvider(choice);
    setLinkDialect(info.dialect);
    QWidget* window = makeWindow();
    window->show();
    return app.exec();
}
