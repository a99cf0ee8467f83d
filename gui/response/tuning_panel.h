// The response dialog's tuning panel: the axis identified from the newest run, the bandwidth and
// damping the user chooses, the proposed gains with their prediction drawn dashed over the run,
// "Put into form", and after the next run with those gains the prediction against the run; or
// "Try on the drive", the trial that keeps the gains only when the drive's test bears them out.
#pragma once

#include <QObject>
#include <functional>
#include <optional>

#include "step_tuning.h"
#include "tuning_trial.h"

namespace Ui {
class PlotDialog;
}

namespace response {

class TuningPanel : public QObject {
public:
    // Fills the axis's P, I and D fields of the window's form; the drive gets them on Apply.
    using PutIntoForm = std::function<void(int axis, const tuning::DriveGains& gains)>;
    // Runs the trial on the drive, off the GUI thread, and returns it once it has ended; none
    // when no drive work could start (the window is busy or not connected).
    using TryOnDrive = std::function<std::optional<TuningTrial>(
        int axis, const TuningProposal& tuned, const tuning::DriveGains& present,
        const tuning::StepFigures& presentFigures)>;
    TuningPanel(Ui::PlotDialog& form, PutIntoForm putIntoForm, TryOnDrive trial = {});

    // The newest run with its figures: checked against the gains put into the form when it ran
    // with them, then identified for the next proposal. The identification takes a noticeable
    // part of a second: it runs on a pool thread and its result is shown when it arrives, the
    // window answering meanwhile. A newer run makes an older identification's result moot.
    void runKept(const StepCapture& capture);
    // Identifying, or choosing the bandwidth on "automatic" (a few hundred predictions, on a pool
    // thread as the identification).
    bool identifying() const { return identifying_ || choosing_ > 0; }
    const tuning::Proposal& proposal() const { return tuned_.proposal; }

private:
    void identified(const TuningProposal& tuned, const BandwidthChoice& choice);
    BandwidthChoice choice() const;
    void propose();
    void showProposal(const tuning::Proposal& proposal);
    void tryOnDrive();
    void showCheck(const TrialVerdict& verdict, const tuning::StepFigures& measured,
                   double validationFitPercent, const tuning::Proposal& proposal);

    Ui::PlotDialog& form_;
    PutIntoForm putIntoForm_;
    TryOnDrive tryOnDrive_;
    StepCapture run_;
    TuningProposal tuned_;
    std::optional<TuningProposal> putIn_;  // awaiting a run with its gains
    int runsKept_ = 0;                     // the identification shown belongs to the newest
    int proposals_ = 0;                    // the proposal shown belongs to the newest asked
    int choosing_ = 0;                     // automatic choices under way
    bool identifying_ = false;
    bool trying_ = false;  // the trial's own runs are judged by it, not identified
};

}  // namespace response
