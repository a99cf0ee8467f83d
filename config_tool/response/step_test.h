// The step disturbance test behind the Test button: the drive injects a torque step on the
// shown axis while it holds position, records the scope, and computes its figures itself.
#pragma once

#include <cstdint>

#include "drive_link.h"
#include "front_end.h"
#include "step_capture.h"

namespace response {

class StepTestFrontEnd;

// The drive's three figures of the run, as read after it.
struct StepFigures {
    uint16_t peakError = 0;
    uint16_t undershoot = 0;
    uint16_t settlingTimeMs = 0;
};

// Done, or the link lost (the figures then are whatever arrived). A scope download that fails
// its checksum still draws its curves and is no failure of the test, but a caller that reads
// numbers from the curves must not trust them.
struct StepTestOutcome {
    drive_link::Outcome outcome;
    StepFigures figures;
    bool captureCorrupted = false;  // the curves were downloaded and failed their checksum
    StepCapture capture;            // the run as the front end keeps it; none without a span
};

StepTestOutcome runStepTest(drive_link::Link& link, StepTestFrontEnd& frontEnd);

}  // namespace response
