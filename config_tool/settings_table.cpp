#include "settings_table.h"

#include <algorithm>
#include <cmath>

namespace config_tool {

using response::StepCapture;

namespace {
constexpr double kInductanceFactor = 150.0;
constexpr double kResistanceFactor = 100.0;

// One axis's settings; axis 2's parameters lie kAxis2ParamOffset higher and its fields end in
// "M2" instead of "M1".
struct AxisRow {
    uint16_t number;
    FieldKind kind;
    int least;
    int most;
    int step;
    const char* field;  // without the axis
    const char* caption;
    const char* unit;
};
constexpr AxisRow kAxisRows[kSettingsPerAxis] = {
    {410, FieldKind::Integer, 0, 11000, 200, "contcurr", "Motor continuous current", "mA"},
    {411, FieldKind::Integer, 0, 20000, 200, "peakcurr", "Motor peak current", "mA"},
    {20, FieldKind::Integer, 1, 16383, 100, "ferror", "Follow error limit", "counts"},
    {401, FieldKind::Inductance, 5, 5000, 5, "inductance", "Motor inductance", "mH"},
    {402, FieldKind::Resistance, 5, 5000, 5, "resistance", "Motor resistance", "Ohm"},
    {61, FieldKind::Integer, 1, 20, 1, "mult", "Step multiplier", ""},  // input pulse multiplier
    {202, FieldKind::Integer, 0, 32767, 50, "gainD", "D gain (Kd)", ""},
    {200, FieldKind::Integer, 0, 32767, 50, "gainP", "P gain (Kp)", ""},
    {201, FieldKind::Integer, 0, 32767, 25, "gainI", "I gain (Ki)", ""},
};

AxisSetting axisSetting(int index) {
    const AxisRow& row = kAxisRows[index % kSettingsPerAxis];
    const bool axis2 = index >= kSettingsPerAxis;
    return {uint16_t(row.number + (axis2 ? kAxis2ParamOffset : 0)),
            row.kind,
            row.least,
            row.most,
            row.step,
            row.field + std::string(axis2 ? "M2" : "M1"),
            row.caption,
            row.unit,
            axis2 ? 1 : 0};
}

uint16_t scaledToParam(double value, double factor) {
    const float product = float(value * factor);
    return uint16_t(std::lround(product));
}
}  // namespace

const std::array<AxisSetting, kAxisSettingCount>& axisSettings() {
    static const std::array<AxisSetting, kAxisSettingCount> settings = [] {
        std::array<AxisSetting, kAxisSettingCount> all{};
        for (int i = 0; i < kAxisSettingCount; ++i) {
            all[size_t(i)] = axisSetting(i);
        }
        return all;
    }();
    return settings;
}

ContentRange contentRange(const AxisSetting& setting) {
    if (setting.kind == FieldKind::Integer) {
        return {setting.least, setting.most};
    }
    const auto content = [&setting](int hundredths) {
        const double value = hundredths / 100.0;
        return setting.kind == FieldKind::Inductance ? inductanceToParam(value)
                                                     : resistanceToParam(value);
    };
    return {content(setting.least), content(setting.most)};
}

bool currentsAreValid(const DriveSettings& settings) {
    for (int axis = 0; axis < 2; ++axis) {
        const size_t first = size_t(axis * kSettingsPerAxis);
        if (settings.contents[first + kContinuousCurrentIndex] >
            settings.contents[first + kPeakCurrentIndex]) {
            return false;
        }
    }
    return true;
}

DriveSettings asTheFormHolds(const DriveSettings& settings) {
    DriveSettings held;
    for (const SettingsFlag& flag : kSettingsFlags) {
        held.flags = uint16_t(held.flags | (settings.flags & flag.mask));
    }
    for (size_t i = 0; i < axisSettings().size(); ++i) {
        const AxisSetting& field = axisSettings()[i];
        const int content = settings.contents[i];
        switch (field.kind) {
            case FieldKind::Integer:
                held.contents[i] = std::clamp(content, field.least, field.most);
                break;
            case FieldKind::Inductance:
            case FieldKind::Resistance: {
                const bool inductance = field.kind == FieldKind::Inductance;
                const double shown =
                    inductance ? paramToInductance(content) : paramToResistance(content);
                const double kept =
                    std::clamp(int(std::lround(shown * 100)), field.least, field.most) / 100.0;
                held.contents[i] = inductance ? inductanceToParam(kept) : resistanceToParam(kept);
                break;
            }
        }
    }
    return held;
}

StepCapture runSettingsOf(const DriveSettings& settings, int axis) {
    const size_t first = size_t(axis * kSettingsPerAxis);
    StepCapture capture;
    capture.axis = axis;
    capture.continuousCurrentMa = settings.contents[first + kContinuousCurrentIndex];
    capture.peakCurrentMa = settings.contents[first + kPeakCurrentIndex];
    capture.followErrorLimit = settings.contents[first + kFollowErrorIndex];
    capture.gainD = settings.contents[first + kGainDIndex];
    capture.gainP = settings.contents[first + kGainPIndex];
    capture.gainI = settings.contents[first + kGainIIndex];
    return capture;
}

DriveSettings withGains(DriveSettings settings, int axis, int p, int i, int d) {
    const size_t first = size_t(axis * kSettingsPerAxis);
    settings.contents[first + kGainPIndex] = p;
    settings.contents[first + kGainIIndex] = i;
    settings.contents[first + kGainDIndex] = d;
    return settings;
}

uint16_t inductanceToParam(double millihenry) {
    return scaledToParam(millihenry, kInductanceFactor);
}

uint16_t resistanceToParam(double ohm) {
    return scaledToParam(ohm, kResistanceFactor);
}

double paramToInductance(int content) {
    return content / kInductanceFactor;
}

double paramToResistance(int content) {
    return content / kResistanceFactor;
}

}  // namespace config_tool
