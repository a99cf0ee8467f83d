// The programs' subcommands: `tressel flash IMAGE.vlf`, `morvane diagnose`, ... run the windows'
// workflows on a core application, without a display.
#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "run_files.h"
#include "startup_options.h"

namespace command_line {

struct SubcommandResult {
    int exitCode;
    QString line;              // the one line of standard output: the result, or "failed: " and why
    QString file;              // the file read or written, for the log; empty for none
    QString versionRead;       // the bootloader or firmware version read from the drive, if any
    QJsonObject details = {};  // what the subcommand found besides, for --json and the log
};

// What a subcommand is run with.
struct SubcommandCall {
    QString argument;  // its one argument; empty when it takes none
    double powerCycleWaitSeconds;
    const QCommandLineParser& parser;  // holds the values of the subcommand's own options
    drive_link::Link& link;            // the connection the run works on, not yet opened
};

struct Subcommand {
    const char* name;  // e.g. "flash"
    // Its one argument, e.g. "IMAGE.vlf", or nullptr for none; ending in "..." (e.g. "LOG..."),
    // one or more.
    const char* argument;
    const char* summary;  // one line for --help
    std::function<SubcommandResult(const SubcommandCall&)> run;
    QList<QCommandLineOption> options = {};  // taken by this subcommand only, e.g. --axis
    // Why the values of those options are refused, judged before any file or drive is touched;
    // empty when they are fine.
    std::function<QString(const QCommandLineParser&)> refusal = {};
    // Works on files alone: no adapter or simulated drive is installed, no log line is written,
    // and the options of the drive and the log are refused.
    bool readsFilesOnly = false;
    // The files its line names (its argument, its own options' files), judged with those of
    // --log, --trace, --unit-from and the simulated drive's state before any is opened.
    std::function<std::vector<NamedFile>(const QCommandLineParser&)> namedFiles = {};
};

// --retries=N, for the subcommands whose whole run may be started again after a failure that a
// power cycle or a second try may cure: list it among their options.
extern const QCommandLineOption kRetriesOption;

// Whether the first argument names a subcommand rather than a window option.
bool hasSubcommand(int argc, char** argv);

// How a subcommand's line is taken: what to run and with what, or why it is refused. Judged
// before any file is opened or the drive touched; --log and --trace are opened by the run.
struct SubcommandLine {
    const Subcommand* subcommand = nullptr;  // null: the line is refused
    int exitCode = 0;                        // of a refusal
    QString why;                             // of a refusal
    bool whyShown = false;  // the refusal is on standard error already (--adapter, --simulate)
    double powerCycleWaitSeconds = 0;
    int retries = 0;  // how many times the run may start again
    QString unit;     // empty for none
    QString tracePath;
    bool json = false;
    startup::StartupChoice choice;
};
// Reads the unit's name from --unit-from's file (readUnitFrom).
using UnitFileReader = std::function<bool(const QString& path, QString& unit, QString& why)>;
// Judges `arguments` (the program's name first) into `parser`, which then holds the values the
// subcommand reads. A --simulate state file is read with the judgement.
SubcommandLine judgeSubcommandLine(QStringList arguments, QCommandLineParser& parser,
                                   const startup::ProgramInfo& info,
                                   const std::vector<Subcommand>& subcommands,
                                   const UnitFileReader& readUnit);

// Parses the line, installs the adapter or simulated drive, runs the subcommand with the
// transaction trace kept off standard output, and prints its result line there.
int runSubcommand(int argc, char** argv, const startup::ProgramInfo& info,
                  const std::vector<Subcommand>& subcommands);

// The help's lines on the subcommands and their exit codes.
std::string subcommandHelp(const char* program, const std::vector<Subcommand>& subcommands);

}  // namespace command_line
