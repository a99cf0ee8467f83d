// Which drive parameters hold the settings of both axes, which field of the form shows each, its
// range and step, and how a field's value becomes the parameter's 16-bit content and back. Both
// transfer directions walk these tables, so the order here is the order on the wire and in the
// settings file. The form takes its fields' ranges and steps from here when the window starts.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "step_capture.h"

namespace config_tool {

constexpr uint16_t kSettingsFlagsParam = 80;
constexpr uint16_t kAxis2ParamOffset = 8100;
constexpr int kAxisSettingCount = 18;

enum class FieldKind {
    Integer,     // spin box, sent as it is
    Inductance,  // mH with two decimals, sent as mH x 150
    Resistance,  // Ohm with two decimals, sent as Ohm x 100
};

// The motor constants' fields show hundredths: their range and step below count in them.
constexpr int kMotorConstantDecimals = 2;

struct AxisSetting {
    uint16_t number;
    FieldKind kind;
    // The form's range and step: contents for the integer fields, hundredths of mH or Ohm for
    // the motor constants.
    int least;
    int most;
    int step;
    std::string formField;  // the object name of the form's field, e.g. "contcurrM1"
    const char* caption;    // the form's caption, e.g. "Motor continuous current"
    const char* unit;       // the form's unit label, e.g. "mA"; empty where the form shows none
    int axis;               // 0 or 1
};

// The 18 axis settings: axis 1, then axis 2, each in the drive's order (continuous and peak
// current, following error, inductance, resistance, multiplier, gains D, P and I).
const std::array<AxisSetting, kAxisSettingCount>& axisSettings();
constexpr int kContinuousCurrentIndex = 0;  // within an axis; axis 2 starts at 9
constexpr int kPeakCurrentIndex = 1;
constexpr int kFollowErrorIndex = 2;
constexpr int kGainDIndex = 6;
constexpr int kGainPIndex = 7;
constexpr int kGainIIndex = 8;
constexpr int kSettingsPerAxis = 9;

// The bits of parameter 80 that the form has a check box for, each with the box's object name:
// invert, encoder fail and anti-dither of axis 1, the same of axis 2, and axis 2 as slave.
struct SettingsFlag {
    uint16_t mask;
    const char* formField;
    const char* caption;  // the check box's text
    int axis;             // the tab that holds the box: 0 or 1
};
constexpr std::array<SettingsFlag, 7> kSettingsFlags = {{
    {0x0008, "invertM1", "Invert encoder direction", 0},
    {0x4000, "encoderfailM1", "Enable encoder failure detection", 0},
    {0x0200, "antiditherM1", "Enable Anti-dither", 0},
    {0x0010, "invertM2", "Invert encoder direction", 1},
    {0x8000, "encoderfailM2", "Enable encoder failure detection", 1},
    {0x0400, "antiditherM2", "Enable Anti-dither", 1},
    {0x0004, "slaveAxisM2", "Axis 2 is a parallel (slave axis) to Axis 1", 1},
}};

// The settings of both axes as parameter contents: what the form shows, what the drive and the
// settings file hold. A content taken from a file may lie outside the field's range; the form
// clamps it.
struct DriveSettings {
    uint16_t flags = 0;
    std::array<int, kAxisSettingCount> contents{};  // in axisSettings() order
};

// The contents a field can hold: its range for the integer fields, the contents of its least
// and greatest value for the motor constants.
struct ContentRange {
    int least;
    int most;
};
ContentRange contentRange(const AxisSetting& setting);

// The continuous current of neither axis exceeds its peak current.
bool currentsAreValid(const DriveSettings& settings);

// The settings as the form holds them once shown: only the flag bits that have a check box, each
// value clamped to its field's range, the motor constants to two decimals. A front end without
// the form holds them so too, to send and save the same values.
DriveSettings asTheFormHolds(const DriveSettings& settings);

// A step test's record of the settings it ran with on that axis (0 or 1).
response::StepCapture runSettingsOf(const DriveSettings& settings, int axis);

// The settings with the axis's P, I and D gains replaced.
DriveSettings withGains(DriveSettings settings, int axis, int p, int i, int d);

// Motor constants: the product goes through single precision before it is rounded, halves away
// from zero, so that every two-decimal value survives the way back (content / factor).
uint16_t inductanceToParam(double millihenry);
uint16_t resistanceToParam(double ohm);
double paramToInductance(int content);
double paramToResistance(int content);

}  // namespace config_tool
