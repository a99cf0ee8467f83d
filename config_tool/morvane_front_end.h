// What the configuration program's workflows need of their front end: the settings of both axes
// (the form is their only store in the window), the connected state with the firmware version
// read at connect, the settings file name, and the step test's choices.
#pragma once

#include <cstdint>

#include "settings_table.h"
#include "step_test_front_end.h"

namespace config_tool {

class MorvaneFrontEnd : public response::StepTestFrontEnd {
public:
    virtual DriveSettings settings() = 0;
    virtual void showSettings(const DriveSettings& settings) = 0;

    virtual bool isConnected() = 0;
    // The version read at connect; -1 while disconnected.
    virtual int32_t storedFirmwareVersion() = 0;
    virtual void storeFirmwareVersion(int32_t version) = 0;

    // The settings file to save into or open; empty when the user cancelled.
    virtual QString askSettingsFile(bool forSaving) = 0;
    // Whether an existing file of this name, which the user did not choose as such, may be
    // replaced; true when there is none.
    virtual bool mayReplace(const QString& name) = 0;

    // Connect has identified the drive and now reads its settings, the longest part of it; the
    // window's status text already covers it, a command line names the phase.
    virtual void importingSettings() {}
    // Apply begins: the settings go to the drive and are stored.
    virtual void applyingSettings() {}
    // The drive now holds these settings: read by Connect, or written and stored by Apply.
    virtual void driveHolds(const DriveSettings& settings) { (void)settings; }
    // The settings file just saved or opened holds these settings (as the form shows them).
    virtual void fileHolds(const DriveSettings& settings) { (void)settings; }

protected:
    ~MorvaneFrontEnd() = default;
};

}  // namespace config_tool
