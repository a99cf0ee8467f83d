#include "command_line.h"

#include <unistd.h>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <utility>

#include "exit_codes.h"
#include "journal_log.h"
#include "json_line.h"
#include "program_help.h"
#include "progress.h"
#include "provider.h"
#include "provider_choice.h"
#include "run_log.h"
#include "run_result.h"
#include "terminal_text.h"
#include "trace_file.h"
#include "unit_attempt.h"
#include "unit_label.h"

// The signal handler has C linkage, so it and what it sets stay at global scope.
namespace {
volatile std::sig_atomic_t interruptingSignal = 0;
// The connection of the run under way, for the signal handler to stop.
std::atomic<drive_link::Link*> linkToStop{nullptr};
static_assert(std::atomic<drive_link::Link*>::is_always_lock_free, "read in a signal handler");

extern "C" void stopTheWork(int signal) {
    interruptingSignal = signal;
    if (drive_link::Link* link = linkToStop.load()) {
        link->requestStop();
    }
}
}  // namespace

namespace command_line {

bool workInterrupted() {
    return interruptingSignal != 0;
}
using startup::installProvider;
using startup::judgeAdapterOptions;
using startup::judgeLinkOptions;
using startup::printProgramHelp;
using startup::printRefusal;
using startup::ProgramInfo;
using startup::simulatedDriveStateFile;
using startup::simulatedDriveStateLost;
using startup::StartupChoice;
using terminal_text::escapedForTerminal;

const QCommandLineOption kRetriesOption(
    "retries", "after a lost link, no drive or a failed check, run it all again up to N times", "N",
    "0");

namespace {

constexpr int kMostRetries = 10;

// Ctrl-C, a closed terminal or a line controller's kill stops the work at the next word on the
// link, so the adapter is still closed with its bit mode reset and the log still gets its line.
// The handlers reset themselves: a second signal ends the program at once.
void stopTheWorkOnSignals() {
    struct sigaction action {};
    action.sa_handler = stopTheWork;
    action.sa_flags = SA_RESETHAND;  // and no SA_RESTART: a wait for Enter ends too
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaction(signal, &action, nullptr);
    }
}

// A run that ends before its work: with --json, a reader still gets its result object.
int endedEarly(int exitCode, const QString& why, bool json) {
    if (json) {
        writeJsonLine(STDOUT_FILENO, resultObject({exitCode, why, {}, {}}));
    }
    return exitCode;
}

int refuse(const ProgramInfo& info, const QString& why, bool json) {
    printRefusal(info, why);
    return endedEarly(kExitBadCommandLine, why, json);
}

// The options every subcommand takes, besides --adapter and --simulate.
struct CommonOptions {
    QCommandLineOption adapter{"adapter", "", "SERIAL|BUS:DEV|PORT"};
    QCommandLineOption simulate{"simulate", "", "OPTIONS"};
    QCommandLineOption link{"link", "", "standard|fast"};
    QCommandLineOption wordGap{"word-gap", "", "MICROSECONDS"};
    QCommandLineOption powerCycleWait{"power-cycle-wait", "", "SECONDS", "0"};
    QCommandLineOption json{"json"};
    QCommandLineOption log{"log", "", "FILE"};
    QCommandLineOption trace{"trace", "", "FILE"};
    QCommandLineOption unit{"unit", "", "ID"};
    QCommandLineOption unitFrom{"unit-from", "", "FILE"};
};

// The unit --unit or --unit-from names, empty for none; false, with the reason, when it is
// refused.
bool unitOnLine(const QCommandLineParser& parser, const CommonOptions& common,
                const UnitFileReader& readUnit, QString& unit, QString& why) {
    if (parser.isSet(common.unit) && parser.isSet(common.unitFrom)) {
        why = "--unit and --unit-from exclude each other";
        return false;
    }
    if (parser.isSet(common.unitFrom) && !readUnit(parser.value(common.unitFrom), unit, why)) {
        return false;
    }
    if (parser.isSet(common.unit)) {
        unit = parser.value(common.unit);
    }
    why = parser.isSet(common.unit) || parser.isSet(common.unitFrom) ? unitRefusal(unit) : "";
    return why.isEmpty();
}

// How many times the run may start again; -1 when --retries is refused.
int retriesOnLine(const QCommandLineParser& parser) {
    if (!parser.isSet(kRetriesOption)) {
        return 0;
    }
    bool isNumber = false;
    const int retries = parser.value(kRetriesOption).toInt(&isNumber);
    return isNumber && retries >= 0 && retries <= kMostRetries ? retries : -1;
}

// The pause between attempts, for the drive to be power-cycled; a signal ends it early.
void waitBetweenAttempts(double seconds) {
    double whole = 0;
    const double fraction = std::modf(seconds, &whole);
    timespec left{time_t(whole), long(fraction * 1e9)};
    while (nanosleep(&left, &left) != 0 && errno == EINTR && !interruptingSignal) {
    }
}

// A script reads the result on standard output: a result that standard output did not take (a
// full disk, a closed pipe) is a lost record too. Standard error says why.
int exitCodeAfterPrinting(const ProgramInfo& info, bool printed, int exitCode) {
    if (printed) {
        return exitCode;
    }
    const int problem = errno;
    std::fprintf(stderr, "%s: cannot write the result: %s\n", info.name, std::strerror(problem));
    return exitCode == kExitDone ? kExitNotRecorded : exitCode;
}

// The subcommand the line names, or why the line is refused.
const Subcommand* chosenSubcommand(const QCommandLineParser& parser,
                                   const std::vector<Subcommand>& subcommands, QString& why) {
    const QStringList positional = parser.positionalArguments();
    auto found = std::find_if(subcommands.begin(), subcommands.end(), [&](const Subcommand& s) {
        return positional.value(0) == QLatin1String(s.name);
    });
    if (found == subcommands.end()) {
        why = "unknown subcommand '" + positional.value(0) + "'";
        return nullptr;
    }
    const bool several = found->argument && QByteArray(found->argument).endsWith("...");
    const bool counted =
        several ? positional.size() >= 2 : positional.size() == (found->argument ? 2 : 1);
    if (!counted || (found->argument && positional.value(1).isEmpty())) {
        why = QString("%1 takes %2")
                  .arg(found->name, found->argument ? found->argument : "no argument");
        return nullptr;
    }
    QStringList ownOptions;
    for (const QCommandLineOption& option : found->options) {
        ownOptions += option.names();
    }
    for (const Subcommand& other : subcommands) {
        for (const QCommandLineOption& option : other.options) {
            const QString name = option.names().first();
            if (parser.isSet(name) && !ownOptions.contains(name)) {
                why = QString("%1 takes no --%2").arg(found->name, name);
                return nullptr;
            }
        }
    }
    return &*found;
}

// The adapter the log names: "simulated", the serial of the adapter the link opened, or, when
// none was opened, what --adapter asked for.
QString adapterForLog(const StartupChoice& choice) {
    if (choice.simulate) {
        return "simulated";
    }
    const std::string serial = openedAdapterSerial();
    return QString::fromStdString(serial.empty() ? choice.adapter : serial);
}
}  // namespace

