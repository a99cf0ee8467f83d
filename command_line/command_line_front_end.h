// A front end for running a workflow from a shell or a script: each message box becomes one line
// on standard error, the power-cycle instruction waits for Enter on a terminal only, and the first
// failure shown decides the exit code.
#pragma once

#include <QString>

#include "flasher_front_end.h"
#include "morvane_front_end.h"

namespace command_line {

// Exit codes of the subcommands, shared by both programs.
enum ExitCode {
    kExitDone = 0,
    kExitBadCommandLine = 2,
    kExitFileRefused = 3,
    kExitNoAdapter = 4,
    kExitNoDrive = 5,
    kExitLinkLost = 6,
    kExitDriveFailed = 7,
    // The drive's work succeeded, but its line could not be written into the --log file: a unit
    // whose record is lost is not done.
    kExitNotRecorded = 8,
};

// Whether a signal (Ctrl-C, SIGTERM, SIGHUP) stopped the subcommand's run: its waits end, its
// messages are the stop's consequence and not shown.
bool workInterrupted();

// The class of a run's exit code, as the line report names it: "link_lost", "drive_failed", ...,
// "interrupted" for a stop by a signal.
QString exitClassName(int exitCode);

// The exit code of a run that ended with this outcome. A workflow cancelled did not do what the
// line asked; on a command line only a file can be missing for it.
int exitCodeOf(const drive_link::Outcome& outcome);

// The plain text of a message that a window would show with markup.
QString withoutMarkup(const QString& text);

// What the shown messages mean for the run.
class CommandLineReport {
public:
    explicit CommandLineReport(double powerCycleWaitSeconds)
        : powerCycleWaitSeconds_(powerCycleWaitSeconds) {}
    void showMessage(const QString& title, const QString& text);
    // Waits for Enter on a terminal, otherwise for the --power-cycle-wait.
    void askForPowerCycle(const QString& instructions);
    // The last message shown, on one line, for the result line of a failure.
    QString lastMessage() const { return lastMessage_.simplified(); }

private:
    double powerCycleWaitSeconds_;
    QString lastMessage_;
};

template <class Interface>
class CommandLine : public Interface {
public:
    explicit CommandLine(double powerCycleWaitSeconds) : report(powerCycleWaitSeconds) {}
    QString translate(const char* text) override { return QString::fromUtf8(text); }
    void showStatus(const QString&, int) override {}
    // What failed is told by the workflow's outcome.
    void showMessage(drive_link::MessageKind, const QString& title, const QString& text,
                     drive_link::Failure) override {
        report.showMessage(title, text);
    }
    void askForPowerCycle(const QString& instructions) override {
        report.askForPowerCycle(instructions);
    }
    void setConnected(bool isConnected) override { connection.setConnected(isConnected); }

    CommandLineReport report;
    drive_link::ConnectionRecord connection;
};

class FlasherCommandLine : public CommandLine<flasher::FlasherFrontEnd> {
public:
    FlasherCommandLine(const QString& image, double powerCycleWaitSeconds)
        : CommandLine(powerCycleWaitSeconds), image_(image) {}
    QString askFirmwareFile() override { return image_; }
    void imageAccepted() override {}
    void setFlashing(bool flashing) override;
    void packetStarted(int packet, int packetCount) override;
    void verifyStarted(int packetCount) override;

private:
    QString image_;
};

// Holds the settings as the form would: those read at Connect or taken from the file. The
// settings file, the axis and the span are the command line's; the step test's capture is kept
// for its CSV. The workflows' phases are reported as progress.
class MorvaneCommandLine : public CommandLine<config_tool::MorvaneFrontEnd> {
public:
    using CommandLine::CommandLine;
    config_tool::DriveSettings settings() override { return settings_; }
    void showSettings(const config_tool::DriveSettings& settings) override;
    bool isConnected() override { return connection.connected; }
    int32_t storedFirmwareVersion() override { return connection.version; }
    void storeFirmwareVersion(int32_t version) override { connection.version = version; }
    QString askSettingsFile(bool) override { return settingsFile; }
    // A script that runs its backup again expects the file replaced, with or without ".frx".
    bool mayReplace(const QString&) override { return true; }
    void importingSettings() override;
    void applyingSettings() override;
    void downloadingScope() override;
    int shownAxis() override { return axis; }
    int chosenSpanMs() override { return spanMs; }
    void paintStatusNow() override {}
    void showSpanLabel(const QString&) override {}
    response::StepCapture runSettings(int axis) override {
        return config_tool::runSettingsOf(settings_, axis);
    }
    void showCapture(const response::StepCapture&) override {}
    void keepCapture(response::StepCapture kept) override { capture = std::move(kept); }

    QString settingsFile;
    int axis = 0;
    int spanMs = 0;
    response::StepCapture capture;

private:
    config_tool::DriveSettings settings_;
};

}  // namespace command_line
