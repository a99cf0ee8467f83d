#include "startup_options.h"
#include <algorithm>

#include "drive_state.h"
#include "sim_options.h"
#include "terminal_text.h"

#include <QCommandLineParser>
#include <cstdio>

#include "provider.h"

namespace startup {

using drive_link::LinkDialect;

namespace {
StartupChoice exitWith(int code) {
    StartupChoice choice;
    choice.exitNow = true;
    choice.exitCode = code;
    return choice;
}

StartupChoice refuse(const ProgramInfo& info, const QString& why) {
    printRefusal(info, why);
    return exitWith(2);
}

// The exit code of --list-adapters.
int listAdapters() {
    int count = listLibftdiAdapters(stdout);
    if (count < 0) {
        std::fprintf(stderr, "The USB bus could not be read.\n");
        return 1;
    }
    if (count == 0) {
        std::fprintf(stderr, "No FTDI adapter found.\n");
    }
    return 0;
}

// The toolkit's own options that take the following argument as their value (the application,
// the widgets and the X11 platform); the toolkit takes them with one dash or two.
const QStringList kToolkitOptionsWithValue =
    QString(
        "platform platformpluginpath platformtheme plugin qwindowgeometry geometry "
        "qwindowtitle title qwindowicon icon session style stylesheet display name visual")
        .split(' ');

// "platform" for "-platform", "--platform" and "--platform=xcb".
QString optionName(const QString& argument) {
    const int dashes = argument.startsWith("--") ? 2 : 1;
    return argument.mid(dashes).section('=', 0, 0);
}

// Prepares the arguments for the parser. A bare --simulate gets an empty value, as the parser
// knows no optional values. Before the toolkit has taken its options out, a single-dash word
// that is not ours, and a toolkit option named with two dashes, are set aside with their values:
// they are the toolkit's to judge. Returns false with `why` when such an option lacks its value.
bool prepareArguments(QStringList& arguments, const QStringList& ourNames, ToolkitOptions toolkit,
                      QString& why) {
    QStringList prepared{arguments.value(0)};
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == "--") {
            prepared += arguments.mid(i);
            break;
        }
        const QString name = optionName(argument);
        const bool isOption = argument.startsWith('-') && argument.size() > 1;
        const bool hasValue = argument.contains('=');
        const bool toolkitsToJudge =
            isOption && toolkit == ToolkitOptions::StillInArgv && !ourNames.contains(name) &&
            (!argument.startsWith("--") || kToolkitOptionsWithValue.contains(name));
        if (!toolkitsToJudge) {
            prepared += isOption && name == "simulate" && !hasValue ? argument + "=" : argument;
        } else if (kToolkitOptionsWithValue.contains(name) && !hasValue &&
                   ++i == arguments.size()) {
            why = QString("Missing value after '%1'.").arg(argument);
            return false;
        }
    }
    arguments = prepared;
    return true;
}

// Why the adapter options cannot be used as given, or an empty text.
QString adapterOptionsFault(const QStringList& adapterValues, const QStringList& simulateValues) {
    if (adapterValues.size() > 1) {
        return "--adapter given more than once";
    }
    if (simulateValues.size() > 1) {
        return "--simulate given more than once";
    }
    if (!adapterValues.isEmpty() && !simulateValues.isEmpty()) {
        return "--adapter and --simulate exclude each other";
    }
    const QString serial = adapterValues.value(0);
    if (!adapterValues.isEmpty() && (serial.isEmpty() || serial.startsWith('-'))) {
        return "--adapter needs a serial number or BUS:DEV";
    }
    return {};
}
}  // namespace

