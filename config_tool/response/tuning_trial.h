// Gains tried on the drive before they are kept: a step test whose capture and figures can be
// trusted, the check of a run with proposed gains, and the whole trial (send, read back, test,
// judge, put the old gains back). The response dialog's tuning panel and `morvane tune --apply`
// run the same code, so the axis is protected the same way from either.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>

#include "drive_link.h"
#include "step_test.h"
#include "step_tuning.h"

namespace config_tool {
class MorvaneFrontEnd;
}

namespace response {

// A step test as the tuning assistant may use it. A capture that failed its checksum, or holds a
// sample the drive cannot have recorded (a request the line spoiled), is taken again once; the
// fault register is read after the test, since a trip after the capture leaves the curves clean
// and only the drive knows.
struct CheckedStepTest {
    StepTestOutcome tested;
    drive_link::Outcome outcome;  // the link's; DriveFailed when the run is refused
    uint16_t faultRegister = 0;   // as read after the test
    bool tripped() const { return faultRegister != 0; }
    bool corrupted = false;  // the capture failed its checksum both times
    QString refusal;         // why the run may not be used; empty when it may
};

CheckedStepTest runCheckedStepTest(drive_link::Link& link, StepTestFrontEnd& frontEnd);

// What a run with proposed gains showed.
struct TrialMeasurement {
    tuning::DriveGains sent;
    tuning::DriveGains held;  // read back from the drive after the gains were sent
    uint16_t faultRegister = 0;
    tuning::StepFigures measured;  // meaningful only when the drive held the gains sent
};

struct TrialVerdict {
    bool kept = false;
    QString why;  // the first condition that failed; empty when kept
};

// Kept when the drive holds the gains sent, did not fault, the peak error lies within 15 % of the
// prediction (at least the encoder's 2 counts), the error settled within 500 ms and no later than
// the prediction allows, and, when `present` is given (the assistant chose the gains itself), no
// figure is worse than the present gains' on the same test by more than 5 % (at least 1 count or
// ms).
TrialVerdict judgeTrial(const TrialMeasurement& trial, const tuning::StepFigures& predicted,
                        const std::optional<tuning::StepFigures>& present);

struct TuningTrial {
    drive_link::Outcome outcome;  // the link's, or DriveFailed when the gains were not kept
    TrialMeasurement measurement;
    TrialVerdict verdict;
    bool tested = false;  // the run with the gains was made and could be used
    StepCapture run;      // that run
    double validationFitPercent = 0.0;
    bool putBack = false;  // the old gains went back to the drive
};

// Sends the proposal's gains for the axis (stored, as Apply does), reads them back, runs the
// checked step test and judges it. Gains that fail go back to `present`, the faults cleared before
// the store, before the trial returns; a lost link puts nothing back (there is no link for it).
TuningTrial runTuningTrial(drive_link::Link& link, config_tool::MorvaneFrontEnd& frontEnd, int axis,
                           const TuningProposal& tuned, const tuning::DriveGains& present,
                           const std::optional<tuning::StepFigures>& presentFigures);

}  // namespace response
