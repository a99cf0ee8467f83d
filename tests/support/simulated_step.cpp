#include "simulated_step.h"

#include <cmath>

namespace simulated_step {

namespace {
constexpr int kCyclesPerPoint = 4;  // divider 3: 100 ms over the 500 points
constexpr int kPoints = 500;
constexpr int kPreTriggerPoints = 25;
constexpr double kCountsPerAmp = 1000.0;  // the factory's current scale

double scopeCurrent(double amps) {
    return std::round(amps * kCountsPerAmp) / kCountsPerAmp;
}
}  // namespace

drive_sim::ServoTuning factoryAxis() {
    drive_sim::ServoTuning axis;
    axis.gainP = 650;
    axis.gainI = 120;
    axis.gainD = 700;
    axis.continuousCurrentMa = 2600;
    axis.peakCurrentMa = 6000;
    axis.followErrorLimit = 800;
    axis.inductance = 375;
    axis.resistance = 85;
    return axis;
}

Capture runStepTest(const drive_sim::ServoTuning& axis, const drive_sim::AxisMechanics& mechanics,
                    uint64_t seed) {
    Capture capture;
    capture.run = drive_sim::runStepDisturbance(axis, kCyclesPerPoint, kPoints, kPreTriggerPoints,
                                                seed, mechanics);
    tuning::StepRecord& r = capture.record;
    r.samplePeriod = kCyclesPerPoint * drive_sim::servo::kTickSeconds;
    r.servoCycle = drive_sim::servo::kTickSeconds;
    for (const drive_sim::ServoSample& point : capture.run.points) {
        r.targetCurrent.push_back(scopeCurrent(point.targetCurrent));
        r.achievedCurrent.push_back(scopeCurrent(point.achievedCurrent));
        r.positionError.push_back(point.positionError);
    }
    r.injectedCurrent = -0.75 * axis.continuousCurrentMa / 1000.0;
    r.stepIndex = kPreTriggerPoints;
    r.gains = {axis.gainP, axis.gainI, axis.gainD};
    r.limits = {axis.peakCurrentMa / 1000.0, axis.continuousCurrentMa / 1000.0,
                double(axis.followErrorLimit)};
    return capture;
}

response::StepCapture responseCapture(const drive_sim::ServoTuning& axis, const Capture& capture) {
    response::StepCapture run;
    run.spanMs = int(std::lround(kPoints * kCyclesPerPoint * drive_sim::servo::kTickSeconds * 1e3));
    run.gainP = axis.gainP;
    run.gainI = axis.gainI;
    run.gainD = axis.gainD;
    run.peakCurrentMa = axis.peakCurrentMa;
    run.continuousCurrentMa = axis.continuousCurrentMa;
    run.followErrorLimit = axis.followErrorLimit;
    run.figuresRead = true;
    run.peakError = capture.run.metrics.peakError;
    run.undershoot = capture.run.metrics.undershoot;
    run.settlingTimeMs = capture.run.metrics.settlingTimeMs;
    const tuning::StepRecord& r = capture.record;
    for (size_t k = 0; k < r.positionError.size(); ++k) {
        run.points.push_back(
            {float(r.targetCurrent[k]), float(r.achievedCurrent[k]), float(r.positionError[k])});
    }
    return run;
}

drive_sim::ServoTuning withGains(drive_sim::ServoTuning axis, const tuning::DriveGains& gains) {
    axis.gainP = uint16_t(gains.p);
    axis.gainI = uint16_t(gains.i);
    axis.gainD = uint16_t(gains.d);
    return axis;
}

tuning::DriveGains gainsOf(const drive_sim::ServoTuning& axis) {
    return {axis.gainP, axis.gainI, axis.gainD};
}

double inertiaInDriveUnits(const drive_sim::AxisMechanics& mechanics) {
    return mechanics.inertia / (mechanics.torqueConstant * drive_sim::servo::kCountsPerRadian);
}

}  // namespace simulated_step