bool hasSubcommand(int argc, char** argv) {
    return argc > 1 && argv[1][0] != '-';
}

std::string subcommandHelp(const char* program, const std::vector<Subcommand>& subcommands) {
    std::string help =
        "\nSubcommands (no display needed; the result is one line on standard "
        "output):\n";
    auto line = [&help](const std::string& left, const std::string& right) {
        help += left + std::string(left.size() < 30 ? 30 - left.size() : 1, ' ') + right + "\n";
    };
    for (const Subcommand& subcommand : subcommands) {
        line("  " + std::string(program) + " " + subcommand.name +
                 (subcommand.argument ? std::string(" ") + subcommand.argument : ""),
             subcommand.summary);
        for (const QCommandLineOption& option : subcommand.options) {
            line("      --" + option.names().first().toStdString() + "=" +
                     option.valueName().toStdString(),
                 option.description().toStdString());
        }
    }
    help +=
        "  with --adapter or --simulate, --link and --word-gap as above (report takes none\n"
        "  of them, nor the options below but --json), and\n"
        "  --power-cycle-wait=SECONDS  the pause for restarting the drive when standard input\n"
        "                         is not a terminal (default 0)\n"
        "  --json                 standard output carries JSON objects, one a line: progress\n"
        "                         events, then the result (\"result\", \"exit_code\", "
        "\"message\")\n"
        "  --log=FILE             append one JSON line per attempt to FILE (time, program,\n"
        "                         subcommand, unit, attempt, adapter, file and its SHA-256,\n"
        "                         version, result, exit code, message, duration); checked\n"
        "                         before any work\n"
        "  --log=journal          send the same records to the system journal, as KMR_* fields\n"
        "                         (a file named journal: --log=./journal)\n"
        "  --trace=FILE           write the transaction trace to FILE ('-': standard output)\n"
        "  --unit=ID              name the unit worked on (1 to 64 characters, no control\n"
        "                         characters) in the log line and the JSON result\n"
        "  --unit-from=FILE       take that name from the first line of FILE (a scanner's)\n"
        "No option may be given twice (exit 2). backup's FILE.frx, --csv, --html and the\n"
        "simulated drive's state file are replaced whole: a symbolic link, a device, a FIFO or\n"
        "a folder there is refused (exit 3). --trace writes a device or a FIFO as a stream\n"
        "('-': standard output) and refuses a link or a folder (exit 2). No output may name a\n"
        "file that the run reads or writes otherwise (exit 2).\n"
        "Exit codes: 0 done and verified, 2 bad command line, 3 file refused, 4 adapter cannot\n"
        "be opened, 5 no drive answering, wrong mode or unsupported drive, 6 link lost during\n"
        "the work, 7 the drive reported a failure or a check failed (link-test: replies that\n"
        "failed their CRC; step-test: a figure saturated at the 16-bit limit), 8 done, but the\n"
        "--log record, the --trace or standard output (a full disk, a reader gone) could not\n"
        "take it all (a failed run keeps its own code; the work itself is never cut short),\n"
        "130/143/129 stopped by Ctrl-C, SIGTERM or SIGHUP (the\n"
        "adapter is closed and the run logged; a second signal ends the program at once).\n";
    return help;
}

