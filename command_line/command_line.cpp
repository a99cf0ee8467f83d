#include "command_line.h"

#include <fcntl.h>
#include <unistd.h>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <algorithm>
#include <cstdio>

#include "command_line_front_end.h"

namespace {
int refuse(const ProgramInfo& info, const QString& why) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", info.name, qPrintable(why), info.name);
    return kExitBadCommandLine;
}

// Standard output is kept for the result line: the link's trace is sent to /dev/null meanwhile.
class TraceSilenced {
public:
    TraceSilenced() : saved_(dup(STDOUT_FILENO)) {
        std::fflush(stdout);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        close(null);
    }
    ~TraceSilenced() {
        std::fflush(stdout);
        dup2(saved_, STDOUT_FILENO);
        close(saved_);
    }

private:
    int saved_;
};
}  // namespace

bool hasSubcommand(int argc, char** argv) {
    return argc > 1 && argv[1][0] != '-';
}

std::string subcommandHelp(const char* program, const std::vector<Subcommand>& subcommands) {
    std::string help =
        "\nSubcommands (no display needed; the result is one line on standard "
        "output):\n";
    for (const Subcommand& subcommand : subcommands) {
        std::string usage = std::string(program) + " " + subcommand.name +
                            (subcommand.argument ? std::string(" ") + subcommand.argument : "");
        help += "  " + usage + std::string(usage.size() < 28 ? 28 - usage.size() : 1, ' ') +
                subcommand.summary + "\n";
    }
    help +=
        "  with --adapter or --simulate as above, and --power-cycle-wait=SECONDS: the pause\n"
        "  for restarting the drive when standard input is not a terminal (default 0).\n"
        "Exit codes: 0 done and verified, 2 bad command line, 3 file refused, 4 adapter cannot\n"
        "be opened, 5 no drive answering, wrong mode or unsupported drive, 6 link lost during\n"
        "the work, 7 the drive reported a failure or a check failed.\n";
    return help;
}

int runSubcommand(int argc, char** argv, const ProgramInfo& info,
                  const std::vector<Subcommand>& subcommands) {
    QCoreApplication app(argc, argv);
    QStringList arguments = app.arguments();
    // --simulate takes an optional value, which the parser does not know.
    std::replace(arguments.begin(), arguments.end(), QString("--simulate"), QString("--simulate="));
    if (arguments.contains("--help") || arguments.contains("-h")) {
        char help[] = "--help";
        char* helpArgv[] = {const_cast<char*>(info.name), help};
        return parseCommandLine(2, helpArgv, info).exitCode;
    }
    QCommandLineParser parser;
    const QCommandLineOption adapter("adapter", "", "SERIAL|BUS:DEV");
    const QCommandLineOption simulate("simulate", "", "OPTIONS");
    const QCommandLineOption powerCycleWait("power-cycle-wait", "", "SECONDS", "0");
    parser.addOptions({adapter, simulate, powerCycleWait});
    for (const Subcommand& subcommand : subcommands) {
        parser.addOptions(subcommand.options);
    }
    if (!parser.parse(arguments)) {
        return refuse(info, parser.errorText());
    }
    const QStringList positional = parser.positionalArguments();
    auto found = std::find_if(subcommands.begin(), subcommands.end(), [&](const Subcommand& s) {
        return positional.value(0) == QLatin1String(s.name);
    });
    if (found == subcommands.end()) {
        return refuse(info, "unknown subcommand '" + positional.value(0) + "'");
    }
    if (positional.size() != (found->argument ? 2 : 1)) {
        return refuse(info,
                      QString("%1 takes %2")
                          .arg(found->name, found->argument ? found->argument : "no argument"));
    }
    QStringList ownOptions;
    for (const QCommandLineOption& option : found->options) {
        ownOptions += option.names();
    }
    for (const Subcommand& other : subcommands) {
        for (const QCommandLineOption& option : other.options) {
            const QString name = option.names().first();
            if (parser.isSet(name) && !ownOptions.contains(name)) {
                return refuse(info, QString("%1 takes no --%2").arg(found->name, name));
            }
        }
    }
    bool isNumber = false;
    const double waitSeconds = parser.value(powerCycleWait).toDouble(&isNumber);
    if (!isNumber || waitSeconds < 0) {
        return refuse(info, "--power-cycle-wait needs a number of seconds");
    }

    // The adapter options are judged as for the windows.
    std::vector<std::string> adapterOptions{info.name};
    if (parser.isSet(simulate)) {
        adapterOptions.push_back("--simulate=" + parser.value(simulate).toStdString());
    }
    if (parser.isSet(adapter)) {
        adapterOptions.push_back("--adapter=" + parser.value(adapter).toStdString());
    }
    std::vector<char*> adapterArgv;
    for (std::string& option : adapterOptions) {
        adapterArgv.push_back(&option[0]);
    }
    const StartupChoice choice =
        parseCommandLine(int(adapterArgv.size()), adapterArgv.data(), info);
    if (choice.exitNow) {
        return choice.exitCode;
    }
    installProvider(choice);
    setLinkDialect(info.dialect);

    SubcommandResult result{kExitDone, {}, {}, {}};
    {
        TraceSilenced silenced;
        result = found->run({positional.value(1), waitSeconds, parser});
        closeLink();
    }
    std::printf("%s\n", qPrintable(result.line));
    return result.exitCode;
}
