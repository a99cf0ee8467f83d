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
    Settling,         // the error would not settle within the drive's 500 ms window
    PhaseMargin,      // the loop would keep less phase margin than the assistant allows itself
    Capture,          // the capture cannot carry a proposal: the identification's warning says why
};

// The phase margin the assistant's own choice keeps at least, and the share of the highest
// bandwidth that keeps it which it then proposes: the model is never exact, and the edge of what
// passes is the wrong place to stand.
constexpr double kLeastPhaseMarginDeg = 45.0;
constexpr double kChosenBandwidthShare = 0.8;

// The figures a servo engineer weighs, in the order they are compared.
enum class Figure { None, PeakError, Undershoot, SettlingTime };

// The first figure of `now` worse than `before`'s by more than 5 % (at least 1 count or ms), or
// None. Both the choice against the present gains' prediction and the check of a trial against
// the present gains' run judge by it.
Figure worseFigure(const StepFigures& now, const StepFigures& before);
int figureValue(const StepFigures& figures, Figure figure);

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
    // The integral's pole sits at this share of the bandwidth: below 1 the integral takes less
    // phase at the crossover, and the loop allows a higher bandwidth for the same margin.
    double integralPoleShare = 1.0;
    DriveGains gains;
    Prediction prediction;
    ProposalLimit limit = ProposalLimit::None;
    // When refused: the bandwidth nearest to the asked one that passes every check (0: none).
    double passingBandwidthHz = 0.0;
    std::string refusal;  // empty when offered
    // For the assistant's own choice: the highest bandwidth that passed every check and what
    // failed just above it.
    double allowedBandwidthHz = 0.0;
    ProposalLimit limitedBy = ProposalLimit::None;
    bool offered() const { return limit == ProposalLimit::None; }
};

// Why a bandwidth is refused or limited, in words: "the phase margin would fall below 45 deg".
const char* limitText(ProposalLimit limit);
// The short name of a limit for a machine to read: "phase_margin", "peak_current", ...
const char* limitName(ProposalLimit limit);

// Places the closed loop's poles at (s^2 + 2 zeta w s + w^2)(s + w), w = 2 pi bandwidth, with the
// current loop taken as ideal; the prediction then runs with its lag. A refused proposal still
// carries its gains and prediction.
Proposal proposeGains(const AxisModel& model, const DriveLimits& limits, double injectedCurrent,
                      double bandwidthHz, double damping = 1.0, double integralPoleShare = 1.0);

// The assistant's own bandwidth: for each placement of the integral's pole, the highest bandwidth
// whose prediction passes every check with a phase margin of kLeastPhaseMarginDeg; the placement
// that allows the most wins, and kChosenBandwidthShare of its bandwidth is proposed.
Proposal chooseGains(const AxisModel& model, const DriveLimits& limits, double injectedCurrent,
                     double damping = 1.0);

// The bandwidth whose gains leave the loop the phase margin asked for, with the checks of any
// proposal; refused (PhaseMargin) when no bandwidth the axis allows gives that margin.
Proposal gainsForPhaseMargin(const AxisModel& model, const DriveLimits& limits,
                             double injectedCurrent, double phaseMarginDeg, double damping = 1.0);

}  // namespace tuning
