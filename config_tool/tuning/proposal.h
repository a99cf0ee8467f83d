// Gains for a bandwidth and damping the user chooses, by pole placement on the identified axis,
// with the step response they would give and the checks before they are offered.
#pragma once

#include <string>

#include "axis_model.h"
#include "step_record.h"

namespace tuning {

// What keeps a proposal from being offered.
enum class ProposalLimit {
    None,
    PeakCurrent,      // the target current would reach the peak-current clamp
    PeakError,        // the peak error would pass half the following-error limit
    DerivativeNoise,  // one count of encoder change would move the motor current too far
    CurrentLoop,      // the bandwidth is too close to the current loop's
    SampleRate,       // the bandwidth is too close to what the capture can show
    GainRange,        // a gain would not fit the drive's range
    ZeroGain,         // a gain would round to 0: that term would be missing from the loop
    Capture,          // the capture cannot carry a proposal: the identification's warning says why
};

struct Prediction {
    ClosedLoopRun run;               // 500 ms after the step, every servo cycle
    StepFigures figures;             // as the drive would report them
    double peakTargetCurrent = 0.0;  // A, magnitude
};

// The step test the drive runs (the same injection, clamp and current loop) on the model.
Prediction predictStep(const AxisModel& model, const DriveGains& gains, double injectedCurrent,
                       const DriveLimits& limits);

struct Proposal {
    double bandwidthHz = 0.0;
    double damping = 1.0;
    DriveGains gains;
    Prediction prediction;
    ProposalLimit limit = ProposalLimit::None;
    // When refused: the bandwidth nearest to the asked one that passes every check (0: none).
    double passingBandwidthHz = 0.0;
    std::string refusal;  // empty when offered
    bool offered() const { return limit == ProposalLimit::None; }
};

// Places the closed loop's poles at (s^2 + 2 zeta w s + w^2)(s + w), w = 2 pi bandwidth, with the
// current loop taken as ideal; the prediction then runs with its lag. A refused proposal still
// carries its gains and prediction.
Proposal proposeGains(const AxisModel& model, const DriveLimits& limits, double injectedCurrent,
                      double bandwidthHz, double damping = 1.0);

}  // namespace tuning
