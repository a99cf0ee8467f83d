// The position loop at one frequency, from the identified axis: the drive's PID (its derivative
// filtered), the current loop's lag, a servo cycle of delay and the inertia with its viscous
// friction. Dry friction and the load do not enter: they do not change the small-signal response.
// The margins and the frequency response both read the loop here, so that they cannot disagree.
#pragma once

#include <complex>

#include "axis_model.h"
#include "step_record.h"

namespace tuning {

struct LoopAt {
    std::complex<double> openLoop;  // L(jw): error in, error's answer out, through the axis
    double phase = 0.0;             // rad of L, continuous in frequency (not wrapped into a turn)
    // What an injected current does to the position: the current loop, then the axis.
    std::complex<double> plant;
};

// At the angular frequency `w` (rad/s, above 0).
LoopAt loopAt(const AxisModel& model, const DriveGains& gains, double w);

}  // namespace tuning
