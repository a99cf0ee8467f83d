// The form's fields of both axes, found by the object names the settings table gives them, and
// the settings as the form shows them. The form is the only store of the settings in the window.
#pragma once

#include "settings_table.h"
#include "ui_main_window_form.h"

namespace config_tool {

// Gives every field the range and step of its row in the settings table (and the motor
// constants their decimals). The form's file holds the same numbers for the designer, but the
// table is what counts: the window calls this once, right after setting up the form.
void applySettingsTableToForm(Ui::MainWindowForm& ui);

DriveSettings settingsFromForm(Ui::MainWindowForm& ui);
// Puts every content into its field; a field clamps a content outside its range.
void showSettingsInForm(Ui::MainWindowForm& ui, const DriveSettings& settings);

}  // namespace config_tool
