// The settings as a person compares them, one line per thing the form shows: each axis setting,
// and each check box of the shared flags parameter on its own. The form's marks of pending
// changes, the compare table and the command line's show and diff all walk these lines, so they
// name and format a setting alike.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "settings_table.h"

namespace config_tool {

struct SettingLine {
    uint16_t parameter;  // the flags parameter for a check box
    int axis;            // 0 or 1: the tab that shows it
    std::string caption;
    std::string unit;  // empty where the form shows none
    std::string formField;
    int settingIndex;   // into DriveSettings::contents, or -1 for a check box
    uint16_t flagMask;  // the check box's bit, 0 for an axis setting
};

// The 25 lines: axis 1's settings then its check boxes, then axis 2's, in the form's order.
const std::vector<SettingLine>& settingLines();

// "Motor continuous current, axis 1".
std::string lineName(const SettingLine& line);

// The value as the form shows it: "650", "6.50" for the motor constants, "on" or "off".
std::string valueText(const SettingLine& line, const DriveSettings& settings);

bool lineDiffers(const SettingLine& line, const DriveSettings& a, const DriveSettings& b);

// `into` with the line's value taken from `from`: one setting, or one check box's bit.
void takeLine(const SettingLine& line, const DriveSettings& from, DriveSettings& into);

// The lines where `a` and `b` differ, in settingLines() order.
std::vector<SettingLine> differingLines(const DriveSettings& a, const DriveSettings& b);

}  // namespace config_tool
