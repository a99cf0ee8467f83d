#include "margins.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <functional>
#include <limits>

namespace tuning {

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr double kLowestHz = 0.01;
constexpr int kGridPoints = 4000;
constexpr int kRefinements = 40;

struct Response {
    double magnitude = 0.0;
    double phase = 0.0;  // rad, continuous in frequency (not wrapped into one turn)
    std::complex<double> value;
};

// L(jw) = PID(jw) x current loop x axis x delay. The phase is the sum of the parts' phases, each
// within its own range, so that it stays continuous where a wrapped phase would jump a turn.
Response openLoop(const AxisModel& model, const DriveGains& gains, double w) {
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
    Response r;
    r.value = pid * lag * axis * std::exp(-s * delay);
    r.magnitude = std::abs(r.value);
    r.phase = std::arg(pid) - std::atan(w * tau) - kPi / 2.0 -
              std::atan2(m.inertia * w, m.viscous) - w * delay;
    return r;
}

// The frequency between `low` and `high` where `f` changes sign, by halving in log frequency.
double edge(double low, double high, const std::function<double(double)>& f) {
    const bool lowSign = f(low) > 0.0;
    for (int k = 0; k < kRefinements; ++k) {
        const double middle = std::sqrt(low * high);
        ((f(middle) > 0.0) == lowSign ? low : high) = middle;
    }
    return std::sqrt(low * high);
}
}  // namespace

StabilityMargins stabilityMargins(const AxisModel& model, const DriveGains& gains) {
    StabilityMargins margins;
    if (!(model.mechanics.inertia > 0.0) || !(model.servoCycle > 0.0)) {
        return margins;
    }
    const double lowest = 2.0 * kPi * kLowestHz;
    const double highest = kPi / model.servoCycle;  // the servo cycle's Nyquist frequency
    const double step = std::pow(highest / lowest, 1.0 / (kGridPoints - 1));
    const auto gainAboveOne = [&](double w) {
        return std::log(openLoop(model, gains, w).magnitude);
    };
    const auto phaseAboveHalfTurn = [&](double w) { return openLoop(model, gains, w).phase + kPi; };
    double crossover = 0.0;
    double previous = lowest;
    for (int k = 0; k < kGridPoints; ++k) {
        const double w = lowest * std::pow(step, k);
        const Response r = openLoop(model, gains, w);
        margins.sensitivityPeak = std::max(margins.sensitivityPeak, 1.0 / std::abs(1.0 + r.value));
        if (k > 0 && gainAboveOne(previous) >= 0.0 && r.magnitude < 1.0) {
            crossover = edge(previous, w, gainAboveOne);
        }
        previous = w;
    }
    if (crossover == 0.0) {
        return margins;
    }
    margins.crosses = true;
    margins.crossoverHz = crossover / (2.0 * kPi);
    margins.phaseMarginDeg = phaseAboveHalfTurn(crossover) * 180.0 / kPi;
    margins.gainMarginDb = std::numeric_limits<double>::infinity();
    const bool above = phaseAboveHalfTurn(crossover) > 0.0;
    for (double w = crossover, next = w * step; next <= highest; w = next, next *= step) {
        if ((phaseAboveHalfTurn(next) > 0.0) != above) {
            const double halfTurn = edge(w, next, phaseAboveHalfTurn);
            margins.gainMarginDb = -20.0 * std::log10(openLoop(model, gains, halfTurn).magnitude);
            break;
        }
    }
    return margins;
}

}  // namespace tuning
