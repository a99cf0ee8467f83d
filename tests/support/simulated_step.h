// The 100 ms step test on the simulated axis as the tuning assistant receives it: the scope's
// three channels at 200 us, currents in the drive's milliampere counts, with the injection and
// settings the test ran with. For the tuning tests and the benchmarks.
#pragma once

#include <cstdint>

#include "servo_model.h"
#include "step_capture.h"
#include "step_record.h"

namespace simulated_step {

// Axis 1 as the simulated drive leaves the factory.
drive_sim::ServoTuning factoryAxis();

struct Capture {
    tuning::StepRecord record;
    drive_sim::StepRun run;  // with the drive's own figures
};

Capture runStepTest(const drive_sim::ServoTuning& axis, const drive_sim::AxisMechanics& mechanics,
                    uint64_t seed);

// The capture as the drive link would have brought it in, for the code `tune` runs on it.
response::StepCapture responseCapture(const drive_sim::ServoTuning& axis, const Capture& capture);

// The axis with other gains.
drive_sim::ServoTuning withGains(drive_sim::ServoTuning axis, const tuning::DriveGains& gains);
// The gains as the axis holds them: what reading them back gives.
tuning::DriveGains gainsOf(const drive_sim::ServoTuning& axis);

// The inertia in the drive's units, A s^2 per count, the truth the identification aims at.
double inertiaInDriveUnits(const drive_sim::AxisMechanics& mechanics);

}  // namespace simulated_step