QString judgeLinkOptions(const QStringList& linkValues, const QStringList& gapValues,
                         drive_link::LinkSettings& settings) {
    if (linkValues.size() > 1) {
        return "--link given more than once";
    }
    if (gapValues.size() > 1) {
        return "--word-gap given more than once";
    }
    const QString mode = linkValues.value(0, "standard");
    if (mode != "standard" && mode != "fast") {
        return QString("--link takes standard or fast, not '%1'").arg(mode);
    }
    settings.mode = mode == "fast" ? drive_link::LinkMode::Fast : drive_link::LinkMode::Standard;
    if (gapValues.isEmpty()) {
        return {};
    }
    if (settings.mode != drive_link::LinkMode::Fast) {
        return "--word-gap needs --link=fast: the standard link leaves its own time between words";
    }
    bool isNumber = false;
    const QString& gap = gapValues.constFirst();
    const int microseconds = gap.toInt(&isNumber);
    // toInt takes a sign and blanks; a gap is written as plain digits.
    const bool plainDigits = !gap.isEmpty() && std::all_of(gap.begin(), gap.end(), [](QChar c) {
        return c >= '0' && c <= '9';
    });
    if (!isNumber || !plainDigits || microseconds > drive_link::kMaxWordGapMicroseconds) {
        return QString("--word-gap takes a whole number of microseconds from 0 to %1, not '%2'")
            .arg(drive_link::kMaxWordGapMicroseconds)
            .arg(gap);
    }
    settings.wordGapMicroseconds = microseconds;
    return {};
}

void printRefusal(const ProgramInfo& info, const QString& why) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", info.name,
                 qPrintable(terminal_text::escapedForTerminal(why)), info.name);
}

void printProgramHelp(const ProgramInfo& info) {
    std::printf(
        "Usage: %s [SUBCOMMAND] [--adapter=SERIAL|BUS:DEV|PORT | --simulate[=KEY=VALUE,...]]\n"
        "%s\n\n"
        "Options:\n"
        "  --help                 show this text and exit\n"
        "  --version              show the version and exit\n"
        "  --list-adapters        list the FTDI adapters on the USB bus (bus:device, port path,\n"
        "                         product, serial number) and exit\n"
        "  --adapter=SERIAL       use the FTDI adapter with this serial number instead of the\n"
        "  --adapter=BUS:DEV      first one, or the one at this bus and device number, or the\n"
        "  --adapter=PORT         one at this USB port path (e.g. 1-1.4.2, kept across replugs)\n"
        "  --link=standard|fast   how frames go over USB: standard (the default) sends each\n"
        "                         16-bit word in a transfer of its own, as drives have always\n"
        "                         been driven; fast streams runs of frames, many times faster.\n"
        "                         The drive sees the same bits; judge fast mode with link-test\n"
        "                         --sweep on your own adapter and drive before using it\n"
        "  --word-gap=MICROSECONDS  with --link=fast: at least this long between two words, for\n"
        "                         a drive that needs the time (default %d, 0 to %d)\n"
        "  --simulate[=OPTIONS]   use the built-in simulated adapter and drive instead of an\n"
        "                         FTDI adapter. OPTIONS, separated by commas:\n"
        "                           mode=firmware|bootloader  what the drive runs (default %s)\n"
        "                           after_flash=firmware      run the firmware at the power-up "
        "after a\n"
        "                                                     verified flash, once (a station's "
        "settings)\n"
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
        "                                                     NUMBER whenever it is written\n"
        "                           inertia=KG_M2 viscous=NM_S_PER_RAD coulomb=NM load=NM\n"
        "                           kt=NM_PER_A gain_scale=F  the simulated axis's mechanics "
        "and the\n"
        "                                                     firmware's gain scaling (default: "
        "the\n"
        "                                                     factory axis)\n",
        info.name, info.summary, drive_link::kDefaultWordGapMicroseconds,
        drive_link::kMaxWordGapMicroseconds,
        info.dialect == LinkDialect::Firmware ? "firmware" : "bootloader",
        drive_sim::SimOptions{}.latencyMs);
    std::fputs(info.moreHelp, stdout);
}

