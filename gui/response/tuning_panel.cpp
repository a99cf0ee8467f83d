#include "tuning_panel.h"

#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QThreadPool>
#include <cmath>

#include "plot.h"
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

TuningPanel::TuningPanel(Ui::PlotDialog& form, PutIntoForm putIntoForm)
    : form_(form), putIntoForm_(std::move(putIntoForm)) {
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
}

void TuningPanel::runKept(const StepCapture& capture) {
    if (putIn_ && ranWith(capture, run_.axis, putIn_->proposal.gains)) {
        showCheck(checkTuning(*putIn_, capture), putIn_->proposal);
        putIn_.reset();
    }
    run_ = capture;
    tuned_ = TuningProposal{};
    identifying_ = true;
    form_.identifiedLabel->setText(text("Identifying the axis..."));
    form_.putIntoFormButton->setEnabled(false);
    const int run = ++runsKept_;
    const double bandwidthHz = form_.bandwidthBox->value();
    const double damping = form_.dampingBox->value();
    const QPointer<TuningPanel> panel(this);
    QThreadPool::globalInstance()->start([panel, run, capture, bandwidthHz, damping] {
        const TuningProposal tuned = proposeForRun(capture, bandwidthHz, damping);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [panel, run, tuned] {
                if (panel && run == panel->runsKept_) {
                    panel->identified(tuned);
                }
            },
            Qt::QueuedConnection);
    });
}

void TuningPanel::identified(const TuningProposal& tuned) {
    identifying_ = false;
    tuned_ = tuned;
    form_.identifiedLabel->setText(identifiedText(tuned_.identified));
    propose();
}

void TuningPanel::propose() {
    if (identifying_ || !tuned_.identified.usable) {
        form_.proposalLabel->clear();
        form_.putIntoFormButton->setEnabled(false);
        form_.posPlot->predictedCurve.clear();
        form_.posPlot->update();
        return;
    }
    tuned_.proposal =
        reproposed(tuned_, run_, form_.bandwidthBox->value(), form_.dampingBox->value());
    const tuning::Proposal& p = tuned_.proposal;
    QString shown =
        proposalText(p) + "\n" + text("Predicted: ") + figuresText(p.prediction.figures);
    if (!p.offered()) {
        shown += "\n" + QString::fromStdString(p.refusal);
    }
    form_.proposalLabel->setText(shown);
    form_.putIntoFormButton->setEnabled(p.offered());
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
}

void TuningPanel::showCheck(const TuningCheck& check, const tuning::Proposal& proposal) {
    const tuning::StepFigures& predicted = proposal.prediction.figures;
    form_.checkLabel->setText(
        QString(text("Predicted against measured (%1):\nfit %2 %\npeak error %3 / %4 counts\n"
                     "undershoot %5 / %6 counts\nsettling time %7 / %8 ms"))
            .arg(check.passed ? text("matches") : check.why)
            .arg(check.validationFitPercent, 0, 'f', 1)
            .arg(predicted.peakError)
            .arg(check.measured.peakError)
            .arg(predicted.undershoot)
            .arg(check.measured.undershoot)
            .arg(predicted.settlingTimeMs)
            .arg(check.measured.settlingTimeMs));
}

}  // namespace response
