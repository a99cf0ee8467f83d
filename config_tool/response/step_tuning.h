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
    tuning::StepFigures presentPredicted;     // the model's figures for the gains the run had
    tuning::StabilityMargins presentMargins;  // and the model's margins under them
    // The proposal's prediction is worse than the present gains' on some figure.
    bool presentBetter() const;
};

// Who picks the bandwidth: the assistant (the highest the axis allows, backed off), the user
// (a bandwidth forced), or a phase margin the user asks for.
struct BandwidthChoice {
    enum class Way { Automatic, Forced, PhaseMargin };
    Way way = Way::Automatic;
    double value = 0.0;  // Hz when forced, degrees for a phase margin
    double damping = 1.0;
    bool byAssistant() const { return way != Way::Forced; }
};

// Identifies the run's axis and proposes gains as chosen.
TuningProposal proposeForRun(const StepCapture& capture, const BandwidthChoice& choice);
// Another proposal on the same model, as the dialog's controls move.
tuning::Proposal reproposed(const TuningProposal& tuned, const StepCapture& capture,
                            const BandwidthChoice& choice);

// The run's figures as the tuning assistant counts them.
tuning::StepFigures figuresOf(const StepCapture& capture);

// One line each, for the dialog and the command line; the identified axis carries its warning.
QString identifiedText(const tuning::Identification& identified);
// `value` with `decimals` decimals, 0 where it rounds to zero: a load of -0.0004 A is no load,
// not "-0.000".
QString fixedText(double value, int decimals);
// With what limits the bandwidth when the assistant chose it: "... (80 % of the 30.1 Hz the axis
// allows: above it the phase margin would fall below 45 deg; integral pole at 1.00 of the
// bandwidth)".
QString proposalText(const tuning::Proposal& proposal);
// The bracket of that text alone, for the dialog's table of gains; empty when the user chose the
// bandwidth.
QString bandwidthAllowanceText(const tuning::Proposal& proposal);
QString figuresText(const tuning::StepFigures& figures);
// "phase margin 52.1 deg, gain margin 11.0 dB, crossover 61.3 Hz, sensitivity peak 1.62".
QString marginsText(const tuning::StabilityMargins& margins);
// "peak error", "undershoot", "settling time".
QString figureName(tuning::Figure figure);
// "89 counts", "50 ms".
QString figureAmount(const tuning::StepFigures& figures, tuning::Figure figure);
// The sentence with the first figure of `now` worse than the present gains' (tuning::worseFigure):
// %1 its name, %2 its value with the unit, %3 the present gains' value; empty when none is.
QString worseFigureText(const tuning::StepFigures& now, const tuning::StepFigures& present,
                        const QString& sentence);
// "the present gains are better: the proposal would give a peak error of 89 counts, they give 32",
// empty when the proposal's prediction is no worse than the present gains'.
QString presentBetterText(const tuning::StepFigures& proposed, const tuning::StepFigures& present);

}  // namespace response
