// How far the position loop is from instability, from the identified axis alone: the open loop of
// the drive's PID (its derivative filtered), the current loop's lag, a servo cycle of delay and
// the inertia with its viscous friction. Dry friction and the load do not enter: they do not
// change the loop's small-signal response.
#pragma once

#include "axis_model.h"
#include "step_record.h"

namespace tuning {

struct StabilityMargins {
    bool crosses = false;         // the open loop's gain passes 1 somewhere; otherwise no figures
    double phaseMarginDeg = 0.0;  // 180 deg plus the phase where the gain passes 1
    double gainMarginDb = 0.0;    // below 1 at the phase's -180 deg above the crossover; +inf: none
    double crossoverHz = 0.0;     // where the gain passes 1 (the highest such frequency)
    double halfTurnHz = 0.0;      // where the gain margin is read; 0: no such frequency
    double sensitivityPeak = 0.0;  // the largest |1 / (1 + L)|: how much the loop amplifies noise
};

StabilityMargins stabilityMargins(const AxisModel& model, const DriveGains& gains);

}  // namespace tuning
