// Front ends that record what a workflow shows instead of showing it: one line per event (a
// status text with its time-out, a message with kind, title, text and what failed, the connected
// state, a question and its scripted answer). The transcript tests compare these lines with
// their golden files.
#pragma once

#include <QString>
#include <functional>

#include "flasher_front_end.h"
#include "morvane_front_end.h"

using EventSink = std::function<void(const QString& line)>;

template <class Interface>
class Recording : public Interface {
public:
    explicit Recording(EventSink record) : record_(std::move(record)) {}
    QString translate(const char* text) override { return QString::fromUtf8(text); }
    void showStatus(const QString& text, int timeoutMs) override {
        record_(QString("status %1: %2").arg(timeoutMs).arg(text));
    }
    void showMessage(drive_link::MessageKind kind, const QString& title, const QString& text,
                     drive_link::Failure failure) override {
        static const char* const kinds[] = {"warning", "critical", "information"};
        static const char* const failures[] = {"",          "|file refused", "|no adapter",
                                               "|no drive", "|link lost",    "|drive failed"};
        record_(QString("%1|%2|%3%4").arg(kinds[int(kind)], title, text, failures[int(failure)]));
    }
    void setConnected(bool connected) override {
        record_(connected ? "connected" : "disconnected");
    }

protected:
    EventSink record_;
};

class MorvaneRecorder : public Recording<config_tool::MorvaneFrontEnd> {
public:
    using Recording::Recording;
    config_tool::DriveSettings settings() override { return form; }
    void showSettings(const config_tool::DriveSettings& settings) override;
    bool isConnected() override { return connection.connected; }
    int32_t storedFirmwareVersion() override { return connection.version; }
    void storeFirmwareVersion(int32_t version) override { connection.version = version; }
    void setConnected(bool isConnected) override;
    QString askSettingsFile(bool forSaving) override;
    bool mayReplace(const QString& name) override;
    int shownAxis() override { return axis; }
    int chosenSpanMs() override { return spanMs; }
    void paintStatusNow() override {}
    void showSpanLabel(const QString& label) override;
    response::StepCapture runSettings(int runAxis) override;
    void showCapture(const response::StepCapture& capture) override;
    void keepCapture(response::StepCapture capture) override;
    // Recorded as "wait N ms" instead of waited, where a transcript or a benchmark asks.
    void waitMilliseconds(unsigned long milliseconds) override;

    config_tool::DriveSettings form;  // the form's start values
    drive_link::ConnectionRecord connection;
    QString fileAnswer;  // the file name the user gives, empty to cancel
    bool replaceAnswer = true;
    int axis = 0;
    int spanMs = 0;
    bool recordWaits = false;
};

class FlasherRecorder : public Recording<flasher::FlasherFrontEnd> {
public:
    using Recording::Recording;
    QString askFirmwareFile() override;
    void imageAccepted() override { record_("image accepted"); }
    void setFlashing(bool flashing) override { record_(flashing ? "flashing" : "flashing over"); }
    void packetStarted(int, int) override { record_("packet hook"); }
    std::chrono::milliseconds idleTimeLimit() override { return idleLimit; }

    QString fileAnswer;
    std::chrono::milliseconds idleLimit = flasher::kDefaultIdleTimeLimit;
};