SubcommandLine judgeSubcommandLine(QStringList arguments, QCommandLineParser& parser,
                                   const ProgramInfo& info,
                                   const std::vector<Subcommand>& subcommands,
                                   const UnitFileReader& readUnit) {
    SubcommandLine line;
    auto refused = [&line](const QString& why) {
        line.subcommand = nullptr;
        line.exitCode = kExitBadCommandLine;
        line.why = why;
        return line;
    };
    // --simulate takes an optional value, which the parser does not know.
    std::replace(arguments.begin(), arguments.end(), QString("--simulate"), QString("--simulate="));
    line.json = arguments.contains("--json");
    const CommonOptions common;
    parser.addOptions({common.adapter, common.simulate, common.link, common.wordGap,
                       common.powerCycleWait, common.json, common.log, common.trace, common.unit,
                       common.unitFrom});
    // Subcommands may share an option (--axis): the parser takes each name once.
    QStringList added;
    for (const Subcommand& subcommand : subcommands) {
        for (const QCommandLineOption& option : subcommand.options) {
            if (!added.contains(option.names().first())) {
                added += option.names().first();
                parser.addOption(option);
            }
        }
    }
    if (!parser.parse(arguments)) {
        return refused(parser.errorText());
    }
    // The parser would take the last of two values, and a script that names two logs would
    // find its record in one of them only: no option of ours may repeat.
    const QStringList given = parser.optionNames();
    for (const QString& name : given) {
        if (given.count(name) > 1) {
            return refused(QString("--%1 given more than once").arg(name));
        }
    }
    QString why;
    line.subcommand = chosenSubcommand(parser, subcommands, why);
    if (line.subcommand && line.subcommand->refusal) {
        why = line.subcommand->refusal(parser);
    }
    if (!line.subcommand || !why.isEmpty()) {
        return refused(why);
    }
    std::vector<NamedFile> files = line.subcommand->namedFiles ? line.subcommand->namedFiles(parser)
                                                               : std::vector<NamedFile>{};
    const auto filesRefused = [&]() {
        const FilesRefusal refusal = judgeNamedFiles(files);
        if (refusal.exitCode != 0) {
            refused(refusal.why);
            line.exitCode = refusal.exitCode;
        }
        return refusal.exitCode != 0;
    };
    if (line.subcommand->readsFilesOnly) {
        // It takes none of the options of the drive, the unit and the log.
        for (const QCommandLineOption& option :
             {common.adapter, common.simulate, common.link, common.wordGap, common.powerCycleWait,
              common.log, common.trace, common.unit, common.unitFrom}) {
            if (parser.isSet(option)) {
                return refused(
                    QString("%1 takes no --%2").arg(line.subcommand->name, option.names().first()));
            }
        }
        filesRefused();
        return line;
    }
    bool isNumber = false;
    line.powerCycleWaitSeconds = parser.value(common.powerCycleWait).toDouble(&isNumber);
    // An hour is more than any drive needs to restart; "inf" and "nan" are numbers to the parser.
    if (!isNumber || !(line.powerCycleWaitSeconds >= 0 && line.powerCycleWaitSeconds <= 3600)) {
        return refused("--power-cycle-wait needs a number of seconds from 0 to 3600");
    }
    line.retries = retriesOnLine(parser);
    if (line.retries < 0) {
        return refused(QString("--retries takes a number from 0 to %1").arg(kMostRetries));
    }
    if (!unitOnLine(parser, common, readUnit, line.unit, why)) {
        return refused(why);
    }
    line.tracePath = parser.value(common.trace);
    if (line.json && line.tracePath == "-") {
        return refused("--trace=- would mix the trace into the JSON lines; name a file");
    }
    drive_link::LinkSettings linkSettings;
    why = judgeLinkOptions(parser.values(common.link), parser.values(common.wordGap), linkSettings);
    if (!why.isEmpty()) {
        return refused(why);
    }
    // Judged as for the windows, every value passed on, so that a repeat is refused too.
    line.choice =
        judgeAdapterOptions(parser.values(common.adapter), parser.values(common.simulate), info);
    if (line.choice.exitNow) {
        line.subcommand = nullptr;
        line.exitCode = line.choice.exitCode;
        line.why = "--adapter or --simulate refused";
        line.whyShown = true;
        return line;
    }
    line.choice.link = linkSettings;
    if (parser.value(common.log) != kJournalLog) {
        files.push_back({"--log", parser.value(common.log), NamedFile::Stream});
    }
    files.push_back({"--trace", line.tracePath, NamedFile::Stream});
    files.push_back({"--unit-from", parser.value(common.unitFrom), NamedFile::Read});
    files.push_back(
        {"--simulate state=", QString::fromStdString(simulatedDriveStateFile(line.choice)),
         NamedFile::Written});
    filesRefused();
    return line;
}

