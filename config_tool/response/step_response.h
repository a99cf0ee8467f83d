// What the step-response test of the main window needs besides the drive link and the scope:
// the time-span choices, the blocking waits and the result text.
#pragma once

#include <QString>
#include <cstdint>

#include "ferrox_protocol.h"
#include "step_capture.h"

namespace response {

namespace step_response {
using ferrox_param::kCurrentScale;
using ferrox_param::kPeakError;
using ferrox_param::kSettlingTime;
using ferrox_param::kUndershoot;

// Target current, achieved current and position error, recorded in that slot order.
constexpr int kPositionErrorChannel = 6;
constexpr int kTargetCurrentChannel = 1;
constexpr int kAchievedCurrentChannel = 2;
constexpr int kSlots = 3;
constexpr int kTimePoints = 500;
constexpr int kSamples = kSlots * kTimePoints;
constexpr int kCaptureSetting = 4;         // parameter 5011
constexpr int kSpanMsPerDividerStep = 25;  // a capture spans (divider + 1) x 25 ms
// The capture setting keeps the first 5 % of the points from before the step starts.
constexpr int kPointsBeforeStep = kTimePoints / 20;
// The drive's control cycle, the scope's base rate: a divider of 0 takes a point every cycle.
constexpr double kServoCycleSeconds = kSpanMsPerDividerStep * 1e-3 / kTimePoints;
// The drive injects three quarters of the continuous current (the Test button's tooltip).
constexpr double kInjectedShare = 0.75;

}  // namespace step_response

struct ResponseSpan {
    int divider;                 // parameter 5012
    unsigned long firstWaitMs;   // after the test started
    unsigned long secondWaitMs;  // after the download
    const char* label;           // for the dialog's `timespan` label; null: no graphs
};

// The first span action that is on, in the order 100, 500, 2000 ms; the last row when none is.
const ResponseSpan& chooseResponseSpan(bool span100, bool span500, bool span2000);

QString stepResultText(uint16_t peakError, uint16_t undershoot, uint16_t settlingTimeMs);

}  // namespace response
