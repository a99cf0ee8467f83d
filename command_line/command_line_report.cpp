#include "command_line_report.h"

#include <unistd.h>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QThread>
#include <cstdio>

#include "exit_codes.h"
#include "progress.h"
#include "terminal_text.h"

namespace command_line {

using terminal_text::escapedForTerminal;

namespace {
// Both waits end early when the run is stopped by a signal.
void waitForPowerCycle(const QString& instruction, double waitSeconds) {
    if (isatty(STDIN_FILENO)) {
        std::fprintf(stderr, "%s\nPress Enter when done.\n", qPrintable(instruction));
        for (int c = std::getchar(); c != '\n' && c != EOF; c = std::getchar()) {
        }
        return;
    }
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < waitSeconds * 1000 && !workInterrupted()) {
        QThread::msleep(20);
    }
}
}  // namespace

QString withoutMarkup(const QString& text) {
    QString plain = text;
    plain.replace(QRegularExpression("<br\\s*/?>"), "\n");
    plain.remove(QRegularExpression("<[^>]*>"));
    plain.replace("&nbsp;", " ").replace("&lt;", "<").replace("&gt;", ">").replace("&amp;", "&");
    return plain;
}

void CommandLineReport::askForPowerCycle(const QString& instructions) {
    clearProgressLine();
    if (workInterrupted()) {
        return;
    }
    waitForPowerCycle(withoutMarkup(instructions), powerCycleWaitSeconds_);
    // Both programs' Connect probes the drive once it has been restarted.
    reportProgress("connect");
}

void CommandLineReport::log(const QString& line) {
    clearProgressLine();
    const QString text = line.endsWith('\n') ? line.chopped(1) : line;
    for (const QString& part : text.split('\n')) {
        std::fprintf(stderr, "%s\n", qPrintable(escapedForTerminal(part)));
    }
}

void CommandLineReport::showMessage(const QString& title, const QString& text) {
    clearProgressLine();
    if (workInterrupted()) {
        return;  // the runner reports the stop instead
    }
    const QString plain = withoutMarkup(text);
    std::fprintf(stderr, "%s: %s\n", qPrintable(escapedForTerminal(title)),
                 qPrintable(escapedForTerminal(plain.simplified())));
    lastMessage_ = plain;
}

}  // namespace command_line