int runSubcommand(int argc, char** argv, const ProgramInfo& info,
                  const std::vector<Subcommand>& subcommands) {
    // A reader that goes away (`| grep -m1`, `| head`) must not end a flash half-written or
    // leave unchecked gains on the drive: its writes fail with EPIPE instead, the work runs to
    // its end or its safe stop, and the run is logged as one whose record is lost.
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    QElapsedTimer runClock;
    runClock.start();
    const QDateTime started = QDateTime::currentDateTimeUtc();
    const QStringList arguments = app.arguments();
    if (arguments.contains("--help") || arguments.contains("-h")) {
        printProgramHelp(info);
        return kExitDone;
    }
    QCommandLineParser parser;
    const SubcommandLine line =
        judgeSubcommandLine(arguments, parser, info, subcommands, readUnitFrom);
    const bool json = line.json;
    if (!line.subcommand) {
        if (!line.whyShown) {
            printRefusal(info, line.why);
        }
        return endedEarly(line.exitCode, line.why, json);
    }
    const Subcommand* const subcommand = line.subcommand;
    if (subcommand->readsFilesOnly) {
        drive_link::Link fileLink(info.dialect);  // never opened: the run reads files only
        const SubcommandResult result =
            subcommand->run({parser.positionalArguments().value(1), 0, parser, fileLink});
        return exitCodeAfterPrinting(
            info,
            printResult(STDOUT_FILENO, json ? resultObject(result) : QJsonObject{}, result.line),
            result.exitCode);
    }
    const double waitSeconds = line.powerCycleWaitSeconds;
    const int retries = line.retries;
    const QString& unit = line.unit;
    const StartupChoice& choice = line.choice;
    if (adapterIsAmbiguous(choice, info)) {
        return endedEarly(kExitNoAdapter, "several FTDI adapters plugged in and no --adapter",
                          json);
    }
    // A unit that cannot be logged or traced is not worked on.
    QString why;
    std::unique_ptr<RunLog> log;
    if (parser.isSet("log") && !(log = openRunLog(parser.value("log"), why))) {
        return refuse(info, why, json);
    }
    TraceFile traceFile;
    if (!openTrace(line.tracePath, traceFile, why)) {
        return refuse(info, why, json);
    }
    installProvider(choice);
    drive_link::Link link(info.dialect, choice.link);
    linkToStop.store(&link);
    struct StopTargetGone {
        ~StopTargetGone() { linkToStop.store(nullptr); }
    } stopTargetGone;
    stopTheWorkOnSignals();

    RunFacts facts{{}, info.name, subcommand->name, {}, 0};
    SubcommandResult result{kExitDone, {}, {}, {}};
    QJsonObject outcome;
    bool recorded = true;
    {
        TraceRouted trace(link, std::move(traceFile));
        showProgressAs(json                    ? ProgressDisplay::JsonEvents
                       : isatty(STDERR_FILENO) ? ProgressDisplay::TerminalLine
                                               : ProgressDisplay::None,
                       STDOUT_FILENO);
        for (int attempt = 1;; ++attempt) {
            facts.started = attempt == 1 ? started : QDateTime::currentDateTimeUtc();
            if (!interruptingSignal) {
                result = subcommand->run(
                    {parser.positionalArguments().value(1), waitSeconds, parser, link});
            }
            if (interruptingSignal) {
                // What the work showed after the stop is its consequence, not a finding.
                result.exitCode = 128 + interruptingSignal;
                result.line = QString("failed: interrupted by %1; the work was not finished")
                                  .arg(interruptingSignal == SIGINT    ? "Ctrl-C (SIGINT)"
                                       : interruptingSignal == SIGTERM ? "SIGTERM"
                                                                       : "SIGHUP");
            }
            facts.adapter = adapterForLog(choice);
            link.close();
            outcome = attemptOutcome(result, unit, attempt, parser.isSet(kRetriesOption));
            // The trace and the simulated drive's state are lost as soon as a write fails; the
            // record says so too. Standard error says why: the trace when it ends, the drive at
            // once.
            if (trace.lost() || simulatedDriveStateLost() || progressWriteError() != 0) {
                markNotRecorded(result, outcome);
            }
            facts.attempt = attempt;
            facts.seconds = runClock.nsecsElapsed() / 1e9;
            if (log && !log->append(runRecord(outcome, facts), why)) {
                std::fprintf(stderr, "%s: %s\n", info.name, qPrintable(escapedForTerminal(why)));
                recorded = false;
            }
            if (attempt > retries || interruptingSignal || !worthRetrying(result.exitCode)) {
                break;
            }
            std::fprintf(stderr, "%s: attempt %d failed with exit code %d; trying again\n",
                         info.name, attempt, result.exitCode);
            waitBetweenAttempts(waitSeconds);
            runClock.restart();
        }
        if (const int problem = progressWriteError()) {
            std::fprintf(stderr, "%s: cannot write the progress: %s\n", info.name,
                         std::strerror(problem));
            recorded = false;
        }
        showProgressAs(ProgressDisplay::None);
        if (!trace.complete(why)) {
            std::fprintf(stderr, "%s: %s\n", info.name, qPrintable(escapedForTerminal(why)));
            recorded = false;
        }
        if (!recorded) {
            markNotRecorded(result, outcome);
        }
        return exitCodeAfterPrinting(
            info, printResult(STDOUT_FILENO, json ? outcome : QJsonObject{}, result.line),
            result.exitCode);
    }
}

}  // namespace command_line
