#include "startup.h"

#include <QApplication>
#include <QStyle>
#include <QStyleFactory>
#include <QWidget>
#include <cstdio>
#include <cstring>

#include "provider.h"

namespace {
void printHelp(const ProgramInfo& info) {
    std::printf(
        "Usage: %s [--simulate[=KEY=VALUE,...]]\n"
        "%s\n\n"
        "Options:\n"
        "  --help                 show this text and exit\n"
        "  --version              show the version and exit\n"
        "  --simulate[=OPTIONS]   use the built-in simulated adapter and drive instead of the\n"
        "                         first FTDI adapter. OPTIONS, separated by commas:\n"
        "                           mode=firmware|bootloader  what the drive runs (default %s)\n"
        "                           power=on|off              drive logic supply (default on)\n"
        "                           ber=RATE                  bit-error rate of the line, e.g. "
        "1e-3\n"
        "                           latency=MS                time of one USB transfer (default "
        "%g)\n"
        "                           seed=N                    seed of the line's bit errors, to "
        "replay a run\n"
        "                                                     (default: a fresh one, shown when "
        "ber is set)\n",
        info.name, info.summary,
        info.simDefaults.mode == drive_sim::DriveMode::Firmware ? "firmware" : "bootloader",
        info.simDefaults.latencyMs);
}

StartupChoice refuse(const ProgramInfo& info, const std::string& why) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", info.name, why.c_str(), info.name);
    StartupChoice choice;
    choice.exitNow = true;
    choice.exitCode = 2;
    return choice;
}
}  // namespace

StartupChoice parseCommandLine(int argc, char** argv, const ProgramInfo& info) {
    StartupChoice choice;
    choice.sim = info.simDefaults;
    const std::string simulate = "--simulate";
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
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
        if (arg == simulate || arg.rfind(simulate + "=", 0) == 0) {
            choice.simulate = true;
            std::string error;
            std::string settings =
                arg.size() > simulate.size() ? arg.substr(simulate.size() + 1) : "";
            if (!drive_sim::parseSimOptions(settings, choice.sim, error)) {
                return refuse(info, error);
            }
            continue;
        }
        return refuse(info, "unknown option '" + arg + "'");
    }
    return choice;
}

bool decidedWithoutWindow(int argc, char** argv) {
    const std::string simulate = "--simulate=";
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h" || arg == "--version") {
            return true;
        }
        if (arg.rfind(simulate, 0) == 0) {
            drive_sim::SimOptions options;
            std::string error;
            if (!drive_sim::parseSimOptions(arg.substr(simulate.size()), options, error)) {
                return true;
            }
        }
    }
    return false;
}

void installProvider(const StartupChoice& choice) {
    if (choice.simulate) {
        uint64_t seed = 0;
        installD2xxProvider(drive_sim::makeSimulatedAdapter(choice.sim, &seed));
        // A noisy run is worth replaying only when its seed is known.
        if (choice.sim.bitErrorRate > 0.0 && !choice.sim.seed) {
            std::fprintf(stderr, "Simulated line: bit-error rate %g, seed=%llu\n",
                         choice.sim.bitErrorRate, static_cast<unsigned long long>(seed));
        }
    } else {
        installD2xxProvider(makeLibftdiProvider());
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
    // Help, version and a refused option need no display, so they are answered before the
    // toolkit starts.
    if (decidedWithoutWindow(argc, argv)) {
        return parseCommandLine(argc, argv, info).exitCode;
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
