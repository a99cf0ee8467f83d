#include "axis_model.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "friction.h"

namespace tuning {

namespace {
constexpr int kBandMinimumCounts = 3;
constexpr double kBandFraction = 0.1;
constexpr int kMechanicalSubsteps = 4;

double clampMagnitude(double value, double limit) {
    return std::max(-limit, std::min(limit, value));
}
}  // namespace

StepFigures driveFigures(const std::vector<int>& errorEveryCycle, double servoCycle) {
    StepFigures figures;
    if (errorEveryCycle.empty()) {
        return figures;
    }
    const auto peakAt = std::max_element(errorEveryCycle.begin(), errorEveryCycle.end());
    figures.peakError = std::max(0, *peakAt);
    figures.undershoot = std::max(0, -*std::min_element(peakAt, errorEveryCycle.end()));
    const double band = std::max(double(kBandMinimumCounts), kBandFraction * figures.peakError);
    size_t settledFrom = 0;
    for (size_t i = errorEveryCycle.size(); i-- > 0;) {
        if (std::abs(errorEveryCycle[i]) > band) {
            settledFrom = i + 1;
            break;
        }
    }
    figures.settlingTimeMs =
        settledFrom == errorEveryCycle.size()
            ? int(std::lround(double(errorEveryCycle.size()) * servoCycle * 1000.0))
            : int(std::ceil(double(settledFrom) * servoCycle * 1000.0 - 1e-9));
    return figures;
}

ClosedLoopRun runClosedLoop(const AxisModel& model, const DriveGains& gains, double injected,
                            const DriveLimits& limits, int cycles) {
    const double cycle = model.servoCycle;
    const double kp = gains.p * model.controller.ampsPerCountP;
    const double ki = gains.i * model.controller.ampsPerCountSecondI;
    const double kd = gains.d * model.controller.ampSecondsPerCountD;
    const double filterStep = cycle / (model.controller.derivativeFilter + cycle);
    const double currentStep = model.currentLoop.timeConstant > 0.0
                                   ? 1.0 - std::exp(-cycle / model.currentLoop.timeConstant)
                                   : 1.0;
    const Mechanics& m = model.mechanics;
    const double loopGain = model.currentLoop.gain;

    ClosedLoopRun run;
    run.error.reserve(size_t(std::max(0, cycles)));
    run.targetCurrent.reserve(size_t(std::max(0, cycles)));
    double integral = 0.0;
    double current = 0.0;
    if (ki > 0.0 && loopGain > 0.0) {
        integral = clampMagnitude(m.load / loopGain / ki, limits.peakCurrent / ki);
        current = ki * integral * loopGain;
    }
    double position = 0.0;  // counts
    double velocity = 0.0;  // counts/s
    double filteredRate = 0.0;
    int lastError = 0;
    bool powered = true;
    const double dt = cycle / kMechanicalSubsteps;
    for (int n = 0; n < cycles; ++n) {
        const int error = -int(std::floor(position));
        if (powered && limits.followErrorLimit > 0.0 && std::abs(error) > limits.followErrorLimit) {
            powered = false;
            run.tripped = true;
        }
        filteredRate += (double(error - lastError) / cycle - filteredRate) * filterStep;
        lastError = error;
        double target = 0.0;
        if (powered) {
            integral += error * cycle;
            if (ki > 0.0) {
                integral = clampMagnitude(integral, limits.peakCurrent / ki);
            }
            target = clampMagnitude(kp * error + ki * integral + kd * filteredRate + injected,
                                    limits.peakCurrent);
        }
        current += (loopGain * target - current) * currentStep;
        for (int s = 0; s < kMechanicalSubsteps; ++s) {
            const double force = current - m.viscous * velocity -
                                 m.coulomb * std::tanh(velocity / kFrictionSpeed) - m.load;
            velocity += force / m.inertia * dt;
            position += velocity * dt;
        }
        run.error.push_back(error);
        run.targetCurrent.push_back(target);
    }
    return run;
}

}  // namespace tuning
