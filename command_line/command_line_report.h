// A front end for running a workflow from a shell or a script: each message box becomes one line
// on standard error, the power-cycle instruction waits for Enter on a terminal only, and the first
// failure shown decides the exit code.
#pragma once

#include <QString>

#include "front_end.h"

namespace command_line {

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
    // A log line on standard error, below the progress line, made safe for a terminal.
    void log(const QString& line);
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
    void log(drive_link::LogLevel, const QString& line) override { report.log(line); }

    CommandLineReport report;
    drive_link::ConnectionRecord connection;
};

}  // namespace command_line
