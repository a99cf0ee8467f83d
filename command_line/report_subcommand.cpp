#include "report_subcommand.h"

#include <cstdio>

#include "atomic_file.h"
#include "exit_codes.h"
#include "line_figures.h"
#include "report_pages.h"
#include "run_records.h"

namespace command_line {

using line_report::LineFigures;
using line_report::ReadRecords;

namespace {
const QCommandLineOption kHtmlOption("html", "also write the report as one HTML page to FILE",
                                     "FILE");

bool readLog(const QString& path, ReadRecords& into, QString& why) {
    QFile file(path);
    const bool opened =
        path == "-" ? file.open(stdin, QIODevice::ReadOnly) : file.open(QIODevice::ReadOnly);
    if (opened && line_report::readRecords(file, into, why)) {
        return true;
    }
    why = QString("cannot read the log %1: %2").arg(path, opened ? why : file.errorString());
    return false;
}

SubcommandResult report(const SubcommandCall& call) {
    ReadRecords read;
    QString why;
    for (const QString& path : call.parser.positionalArguments().mid(1)) {
        if (!readLog(path, read, why)) {
            return {kExitBadCommandLine, "failed: " + why, {}, {}};
        }
    }
    const LineFigures figures =
        line_report::summarize(std::move(read.records), read.skippedLines, exitClassName);
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
                          {kHtmlOption}};
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
