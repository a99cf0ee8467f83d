#include "servo_model.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace drive_sim {

using namespace servo;

namespace {
// Mechanics are integrated in a few sub-steps per servo cycle so the model stays accurate for
// stiff tunings; the controller itself runs once per cycle, as the drive's does.
constexpr int kMechanicalSubsteps = 5;

double clampMagnitude(double value, double limit) {
    return std::max(-limit, std::min(limit, value));
}

uint16_t toCounts16(double value) {
    return uint16_t(std::min(65535.0, std::max(0.0, std::round(value))));
}
}  // namespace

double currentLoopSeconds(uint16_t inductance, uint16_t resistance) {
    const double henry = inductance / 150.0 / 1000.0;
    const double ohm = resistance / 100.0;
    return henry / (kCurrentRegulatorVoltsPerAmp + ohm);
}

ServoAxis::ServoAxis(const ServoTuning& tuning, uint64_t noiseSeed, const AxisMechanics& mechanics)
    : mechanics_(mechanics),
      kp_(tuning.gainP * kAmpsPerCountP * mechanics.gainScale),
      ki_(tuning.gainI * kAmpsPerCountSecondI * mechanics.gainScale),
      kd_(tuning.gainD * kAmpSecondsPerCountD * mechanics.gainScale),
      peakCurrent_(tuning.peakCurrentMa / 1000.0),
      followErrorLimit_(tuning.followErrorLimit),
      // exp(-inf) is 0: a motor without inductance follows its command at once.
      currentStep_(
          1.0 - std::exp(-kTickSeconds / currentLoopSeconds(tuning.inductance, tuning.resistance))),
      powered_(tuning.powerStageEnabled),
      noiseSource_(noiseSeed) {
    const double loadCurrent = mechanics.load / mechanics.torqueConstant;
    if (powered_ && ki_ > 0.0 && loadCurrent != 0.0) {
        integral_ = clampMagnitude(loadCurrent / ki_, peakCurrent_ / ki_);
        current_ = ki_ * integral_;
    }
}

ServoSample ServoAxis::tick() {
    // The encoder reports whole counts; the commanded position is 0.
    int32_t measured = int32_t(std::floor(angle_ * kCountsPerRadian));
    int32_t error = -measured;
    if (powered_ && std::abs(error) > followErrorLimit_) {
        // The drive faults and switches the power stage off: the injection stops with the
        // controller, and the shaft coasts down under friction.
        tripped_ = true;
        powered_ = false;
    }

    double rate = double(error - lastError_) / kTickSeconds;
    lastError_ = error;
    double filterStep = kTickSeconds / (kDerivativeFilterSeconds + kTickSeconds);
    filteredRate_ += (rate - filteredRate_) * filterStep;

    // Without the power stage the current setpoint is 0 and the winding's current dies away.
    double target = 0.0;
    if (powered_) {
        integral_ += error * kTickSeconds;
        // The integral alone may not demand more than the peak current (anti-windup).
        if (ki_ > 0.0) {
            integral_ = clampMagnitude(integral_, peakCurrent_ / ki_);
        }
        target = kp_ * error + ki_ * integral_ + kd_ * filteredRate_ + injected_;
        target = clampMagnitude(target, peakCurrent_);
    }
    current_ += (target - current_) * currentStep_;

    double dt = kTickSeconds / kMechanicalSubsteps;
    for (int i = 0; i < kMechanicalSubsteps; ++i) {
        double friction = mechanics_.viscousFriction * velocity_ +
                          mechanics_.coulombFriction * std::tanh(velocity_ / kCoulombVelocity);
        double torque = mechanics_.torqueConstant * current_ - friction - mechanics_.load;
        velocity_ += torque / mechanics_.inertia * dt;
        angle_ += velocity_ * dt;
    }

    return ServoSample{target, current_ + senseNoise_(noiseSource_), error};
}

StepMetrics measureStep(const std::vector<int32_t>& errorAfterStep) {
    StepMetrics metrics;
    if (errorAfterStep.empty()) {
        return metrics;
    }
    auto peakAt = std::max_element(errorAfterStep.begin(), errorAfterStep.end());
    double peak = std::max(0, *peakAt);
    metrics.peakError = toCounts16(peak);

    int32_t deepest = *std::min_element(peakAt, errorAfterStep.end());
    metrics.undershoot = toCounts16(std::max(0, -deepest));

    double band = std::max(double(kSettlingBandMin), kSettlingBandFraction * peak);
    size_t lastOutside = errorAfterStep.size();
    for (size_t i = errorAfterStep.size(); i-- > 0;) {
        if (std::abs(errorAfterStep[i]) > band) {
            lastOutside = i;
            break;
        }
    }
    double windowMs = double(errorAfterStep.size()) * kTickSeconds * 1000.0;
    if (lastOutside == errorAfterStep.size()) {
        metrics.settlingTimeMs = 0;
    } else if (lastOutside + 1 == errorAfterStep.size()) {
        metrics.settlingTimeMs = toCounts16(windowMs);  // never settled
    } else {
        metrics.settlingTimeMs = toCounts16(std::ceil((lastOutside + 1) * kTickSeconds * 1000.0));
    }
    return metrics;
}

StepRun runStepDisturbance(const ServoTuning& tuning, int cyclesPerPoint, int points,
                           int preTriggerPoints, uint64_t noiseSeed,
                           const AxisMechanics& mechanics) {
    StepRun run;
    cyclesPerPoint = std::max(1, cyclesPerPoint);
    points = std::max(0, points);
    long stepCycle = long(std::max(0, preTriggerPoints)) * cyclesPerPoint;
    long cycles = std::max(long(points) * cyclesPerPoint, stepCycle + kMetricTicks);
    run.points.reserve(size_t(points));

    ServoAxis axis(tuning, noiseSeed, mechanics);
    // The injection pushes against the positive direction, so the error and the controller's
    // answer both come out positive.
    const double injected = -kInjectedFraction * (tuning.continuousCurrentMa / 1000.0);
    std::vector<int32_t> errorAfterStep;
    errorAfterStep.reserve(kMetricTicks);
    for (long cycle = 0; cycle < cycles; ++cycle) {
        if (cycle == stepCycle) {
            axis.setInjectedCurrent(injected);
        }
        ServoSample sample = axis.tick();
        if (cycle % cyclesPerPoint == 0 && int(run.points.size()) < points) {
            run.points.push_back(sample);
        }
        if (cycle >= stepCycle && int(errorAfterStep.size()) < kMetricTicks) {
            errorAfterStep.push_back(sample.positionError);
        }
    }
    run.metrics = measureStep(errorAfterStep);
    run.tripped = axis.tripped();
    return run;
}

}  // namespace drive_sim
