// The tuning assistant on the step test's runs: a run as the assistant reads it, a proposal for
// it, and the check of proposed gains once a run has been made with them. The window's response
// dialog and the command line's `tune` share it.
#pragma once

#include <QString>

#include "identification.h"
#include "proposal.h"
#include "step_capture.h"

namespace response {

// The run as the tuning assistant reads it: currents in A, the error in counts, the injection
// signed as the target current shows it at the step.
tuning::StepRecord stepRecordOf(const StepCapture& capture);

// The axis identified from a run and the gains proposed for it.
struct TuningProposal {
    tuning::Identification identified;
    tuning::Proposal proposal;
};

// Identifies the run's axis and proposes gains for the bandwidth and damping.
TuningProposal proposeForRun(const StepCapture& capture, double bandwidthHz, double damping);
// Another proposal on the same model, as the dialog's controls move.
tuning::Proposal reproposed(const TuningProposal& tuned, const StepCapture& capture,
                            double bandwidthHz, double damping);

// A run with the proposed gains against their prediction.
struct TuningCheck {
    tuning::StepFigures measured;
    double validationFitPercent = 0.0;  // of the model, with the new gains, against the run
    bool passed = false;
    QString why;  // empty when passed
};

// Fails on a run whose figures never arrived, on one where the axis did not move (a disabled
// drive or a fault) or tripped, and on a peak error off the prediction by more than 15 % (at
// least the encoder's 2 counts of dither).
TuningCheck checkTuning(const TuningProposal& tuned, const StepCapture& measured);

// One line each, for the dialog and the command line; the identified axis carries its warning.
QString identifiedText(const tuning::Identification& identified);
QString proposalText(const tuning::Proposal& proposal);
QString figuresText(const tuning::StepFigures& figures);

}  // namespace response
