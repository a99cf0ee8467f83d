// The configuration program's window as its workflows see it from the worker thread: every call
// made on the GUI thread, the worker waiting for its answer.
#pragma once

#include "morvane_front_end.h"
#include "on_gui_thread.h"

namespace config_tool {

class MorvaneOnGuiThread : public widgets::OnGuiThread<MorvaneFrontEnd> {
public:
    using OnGuiThread::OnGuiThread;

    DriveSettings settings() override {
        return onGui([&] { return window().settings(); });
    }
    void showSettings(const DriveSettings& settings) override {
        onGui([&] { window().showSettings(settings); });
    }
    bool isConnected() override {
        return onGui([&] { return window().isConnected(); });
    }
    int32_t storedFirmwareVersion() override {
        return onGui([&] { return window().storedFirmwareVersion(); });
    }
    void storeFirmwareVersion(int32_t version) override {
        onGui([&] { window().storeFirmwareVersion(version); });
    }
    QString askSettingsFile(bool forSaving) override {
        return onGui([&] { return window().askSettingsFile(forSaving); });
    }
    bool mayReplace(const QString& name) override {
        return onGui([&] { return window().mayReplace(name); });
    }
    void importingSettings() override {
        onGui([&] { window().importingSettings(); });
    }
    void applyingSettings() override {
        onGui([&] { window().applyingSettings(); });
    }
    void driveHolds(const DriveSettings& settings) override {
        onGui([&] { window().driveHolds(settings); });
    }
    void fileHolds(const DriveSettings& settings) override {
        onGui([&] { window().fileHolds(settings); });
    }
    int shownAxis() override {
        return onGui([&] { return window().shownAxis(); });
    }
    int chosenSpanMs() override {
        return onGui([&] { return window().chosenSpanMs(); });
    }
    void paintStatusNow() override {
        onGui([&] { window().paintStatusNow(); });
    }
    void showSpanLabel(const QString& label) override {
        onGui([&] { window().showSpanLabel(label); });
    }
    response::StepCapture runSettings(int axis) override {
        return onGui([&] { return window().runSettings(axis); });
    }
    void showCapture(const response::StepCapture& capture) override {
        onGui([&] { window().showCapture(capture); });
    }
    void keepCapture(response::StepCapture capture) override {
        onGui([&] { window().keepCapture(std::move(capture)); });
    }
    void downloadingScope() override {
        onGui([&] { window().downloadingScope(); });
    }
};

}  // namespace config_tool
