// The position loop and the axis's answer to a disturbance, over frequency: the model's, for any
// gains, and the one a step test measured. The disturbance is the test's own: a current added to
// the controller's output, answered by the position error.
#pragma once

#include <vector>

#include "axis_model.h"
#include "margins.h"
#include "step_record.h"

namespace tuning {

// `points` frequencies (Hz) spaced evenly in log frequency from 1 Hz to the capture's Nyquist
// frequency (half its sample rate); none when the sample period is not above 0.
std::vector<double> frequencyGrid(double samplePeriod, int points = 200);

struct LoopResponse {
    std::vector<double> hz;
    std::vector<double> openLoopDb;        // |L| in dB
    std::vector<double> openLoopPhaseDeg;  // of L, unwrapped: -180 is the edge of instability
    std::vector<double> sensitivityDb;     // |1 / (1 + L)| in dB: above 0 the loop amplifies
    // |plant / (1 + L)|: counts of error per ampere of injected current, at each frequency.
    std::vector<double> disturbanceCountsPerAmp;
    StabilityMargins margins;  // as the panel and the command line report them
};

// The curves for `gains`, with their margins as `stabilityMargins` worked them out (the caller
// has them already: working them out again costs as much as the curves). Empty curves, with no
// margins, when the model has no inertia.
LoopResponse loopResponse(const AxisModel& model, const DriveGains& gains,
                          const std::vector<double>& hz, const StabilityMargins& margins);

// The disturbance response a capture measured: the error's answer to the injected current step,
// differenced into the impulse response and transformed at the grid's frequencies. Below one
// cycle over the capture's length after the step the capture holds too little of a period to
// mean anything; where the magnitude is within five times what the noise alone would give, it
// is the noise that shows. The noise is the larger of the error's scatter before the step (the
// axis at rest, dithering) and in the capture's last quarter (the loop's own unrest once the
// answer has died away), and at least the encoder's rounding (1/12 count squared).
struct MeasuredDisturbance {
    std::vector<double> hz;
    std::vector<double> countsPerAmp;
    std::vector<double> noiseCountsPerAmp;  // the magnitude the noise alone would give
    std::vector<bool> trusted;
    double lowestTrustedHz = 0.0;  // 1 / the capture's length after the step
    double noiseCounts = 0.0;      // rms of the error at rest
};

// Empty when the capture has no injection, no point before its step or none after it.
MeasuredDisturbance measuredDisturbance(const StepRecord& record, const std::vector<double>& hz);

}  // namespace tuning
