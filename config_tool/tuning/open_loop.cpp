#include "open_loop.h"

#include <cmath>

namespace tuning {

namespace {
constexpr double kPi = 3.14159265358979323846;
}

// The phase is the sum of the parts' phases, each within its own range, so that it stays
// continuous where a wrapped phase would jump a turn.
LoopAt loopAt(const AxisModel& model, const DriveGains& gains, double w) {
    const std::complex<double> s(0.0, w);
    const ControllerScaling& c = model.controller;
    const double kp = gains.p * c.ampsPerCountP;
    const double ki = gains.i * c.ampsPerCountSecondI;
    const double kd = gains.d * c.ampSecondsPerCountD;
    const std::complex<double> pid = kp + ki / s + kd * s / (c.derivativeFilter * s + 1.0);
    const double tau = model.currentLoop.timeConstant;
    const double loopGain = model.currentLoop.gain > 0.0 ? model.currentLoop.gain : 1.0;
    const std::complex<double> lag = loopGain / (tau * s + 1.0);
    const Mechanics& m = model.mechanics;
    const std::complex<double> axis = 1.0 / (m.inertia * s * s + m.viscous * s);
    const double delay = model.servoCycle;  // the error is sampled once a cycle
    LoopAt at;
    at.plant = lag * axis;
    at.openLoop = pid * at.plant * std::exp(-s * delay);
    at.phase = std::arg(pid) - std::atan(w * tau) - kPi / 2.0 -
               std::atan2(m.inertia * w, m.viscous) - w * delay;
    return at;
}

}  // namespace tuning
