#include "settings_comparison.h"

#include <cstdio>

namespace config_tool {

namespace {
std::vector<SettingLine> allLines() {
    std::vector<SettingLine> lines;
    for (int axis = 0; axis < 2; ++axis) {
        for (int i = axis * kSettingsPerAxis; i < (axis + 1) * kSettingsPerAxis; ++i) {
            const AxisSetting& setting = axisSettings()[size_t(i)];
            lines.push_back(
                {setting.number, axis, setting.caption, setting.unit, setting.formField, i, 0});
        }
        for (const SettingsFlag& flag : kSettingsFlags) {
            if (flag.axis == axis) {
                lines.push_back(
                    {kSettingsFlagsParam, axis, flag.caption, "", flag.formField, -1, flag.mask});
            }
        }
    }
    return lines;
}
}  // namespace

const std::vector<SettingLine>& settingLines() {
    static const std::vector<SettingLine> lines = allLines();
    return lines;
}

std::string lineName(const SettingLine& line) {
    return line.caption + ", axis " + std::to_string(line.axis + 1);
}

std::string valueText(const SettingLine& line, const DriveSettings& settings) {
    if (line.settingIndex < 0) {
        return (settings.flags & line.flagMask) != 0 ? "on" : "off";
    }
    const int content = settings.contents[size_t(line.settingIndex)];
    double shown = 0;
    switch (axisSettings()[size_t(line.settingIndex)].kind) {
        case FieldKind::Integer:
            return std::to_string(content);
        case FieldKind::Inductance:
            shown = paramToInductance(content);
            break;
        case FieldKind::Resistance:
            shown = paramToResistance(content);
            break;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", shown);
    return text;
}

bool lineDiffers(const SettingLine& line, const DriveSettings& a, const DriveSettings& b) {
    if (line.settingIndex < 0) {
        return ((a.flags ^ b.flags) & line.flagMask) != 0;
    }
    return a.contents[size_t(line.settingIndex)] != b.contents[size_t(line.settingIndex)];
}

void takeLine(const SettingLine& line, const DriveSettings& from, DriveSettings& into) {
    if (line.settingIndex < 0) {
        into.flags = uint16_t((into.flags & ~line.flagMask) | (from.flags & line.flagMask));
    } else {
        into.contents[size_t(line.settingIndex)] = from.contents[size_t(line.settingIndex)];
    }
}

std::vector<SettingLine> differingLines(const DriveSettings& a, const DriveSettings& b) {
    std::vector<SettingLine> differing;
    for (const SettingLine& line : settingLines()) {
        if (lineDiffers(line, a, b)) {
            differing.push_back(line);
        }
    }
    return differing;
}

}  // namespace config_tool
