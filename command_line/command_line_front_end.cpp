#include "command_line_front_end.h"

#include <unistd.h>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QThread>
#include <cstdio>

#include "drive_link.h"
#include "progress.h"
#include "terminal_text.h"

namespace command_line {

using config_tool::asTheFormHolds;
using config_tool::DriveSettings;
using drive_link::Failure;
using drive_link::Outcome;
using terminal_text::escapedForTerminal;

QString exitClassName(int exitCode) {
    switch (exitCode) {
        case kExitDone:
            return "done";
        case kExitBadCommandLine:
            return "bad_command_line";
        case kExitFileRefused:
            return "file_refused";
        case kExitNoAdapter:
            return "no_adapter";
        case kExitNoDrive:
            return "no_drive";
        case kExitLinkLost:
            return "link_lost";
        case kExitDriveFailed:
            return "drive_failed";
        case kExitNotRecorded:
            return "not_recorded";
    }
    return exitCode > 128 ? QString("interrupted") : QString("exit_%1").arg(exitCode);
}

int exitCodeOf(const Outcome& outcome) {
    if (outcome.cancelled) {
        return kExitFileRefused;
    }
    switch (outcome.failure) {
        case Failure::None:
            return kExitDone;
        case Failure::FileRefused:
            return kExitFileRefused;
        case Failure::NoAdapter:
            return kExitNoAdapter;
        case Failure::NoDrive:
            return kExitNoDrive;
        case Failure::LinkLost:
            return kExitLinkLost;
        case Failure::DriveFailed:
            break;
    }
    return kExitDriveFailed;
}

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

// Flashing starts with the erase; the packets follow it.
void FlasherCommandLine::setFlashing(bool flashing) {
    if (flashing) {
        reportProgress("erase");
    }
}

void FlasherCommandLine::packetStarted(int packet, int packetCount) {
    reportProgress("write", packet, packetCount);
}

void FlasherCommandLine::verifyStarted(int packetCount) {
    reportProgress("write", packetCount, packetCount);
    reportProgress("verify");
}

void MorvaneCommandLine::showSettings(const DriveSettings& settings) {
    settings_ = asTheFormHolds(settings);
}

void MorvaneCommandLine::importingSettings() {
    reportProgress("import");
}

void MorvaneCommandLine::applyingSettings() {
    reportProgress("apply");
}

void MorvaneCommandLine::downloadingScope() {
    reportProgress("download");
}

}  // namespace command_line
