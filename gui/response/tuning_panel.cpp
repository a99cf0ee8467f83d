#include "tuning_panel.h"

#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QThreadPool>
#include <cmath>

#include "plot.h"
#include "tuning_grid.h"
#include "ui_plot_dialog.h"

namespace response {

namespace {
QString text(const char* source) {
    return QCoreApplication::translate("PlotDialog", source);
}

bool ranWith(const StepCapture& run, int axis, const tuning::DriveGains& gains) {
    return run.axis == axis && run.gainP == gains.p && run.gainI == gains.i && run.gainD == gains.d;
}
}  // namespace

TuningPanel::TuningPanel(Ui::PlotDialog& form, PutIntoForm putIntoForm, TryOnDrive trial)
    : form_(form), putIntoForm_(std::move(putIntoForm)), tryOnDrive_(std::move(trial)) {
    holdTuningGridWidths(form_);
    for (QDoubleSpinBox* box : {form_.bandwidthBox, form_.dampingBox}) {
        QObject::connect(box, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this,
                         [this] { propose(); });
    }
    QObject::connect(form_.putIntoFormButton, &QPushButton::clicked, this, [this] {
        putIntoForm_(run_.axis, tuned_.proposal.gains);
        putIn_ = tuned_;
        form_.checkLabel->setText(
            text("Gains put into the form: press Apply, then Test to compare."));
    });
    QObject::connect(form_.tryOnDriveButton, &QPushButton::clicked, this, [this] { tryOnDrive(); });
}

void TuningPanel::tryOnDrive() {
    const TuningProposal tried = tuned_;
    const StepCapture present = run_;
    trying_ = true;
    form_.checkLabel->setText(text("Trying the gains on the drive..."));
    const std::optional<TuningTrial> trial = tryOnDrive_(
        present.axis, tried, {present.gainP, present.gainI, present.gainD}, figuresOf(present));
    trying_ = false;
    if (!trial) {
        form_.checkLabel->setText(text("The drive is busy or not connected."));
        return;
    }
    if (!trial->verdict.kept && trial->verdict.why.isEmpty()) {
        form_.checkLabel->setText(text("The link was lost during the trial."));
        return;
    }
    showCheck(trial->verdict, trial->measurement.measured, trial->validationFitPercent,
              tried.proposal);
    if (trial->verdict.kept) {
        runKept(trial->run);  // the kept gains are the present ones now
    } else if (trial->putBack) {
        form_.checkLabel->setText(form_.checkLabel->text() + "\n" +
                                  text("The old gains are back."));
    }
}

void TuningPanel::runKept(const StepCapture& capture) {
    if (trying_) {
        return;
    }
    if (putIn_ && ranWith(capture, run_.axis, putIn_->proposal.gains)) {
        // The user applied the gains: the drive holds what the form sent, and a trip shows in
        // the figures.
        TrialMeasurement measurement;
        measurement.sent = measurement.held = putIn_->proposal.gains;
        measurement.measured = figuresOf(capture);
        // The user chose these gains and has applied them: they are judged against their
        // prediction only, as `tune` judges a bandwidth the user forced.
        const TrialVerdict verdict =
            judgeTrial(measurement, putIn_->proposal.prediction.figures, std::nullopt);
        showCheck(verdict, measurement.measured,
                  tuning::modelFitPercent(stepRecordOf(capture), putIn_->identified.model),
                  putIn_->proposal);
        putIn_.reset();
    }
    run_ = capture;
    tuned_ = TuningProposal{};
    identifying_ = true;
    form_.identifiedLabel->setText(text("Identifying the axis..."));
    showIdentifiedValues(form_, nullptr, 0.0);
    clearGainsTable(form_);
    form_.bodePlot->clear();
    form_.putIntoFormButton->setEnabled(false);
    form_.tryOnDriveButton->setEnabled(false);
    const int run = ++runsKept_;
    const BandwidthChoice choice = this->choice();
    const QPointer<TuningPanel> panel(this);
    QThreadPool::globalInstance()->start([panel, run, capture, choice] {
        const TuningProposal tuned = proposeForRun(capture, choice);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [panel, run, tuned, choice] {
                if (panel && run == panel->runsKept_) {
                    panel->identified(tuned, choice);
                }
            },
            Qt::QueuedConnection);
    });
}

void TuningPanel::identified(const TuningProposal& tuned, const BandwidthChoice& choice) {
    identifying_ = false;
    tuned_ = tuned;
    // Below the values: why there are none, or the doubt a clamped capture or a poor fit leaves.
    form_.identifiedLabel->setText(QString::fromStdString(tuned_.identified.warning));
    showIdentifiedValues(form_, tuned_.identified.usable ? &tuned_.identified.model : nullptr,
                         tuned_.identified.fitPercent);
    if (tuned_.identified.usable) {
        form_.bodePlot->showAxis(tuned_.identified.model, {run_.gainP, run_.gainI, run_.gainD},
                                 tuned_.presentMargins, stepRecordOf(run_));
    }
    const BandwidthChoice now = this->choice();
    if (tuned_.identified.usable && now.way == choice.way && now.value == choice.value &&
        now.damping == choice.damping) {
        ++proposals_;
        showProposal(tuned_.proposal);  // made with the identification, for the same choice
    } else {
        propose();
    }
}

