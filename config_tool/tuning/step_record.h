// One captured step disturbance test as the tuning assistant reads it: plain numbers in SI units
// and counts, whatever front end or drive link recorded them.
#pragma once

#include <vector>

namespace tuning {

// The position controller's gains as the drive stores them (parameters 200 to 202).
struct DriveGains {
    int p = 0;
    int i = 0;
    int d = 0;
};

// The drive's currents and limit that bound a tuning.
struct DriveLimits {
    double peakCurrent = 0.0;        // A, the clamp on the target current
    double continuousCurrent = 0.0;  // A
    double followErrorLimit = 0.0;   // counts; beyond it the drive switches off
};

struct StepRecord {
    double samplePeriod = 200e-6;         // s between two points of the capture
    double servoCycle = 50e-6;            // s, the drive's control cycle: the scope's base rate
    std::vector<double> targetCurrent;    // A, one per point
    std::vector<double> achievedCurrent;  // A
    std::vector<double> positionError;    // counts, commanded minus measured position
    double injectedCurrent = 0.0;  // A, signed as the drive adds it to the controller's output
    int stepIndex = 0;             // the first point with the injection
    DriveGains gains;              // the gains the test ran with
    DriveLimits limits;
};

}  // namespace tuning
