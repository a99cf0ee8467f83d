// One run of the step test as the session keeps it: the settings it ran with, the drive's three
// figures and the recorded curves in the plots' units; and its export as comma-separated text.
// Plain C++, so that a command line can write the same file.
#pragma once

#include <any>
#include <cstdint>
#include <string>
#include <vector>

#include "axis_model.h"

namespace response {

namespace step_response {
// Settling times from here on are shown as "more than 500 ms".
constexpr int kLongestSettlingTime = tuning::kLongestSettlingMs;
constexpr int kShownForLongSettling = 500;
// The drive's figures are unsigned 16-bit words: one at the top of its range may stand for any
// larger value.
constexpr uint16_t kSaturatedFigure = 0xFFFF;
}  // namespace step_response

struct CapturePoint {
    float targetAmps = 0;
    float achievedAmps = 0;
    float errorCounts = 0;
};

struct StepCapture {
    int axis = 0;  // 0 for "Axis 1"
    int spanMs = 0;
    int gainP = 0;
    int gainI = 0;
    int gainD = 0;
    int peakCurrentMa = 0;
    int continuousCurrentMa = 0;
    bool figuresRead = false;  // false when the link failed before the figures arrived
    uint16_t peakError = 0;
    uint16_t undershoot = 0;
    uint16_t settlingTimeMs = 0;
    std::vector<CapturePoint> points;  // one per time point, in time order
    // A sample of the curves at the end of the drive's signed 16-bit range: the current or the
    // error went further than the curves show.
    bool curvesSaturated = false;
    int followErrorLimit = 0;  // counts, for the tuning assistant; not in the CSV file
    // Every setting the run ran with, as the window holds them; only the window reads them.
    std::any settingsAtRun{};
};

// The capture's samples split by slot (target current, achieved current, position error), the
// currents divided by the drive's current scale in single precision. A scale of 0 (a drive that
// reports none) leaves the currents in the drive's counts rather than dividing by zero.
std::vector<CapturePoint> capturePoints(const float* samples, int timePoints, float currentScale);

// Whether any of the scope's samples (signed 16-bit words, as floats) sits at the end of its range.
bool samplesSaturated(const float* samples, int count);

// The drive's three figures as the result says them: "peak error 812 counts, undershoot 65535
// counts (saturated), settling time >500 ms".
std::string figuresText(uint16_t peakError, uint16_t undershoot, uint16_t settlingTimeMs);

// The figures that reached the 16-bit limit ("peak error, undershoot, curves"), empty for none.
std::string saturatedFigures(uint16_t peakError, uint16_t undershoot, bool curvesSaturated);

// The capture holds `timePoints` samples evenly spread over the span, the first at 0 ms: the
// last one lies a sample period before the span.
double sampleTimeMs(int index, int timePoints, int spanMs);

// A line naming the run's axis, span, settings and figures, a line of column names, then one line
// per time point: time in ms, target and achieved current in A, position error in counts.
std::string stepCaptureCsv(const StepCapture& capture);

}  // namespace response
