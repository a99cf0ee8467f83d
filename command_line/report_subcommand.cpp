#include "report_subcommand.h"

#include <pwd.h>
#include <unistd.h>
#include <QFile>
#include <algorithm>
#include <cstdio>
#include <optional>

#include "atomic_file.h"
#include "exit_codes.h"
#include "line_figures.h"
#include "log_reader.h"
#include "regular_file.h"
#include "report_pages.h"

namespace command_line {

using line_report::LineFigures;
using line_report::LineTally;

namespace {
const QCommandLineOption kHtmlOption("html", "also write the report as one HTML page to FILE",
                                     "FILE");
const QCommandLineOption kJournalUserOption(
    "journal-user", "take journal records only from the user USER (a name or a user id)", "USER");

// The user id --journal-user names, or none when it is not given; false when it names no user.
bool journalUid(const QCommandLineParser& parser, std::optional<uint>& uid) {
    if (!parser.isSet(kJournalUserOption)) {
        return true;
    }
    const QString user = parser.value(kJournalUserOption);
    bool isNumber = false;
    const uint number = user.toUInt(&isNumber);
    const bool plainDigits =
        isNumber && std::all_of(user.begin(), user.end(), [](QChar c) { return c.isDigit(); });
    if (plainDigits) {
        uid = number;
        return true;
    }
    const passwd* entry = user.isEmpty() ? nullptr : getpwnam(user.toLocal8Bit().constData());
    if (entry != nullptr) {
        uid = entry->pw_uid;
    }
    return entry != nullptr;
}

// A FIFO nobody feeds would hold the report for good; a writer that is there (a shell's
// process substitution, a journal being read) starts well within this.
constexpr int kFifoWriterWaitMs = 10000;

bool readLog(const QString& path, LineTally& into, const line_report::RecordTrust& trust,
             QString& why) {
    const bool standardInput = path == "-";
    const files::RegularFile opened =
        standardInput ? files::RegularFile{files::judgeGivenStream(STDIN_FILENO), STDIN_FILENO}
                      : files::openStream(QFile::encodeName(path).constData(), kFifoWriterWaitMs);
    QString reason;
    switch (opened.outcome) {
        case files::FileOpening::Opened: {
            QFile file;
            if (file.open(
                    opened.descriptor, QIODevice::ReadOnly | QIODevice::Unbuffered,
                    standardInput ? QFileDevice::DontCloseHandle : QFileDevice::AutoCloseHandle) &&
                line_report::readRecords(file, into, reason, {}, trust)) {
                return true;
            }
            reason = reason.isEmpty() ? file.errorString() : reason;
            break;
        }
        case files::FileOpening::CannotOpen:
            reason = "no such file, or not permitted";
            break;
        case files::FileOpening::NotRegularFile:
            reason = "a device, terminal or socket is no log (give a file, a FIFO or a pipe)";
            break;
        case files::FileOpening::NoWriter:
            reason = QString("no writer fed the FIFO within %1 s").arg(kFifoWriterWaitMs / 1000);
            break;
    }
    why = QString("cannot read the log %1: %2").arg(path, reason);
    return false;
}

SubcommandResult report(const SubcommandCall& call) {
    LineTally tally;
    QString why;
    line_report::RecordTrust trust;
    if (!journalUid(call.parser, trust.journalUid)) {
        return {kExitBadCommandLine,
                QString("failed: --journal-user names no user: '%1'")
                    .arg(call.parser.value(kJournalUserOption)),
                {},
                {}};
    }
    for (const QString& path : call.parser.positionalArguments().mid(1)) {
        if (!readLog(path, tally, trust, why)) {
            return {kExitBadCommandLine, "failed: " + why, {}, {}};
        }
    }
    const LineFigures figures = tally.figures(exitClassName);
    if (!tally.failure().isEmpty()) {  // figures short of records read are no report
        return {kExitBadCommandLine, "failed: cannot count the logs: " + tally.failure(), {}, {}};
    }
    const QString htmlPath = call.parser.value(kHtmlOption);
    if (!htmlPath.isEmpty() &&
        !files::writeFileAtomically(
            htmlPath, line_report::reportHtml(figures, "Production line report"), &why)) {
        return {kExitFileRefused,
                QString("failed: cannot write the page %1: %2").arg(htmlPath, why),
                {},
                {}};
    }
    // With --json the figures are the result's fields and its message is the summary.
    const bool json = call.parser.isSet("json");
    return {kExitDone,
            json ? line_report::summaryLine(figures) : line_report::reportText(figures),
            {},
            {},
            line_report::reportJson(figures)};
}
}  // namespace

Subcommand reportSubcommand() {
    Subcommand subcommand{"report",
                          "LOG...",
                          "the line's yields, failures and adapters from --log files ('-': stdin)",
                          report,
                          {kHtmlOption, kJournalUserOption}};
    subcommand.readsFilesOnly = true;
    subcommand.namedFiles = [](const QCommandLineParser& parser) {
        std::vector<NamedFile> files{{"--html", parser.value(kHtmlOption), NamedFile::Written}};
        for (const QString& log : parser.positionalArguments().mid(1)) {
            files.push_back({"LOG", log, NamedFile::Read});
        }
        return files;
    };
    return subcommand;
}

}  // namespace command_line
