// What a workflow needs of whoever shows it to the user: a window, a command line, or a
// recorder in the tests. The workflows talk to the drive themselves and to the user only here.
#pragma once

#include <QString>
#include <cstdio>

namespace drive_link {

enum class MessageKind {
    Warning,      // connection and input problems
    Critical,     // rejected firmware, lost links, failed flashing
    Information,  // instructions and reports
};

// How much a log line matters. A command line prints every line, a window shows the warnings
// and errors in its status bar as well.
enum class LogLevel { Info, Warning, Error };

// What failed, told with each message, so that a front end that must tell failures apart (a
// script's exit code) need not read the text. A window shows only the box.
enum class Failure {
    None,         // an instruction or a report
    FileRefused,  // an image or settings file that cannot be used, or a file not written
    NoAdapter,    // the adapter cannot be opened
    NoDrive,      // no drive answering, or the wrong mode, drive, firmware or bootloader
    LinkLost,     // the link failed during the work
    DriveFailed,  // the drive reported a failure, or a check or setting did not pass
};

// How a workflow ended. Every failure has been shown to the user by then; the class tells a
// front end that must report it (a script's exit code) what happened without reading a text.
struct Outcome {
    Failure failure = Failure::None;
    bool cancelled = false;  // the user chose not to go on (no file chosen): nothing was done

    static Outcome done() { return {}; }
    static Outcome failed(Failure why) { return {why, false}; }
    static Outcome cancelledByUser() { return {Failure::None, true}; }
    bool succeeded() const { return failure == Failure::None && !cancelled; }
};

// What a front end without a window keeps of the drive between workflows, as a window keeps it:
// whether it is connected, and the version Connect read (firmware or bootloader), -1 once
// disconnected.
struct ConnectionRecord {
    bool connected = false;
    int version = -1;

    void setConnected(bool isConnected) {
        connected = isConnected;
        if (!connected) {
            version = -1;
        }
    }
};

class FrontEnd {
public:
    // A user text in the front end's language.
    virtual QString translate(const char* text) = 0;
    // A progress or result text; a time-out of 0 keeps it until the next one replaces it.
    virtual void showStatus(const QString& text, int timeoutMs) = 0;
    // A modal message with a single OK; returns once the user has closed it.
    virtual void showMessage(MessageKind kind, const QString& title, const QString& text,
                             Failure failure) = 0;
    // Connect's instruction to restart the drive so that it takes up the link; returns once the
    // user has done so. A window shows it as an information box with a single OK.
    virtual void askForPowerCycle(const QString& instructions) {
        showMessage(MessageKind::Information, "Connecting", instructions, Failure::None);
    }
    // Connected: the drive operations are offered. Disconnected: only Connect and the files.
    virtual void setConnected(bool connected) = 0;
    // A line for the log, besides the boxes the user answers: what a box only names (the status
    // byte of a failed flash, a file's checksum), ending in a line break. The program routes it;
    // by default it goes to standard error.
    virtual void log(LogLevel level, const QString& line) {
        (void)level;
        std::fputs(line.toLocal8Bit().constData(), stderr);
    }

protected:
    ~FrontEnd() = default;
};

}  // namespace drive_link
