// The configuration program's workflows run from a shell.
#pragma once

#include "command_line_report.h"
#include "morvane_front_end.h"

namespace command_line {

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
    response::SampleTables sampleTables() override { return response::SampleTables::InTrace; }

    QString settingsFile;
    int axis = 0;
    int spanMs = 0;
    response::StepCapture capture;

private:
    config_tool::DriveSettings settings_;
};

}  // namespace command_line
