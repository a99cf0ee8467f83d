// The tuning assistant on the step test's runs: a run as the assistant reads it, a proposal for
// it, and their texts. The window's response dialog and the command line's `tune` share it.
#pragma once

#include <QString>

#include "identification.h"
#include "margins.h"
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

// The run's figures as the tuning assistant counts them.
tuning::StepFigures figuresOf(const StepCapture& capture);

// One line each, for the dialog and the command line; the identified axis carries its warning.
QString identifiedText(const tuning::Identification& identified);
QString proposalText(const tuning::Proposal& proposal);
QString figuresText(const tuning::StepFigures& figures);
// "phase margin 52.1 deg, gain margin 11.0 dB, crossover 61.3 Hz, sensitivity peak 1.62".
QString marginsText(const tuning::StabilityMargins& margins);

}  // namespace response