StartupChoice parseCommandLine(int argc, char** argv, const ProgramInfo& info,
                               ToolkitOptions toolkit) {
    const QCommandLineOption help({"h", "help"}, {});
    const QCommandLineOption version("version", {});
    const QCommandLineOption list("list-adapters", {});
    const QCommandLineOption adapter("adapter", {}, "SERIAL|BUS:DEV|PORT");
    const QCommandLineOption simulate("simulate", {}, "OPTIONS");
    const QCommandLineOption link("link", {}, "standard|fast");
    const QCommandLineOption wordGap("word-gap", {}, "MICROSECONDS");
    const QList<QCommandLineOption> ours{help, version, list, adapter, simulate, link, wordGap};
    QCommandLineParser parser;
    // Like the toolkit's own options, ours are words after one dash or two.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOptions(ours);
    QStringList ourNames;
    for (const QCommandLineOption& option : ours) {
        ourNames += option.names();
    }

    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments += QString::fromLocal8Bit(argv[i]);
    }
    QString why;
    if (!prepareArguments(arguments, ourNames, toolkit, why) || !parser.parse(arguments)) {
        return refuse(info, why.isEmpty() ? parser.errorText() : why);
    }
    if (!parser.positionalArguments().isEmpty()) {
        return refuse(
            info,
            QString("unexpected argument '%1'").arg(parser.positionalArguments().constFirst()));
    }
    if (parser.isSet(help) || parser.isSet(version)) {
        if (parser.isSet(help)) {
            printProgramHelp(info);
        } else {
            std::printf("%s %s\n", info.name, info.version);
        }
        return exitWith(0);
    }
    if (parser.isSet(list)) {
        return exitWith(listAdapters());
    }
    drive_link::LinkSettings settings;
    why = judgeLinkOptions(parser.values(link), parser.values(wordGap), settings);
    if (!why.isEmpty()) {
        return refuse(info, why);
    }
    StartupChoice choice =
        judgeAdapterOptions(parser.values(adapter), parser.values(simulate), info);
    choice.link = settings;
    return choice;
}

StartupChoice judgeAdapterOptions(const QStringList& adapterValues,
                                  const QStringList& simulateValues, const ProgramInfo& info) {
    const QString why = adapterOptionsFault(adapterValues, simulateValues);
    if (!why.isEmpty()) {
        return refuse(info, why);
    }
    StartupChoice choice;
    choice.adapter = adapterValues.value(0).toStdString();
    choice.simulate = !simulateValues.isEmpty();
    if (choice.simulate) {
        drive_sim::SimOptions options;
        options.mode = info.dialect == LinkDialect::Firmware ? drive_sim::DriveMode::Firmware
                                                             : drive_sim::DriveMode::Bootloader;
        std::string error;
        if (!drive_sim::parseSimOptions(simulateValues.constFirst().toStdString(), options,
                                        error)) {
            return refuse(info, QString::fromStdString(error));
        }
        choice.simulation = std::make_shared<const drive_sim::SimOptions>(std::move(options));
    }
    return choice;
}

bool adapterIsAmbiguous(const StartupChoice& choice, const ProgramInfo& info) {
    if (choice.simulate || !choice.adapter.empty() || countLibftdiAdapters() < 2) {
        return false;
    }
    std::fprintf(stderr,
                 "%s: several FTDI adapters are plugged in; name the one to use with "
                 "--adapter=SERIAL|BUS:DEV|PORT:\n",
                 info.name);
    listLibftdiAdapters(stderr);
    return true;
}

std::string simulatedDriveStateFile(const StartupChoice& choice) {
    return choice.simulation ? choice.simulation->stateFile : std::string();
}

bool simulatedDriveStateLost() {
    // The drive's changes of its last 200 ms are saved now, while the run can still report it.
    drive_sim::saveDriveStatesNow();
    return drive_sim::driveStateLost();
}

void installProvider(const StartupChoice& choice) {
    if (choice.simulate) {
        const drive_sim::SimOptions sim =
            choice.simulation ? *choice.simulation : drive_sim::SimOptions{};
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

}  // namespace startup