BandwidthChoice TuningPanel::choice() const {
    BandwidthChoice choice;
    choice.damping = form_.dampingBox->value();
    // The box's lowest value reads "automatic".
    if (form_.bandwidthBox->value() > form_.bandwidthBox->minimum()) {
        choice.way = BandwidthChoice::Way::Forced;
        choice.value = form_.bandwidthBox->value();
    }
    return choice;
}

void TuningPanel::propose() {
    const int asked = ++proposals_;
    if (identifying_ || !tuned_.identified.usable) {
        form_.proposalLabel->clear();
        clearGainsTable(form_);
        form_.putIntoFormButton->setEnabled(false);
        form_.tryOnDriveButton->setEnabled(false);
        form_.posPlot->predictedCurve.clear();
        form_.posPlot->update();
        return;
    }
    const BandwidthChoice choice = this->choice();
    if (choice.way != BandwidthChoice::Way::Automatic) {
        showProposal(reproposed(tuned_, run_, choice));
        return;
    }
    // The choice predicts a step test for every bandwidth it weighs: off the GUI thread.
    ++choosing_;
    form_.proposalLabel->setText(text("Choosing the bandwidth..."));
    form_.putIntoFormButton->setEnabled(false);
    form_.tryOnDriveButton->setEnabled(false);
    const QPointer<TuningPanel> panel(this);
    QThreadPool::globalInstance()->start([panel, asked, tuned = tuned_, run = run_, choice] {
        const tuning::Proposal proposal = reproposed(tuned, run, choice);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [panel, asked, proposal] {
                if (!panel) {
                    return;
                }
                --panel->choosing_;
                if (asked == panel->proposals_) {
                    panel->showProposal(proposal);
                }
            },
            Qt::QueuedConnection);
    });
}

void TuningPanel::showProposal(const tuning::Proposal& proposal) {
    tuned_.proposal = proposal;
    const tuning::Proposal& p = tuned_.proposal;
    const tuning::AxisModel& model = tuned_.identified.model;
    const tuning::DriveGains present{run_.gainP, run_.gainI, run_.gainD};
    const QString better = presentBetterText(p.prediction.figures, tuned_.presentPredicted);
    // The assistant does not offer its own choice for a trial when the present gains do better.
    const bool tryable =
        p.offered() && bool(tryOnDrive_) && !(choice().byAssistant() && !better.isEmpty());
    const tuning::StabilityMargins proposedMargins = tuning::stabilityMargins(model, p.gains);
    showGainsTable(form_, {present, tuned_.presentPredicted, tuned_.presentMargins},
                   {p.gains, p.prediction.figures, proposedMargins}, p.bandwidthHz);
    // What the table cannot say, in sentences: what limits the bandwidth, whether the present
    // gains do better, and why nothing is offered.
    QStringList notes;
    for (const QString& note : {bandwidthAllowanceText(p), better}) {
        if (!note.isEmpty()) {
            notes << note[0].toUpper() + note.mid(1) + ".";
        }
    }
    if (!p.offered()) {
        notes << QString::fromStdString(p.refusal);
    }
    const QString shown = notes.join("\n");
    form_.proposalLabel->setText(shown);
    form_.putIntoFormButton->setEnabled(p.offered());
    form_.tryOnDriveButton->setEnabled(tryable);
    // The prediction starts at the run's step, one point per point of the run.
    const tuning::StepRecord record = stepRecordOf(run_);
    const int cyclesPerPoint =
        std::max(1, int(std::lround(record.samplePeriod / record.servoCycle)));
    QList<QPointF> curve;
    const std::vector<int>& error = p.prediction.run.error;
    for (size_t k = 0, point = size_t(record.stepIndex);
         k < error.size() && point < run_.points.size(); k += size_t(cyclesPerPoint), ++point) {
        curve.append(QPointF(double(point), double(error[k])));
    }
    form_.posPlot->predictedCurve = curve;
    form_.posPlot->update();
    form_.bodePlot->showProposal(p.gains, proposedMargins);
}

void TuningPanel::showCheck(const TrialVerdict& verdict, const tuning::StepFigures& measured,
                            double validationFitPercent, const tuning::Proposal& proposal) {
    const tuning::StepFigures& predicted = proposal.prediction.figures;
    form_.checkLabel->setText(
        QString(text("Predicted against measured (%1):\nfit %2 %\npeak error %3 / %4 counts\n"
                     "undershoot %5 / %6 counts\nsettling time %7 / %8 ms"))
            .arg(verdict.kept ? text("matches") : verdict.why)
            .arg(validationFitPercent, 0, 'f', 1)
            .arg(predicted.peakError)
            .arg(measured.peakError)
            .arg(predicted.undershoot)
            .arg(measured.undershoot)
            .arg(predicted.settlingTimeMs)
            .arg(measured.settlingTimeMs));
}

}  // namespace response
