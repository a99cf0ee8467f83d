// The form's fields of both axes in the order of the settings table, and the settings as the
// form shows them. The form is the only store of the settings in the window.
#pragma once

#include "settings_table.h"
#include "ui_main_window_form.h"

DriveSettings settingsFromForm(Ui::MainWindowForm& ui);
// Puts every content into its field; a field clamps a content outside its range.
void showSettingsInForm(Ui::MainWindowForm& ui, const DriveSettings& settings);
