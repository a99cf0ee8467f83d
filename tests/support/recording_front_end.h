// Front ends that record what a workflow shows instead of showing it, interleaved with the frames
// the simulated drive received meanwhile: the transcript that the golden files hold.
#pragma once

#include <QStringList>
#include <functional>
#include <string>
#include <vector>

#include "flasher_front_end.h"
#include "morvane_front_end.h"
#include "sim_adapter.h"

// The frames the drive received so far: the simulated adapter's log or the emulated chip's.
using FrameSource = std::function<std::vector<drive_sim::FrameRecord>()>;

class Transcript {
public:
    explicit Transcript(FrameSource frames) : frames_(std::move(frames)) {}
    explicit Transcript(const drive_sim::SimulatedAdapter& adapter)
        : Transcript([&adapter] { return adapter.frameLog(); }) {}
    // The frames since the last line, compacted, then `line`; a line that repeats the one before
    // it counts as "xN" there.
    void add(const QString& line);
    QString text();

private:
    void flushFrames();
    FrameSource frames_;
    size_t framesSeen_ = 0;
    QStringList lines_;
    QString lastLine_;
    int repeats_ = 0;
};

// Frames as compact tokens: a parameter read "get P", a write "set P=V", another frame "C,V"
// (the value "*" for the scope's sample addresses and the flasher's data words, which tests
// compare as data), runs of a repeated group of up to four tokens as "(group) xN".
QString compactFrames(const std::vector<drive_sim::FrameRecord>& frames);
// The trace as "|"-separated tokens: "." for a clean transaction line, a complaint with its
// value as "*", a row of the scope's sample table as "row", every other line as it is, and runs
// compacted as the frames are. For standard output and standard error alike.
QString compactTrace(const std::string& out);

template <class Interface>
class Recording : public Interface {
public:
    explicit Recording(Transcript& transcript) : transcript_(transcript) {}
    QString translate(const char* text) override { return QString::fromUtf8(text); }
    void showStatus(const QString& text, int timeoutMs) override {
        transcript_.add(QString("status %1: %2").arg(timeoutMs).arg(text));
    }
    void showMessage(MessageKind kind, const QString& title, const QString& text) override {
        static const char* const kinds[] = {"warning", "critical", "information"};
        transcript_.add(QString("%1|%2|%3").arg(kinds[int(kind)], title, text));
    }
    void setConnected(bool connected) override {
        transcript_.add(connected ? "connected" : "disconnected");
    }

protected:
    Transcript& transcript_;
};

class MorvaneRecorder : public Recording<MorvaneFrontEnd> {
public:
    using Recording::Recording;
    DriveSettings settings() override { return form; }
    void showSettings(const DriveSettings& settings) override;
    bool isConnected() override { return connected; }
    int32_t storedFirmwareVersion() override { return firmwareVersion; }
    void storeFirmwareVersion(int32_t version) override { firmwareVersion = version; }
    void setConnected(bool isConnected) override;
    QString askSettingsFile(bool forSaving) override;
    bool mayReplace(const QString& name) override;
    int shownAxis() override { return axis; }
    int chosenSpanMs() override { return spanMs; }
    void paintStatusNow() override {}
    void showSpanLabel(const QString& label) override;
    StepCapture runSettings(int runAxis) override;
    void showCapture(const StepCapture& capture) override;
    void keepCapture(StepCapture capture) override;

    DriveSettings form;  // the form's start values
    bool connected = false;
    int32_t firmwareVersion = -1;
    QString fileAnswer;  // the file name the user gives, empty to cancel
    bool replaceAnswer = true;
    int axis = 0;
    int spanMs = 0;
};

class FlasherRecorder : public Recording<FlasherFrontEnd> {
public:
    using Recording::Recording;
    QString askFirmwareFile() override;
    void imageAccepted() override { transcript_.add("image accepted"); }
    void setFlashing(bool flashing) override {
        transcript_.add(flashing ? "flashing" : "flashing over");
    }
    void packetStarted() override { transcript_.add("packet hook"); }

    QString fileAnswer;
};
