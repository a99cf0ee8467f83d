// The axis as the tuning assistant sees it, all in the drive's units (amperes and encoder
// counts), and the closed loop of that axis under the drive's position controller.
#pragma once

#include <vector>

#include "step_record.h"

namespace tuning {

// The closed current loop: a first-order lag from target to achieved current.
struct CurrentLoop {
    double timeConstant = 0.0;  // s
    double gain = 1.0;          // achieved per target current, at rest
};

// How strongly the firmware applies one unit of each gain.
struct ControllerScaling {
    double ampsPerCountP = 0.0;
    double ampsPerCountSecondI = 0.0;
    double ampSecondsPerCountD = 0.0;
    double derivativeFilter = 0.0;  // s, the first-order filter on the error's rate
};

// Current = inertia x acceleration + viscous x velocity + Coulomb x direction + load.
struct Mechanics {
    double inertia = 0.0;  // A s^2 per count
    double viscous = 0.0;  // A s per count
    double coulomb = 0.0;  // A
    double load = 0.0;     // A, held by the controller before the step
};

struct AxisModel {
    double servoCycle = 50e-6;     // s
    double samplePeriod = 200e-6;  // s, of the capture the model was taken from
    CurrentLoop currentLoop;
    ControllerScaling controller;
    Mechanics mechanics;
};

// The drive's three figures of a step test.
struct StepFigures {
    int peakError = 0;       // counts, the largest error in the direction the injection pushes
    int undershoot = 0;      // counts, the largest swing past zero after the peak
    int settlingTimeMs = 0;  // from the step until the error stays inside its band
};

// Settling times beyond this are the drive's "never": its figure window ends at 500 ms.
constexpr int kLongestSettlingMs = 489;

// The figures from the error of every servo cycle after the step, computed as the drive
// computes them: the band is a tenth of the peak error, at least 3 counts (the encoder's
// dither), and an error that never settles gets the whole window.
StepFigures driveFigures(const std::vector<int>& errorEveryCycle, double servoCycle);

struct ClosedLoopRun {
    std::vector<int> error;             // counts, one per servo cycle from the step on
    std::vector<double> targetCurrent;  // A, one per servo cycle
    bool tripped = false;               // the error passed the following-error limit
};

// The step disturbance on the model: the axis at rest holding its load, then `injected` added to
// the controller's output for `cycles` servo cycles; the target passes the peak-current clamp
// and the current loop. The integral alone may not ask more than the peak current, as in the
// drive. A limit of 0 never trips.
ClosedLoopRun runClosedLoop(const AxisModel& model, const DriveGains& gains, double injected,
                            const DriveLimits& limits, int cycles);

}  // namespace tuning
