#include "settings_table.h"

#include <cmath>

namespace {
constexpr double kInductanceFactor = 150.0;
constexpr double kResistanceFactor = 100.0;

constexpr AxisSetting axisSetting(int index) {
    constexpr AxisSetting kAxis1[kSettingsPerAxis] = {
        {410, FieldKind::Integer},    {411, FieldKind::Integer},    {20, FieldKind::Integer},
        {401, FieldKind::Inductance}, {402, FieldKind::Resistance}, {61, FieldKind::Integer},
        {202, FieldKind::Integer},    {200, FieldKind::Integer},    {201, FieldKind::Integer},
    };
    const AxisSetting first = kAxis1[index % kSettingsPerAxis];
    const uint16_t offset = index < kSettingsPerAxis ? 0 : kAxis2ParamOffset;
    return {uint16_t(first.number + offset), first.kind};
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

uint16_t knownSettingsFlags(uint16_t flags) {
    uint16_t known = 0;
    for (uint16_t mask : kSettingsFlagMasks) {
        known = uint16_t(known | mask);
    }
    return uint16_t(flags & known);
}

StepCapture runSettingsOf(const DriveSettings& settings, int axis) {
    const size_t first = size_t(axis * kSettingsPerAxis);
    StepCapture capture;
    capture.axis = axis;
    capture.continuousCurrentMa = settings.contents[first + kContinuousCurrentIndex];
    capture.peakCurrentMa = settings.contents[first + kPeakCurrentIndex];
    capture.gainD = settings.contents[first + kGainDIndex];
    capture.gainP = settings.contents[first + kGainPIndex];
    capture.gainI = settings.contents[first + kGainIIndex];
    return capture;
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
