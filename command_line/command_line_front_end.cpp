#include "command_line_front_end.h"

#include <unistd.h>
#include <QRegularExpression>
#include <QThread>
#include <cstdio>

#include "firmware_image.h"
#include "progress.h"

namespace {
// The failure class of a message, by the start of its text; any other warning or critical
// message is a failure the drive reported or a check that did not pass.
int failureCode(const QString& title, const QString& text) {
    static const struct {
        const char* start;
        int code;
    } classes[] = {
        {"Unable to load file", kExitFileRefused},
        {"Firmware file holds no packets", kExitFileRefused},
        {"File not found", kExitFileRefused},
        {"File read failed", kExitFileRefused},
        {"File load failed", kExitFileRefused},
        {"Not a Ferrox settings file", kExitFileRefused},
        {"Unsupported version of Ferrox settings file", kExitFileRefused},
        {"Error in config file", kExitFileRefused},
        {"Unable to open file for writing", kExitFileRefused},
        {"Unable to open USB adapter", kExitNoAdapter},
        {"Unable to communicate with drive", kExitNoDrive},
        {"Drive doesn't seem to be in bootloader mode", kExitNoDrive},
        {"Unsupported drive type", kExitNoDrive},
        {"No Ferrox firmware installed", kExitNoDrive},
        {"Too new Ferrox firmware version", kExitNoDrive},
    };
    if (title == "CRC error") {
        return kExitLinkLost;
    }
    for (const auto& failure : classes) {
        if (text.startsWith(QLatin1String(failure.start))) {
            return failure.code;
        }
    }
    return kExitDriveFailed;
}

void waitForPowerCycle(const QString& instruction, double waitSeconds) {
    if (isatty(STDIN_FILENO)) {
        std::fprintf(stderr, "%s\nPress Enter when done.\n", qPrintable(instruction));
        for (int c = std::getchar(); c != '\n' && c != EOF; c = std::getchar()) {
        }
    } else if (waitSeconds > 0) {
        QThread::msleep(static_cast<unsigned long>(waitSeconds * 1000));
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

void CommandLineReport::showMessage(MessageKind kind, const QString& title, const QString& text) {
    clearProgressLine();
    const QString plain = withoutMarkup(text);
    if (title == "Connecting") {
        waitForPowerCycle(plain, powerCycleWaitSeconds_);
        // Both programs' Connect asks for the power cycle before it probes the drive.
        reportProgress("connect");
        return;
    }
    std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(plain.simplified()));
    lastMessage_ = plain;
    textByTitle_[title] = plain;
    if (kind != MessageKind::Information && exitCode_ == kExitDone) {
        exitCode_ = failureCode(title, plain);
    }
}

// Flashing starts with the erase; the packets follow it.
void FlasherCommandLine::setFlashing(bool flashing) {
    if (flashing) {
        packetsStarted_ = 0;
        reportProgress("erase");
    }
}

void FlasherCommandLine::packetStarted() {
    reportProgress("write", packetsStarted_++, firmwareImage.packetCount);
}

void FlasherCommandLine::verifyStarted() {
    reportProgress("write", firmwareImage.packetCount, firmwareImage.packetCount);
    reportProgress("verify");
}

void MorvaneCommandLine::showStatus(const QString& text, int) {
    // The workflows' own progress texts name the phases a script follows.
    static const struct {
        const char* text;
        const char* phase;
    } phases[] = {
        {"Setting parameters...", "apply"},
        {"Downloading scope data...", "download"},
    };
    for (const auto& phase : phases) {
        if (text == QLatin1String(phase.text)) {
            reportProgress(phase.phase);
        }
    }
    lastStatus = text;
}

void MorvaneCommandLine::showSettings(const DriveSettings& settings) {
    settings_ = asTheFormHolds(settings);
}

void MorvaneCommandLine::importingSettings() {
    reportProgress("import");
}
