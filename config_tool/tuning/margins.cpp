#include "margins.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <functional>
#include <limits>

#include "open_loop.h"

namespace tuning {

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr double kLowestHz = 0.01;
constexpr int kGridPoints = 4000;
constexpr int kRefinements = 40;

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
        return std::log(std::abs(loopAt(model, gains, w).openLoop));
    };
    const auto phaseAboveHalfTurn = [&](double w) { return loopAt(model, gains, w).phase + kPi; };
    double crossover = 0.0;
    double previous = lowest;
    for (int k = 0; k < kGridPoints; ++k) {
        const double w = lowest * std::pow(step, k);
        const std::complex<double> loop = loopAt(model, gains, w).openLoop;
        margins.sensitivityPeak = std::max(margins.sensitivityPeak, 1.0 / std::abs(1.0 + loop));
        if (k > 0 && gainAboveOne(previous) >= 0.0 && std::abs(loop) < 1.0) {
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
            margins.halfTurnHz = halfTurn / (2.0 * kPi);
            margins.gainMarginDb =
                -20.0 * std::log10(std::abs(loopAt(model, gains, halfTurn).openLoop));
            break;
        }
    }
    return margins;
}

}  // namespace tuning
