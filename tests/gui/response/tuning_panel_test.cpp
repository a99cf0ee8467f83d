// The response dialog's tuning panel on runs of the simulated factory axis: a proposal with its
// prediction over the run, the gains put into the form, and the next run with them against the
// prediction.
#include <gtest/gtest.h>

#include <QDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include "plot.h"
#include "simulated_step.h"
#include "tuning_panel.h"
#include "ui_plot_dialog.h"

using namespace response;

namespace {
// The run as the dialog keeps it, from the simulated drive's step test.
StepCapture dialogRun(const tuning::DriveGains& gains,
                      const drive_sim::ServoTuning& servo = simulated_step::factoryAxis()) {
    const auto axis = simulated_step::withGains(servo, gains);
    return simulated_step::responseCapture(axis, simulated_step::runStepTest(axis, {}, 9));
}
}  // namespace

// The identification comes back through the event loop, as in the dialog.
bool identificationArrives(const TuningPanel& panel) {
    return QTest::qWaitFor([&] { return !panel.identifying(); }, 30000);
}

TEST(TuningPanel, ProposesPredictsPutsIntoTheFormAndComparesTheNextRun) {
    QDialog dialog;
    Ui::PlotDialog form;
    form.setupUi(&dialog);
    tuning::DriveGains putIn;
    TuningPanel panel(form, [&](int, const tuning::DriveGains& gains) { putIn = gains; });
    panel.runKept(dialogRun({650, 120, 700}));
    EXPECT_FALSE(form.putIntoFormButton->isEnabled());  // nothing to put in while identifying
    ASSERT_TRUE(identificationArrives(panel));
    EXPECT_TRUE(form.identifiedLabel->text().contains("inertia"))
        << form.identifiedLabel->text().toStdString();
    EXPECT_GT(form.posPlot->predictedCurve.size(), 400);

    // How long a new proposal takes is the tuning benchmark's report, not an assertion here.
    form.bandwidthBox->setValue(60.0);
    ASSERT_TRUE(form.putIntoFormButton->isEnabled()) << form.proposalLabel->text().toStdString();
    form.putIntoFormButton->click();
    EXPECT_EQ(putIn.p, panel.proposal().gains.p);
    EXPECT_GT(putIn.p, 650);

    panel.runKept(dialogRun(putIn));
    ASSERT_TRUE(identificationArrives(panel));
    EXPECT_TRUE(form.checkLabel->text().startsWith("Predicted against measured (matches)"))
        << form.checkLabel->text().toStdString();

    form.bandwidthBox->setValue(200.0);  // beyond what the D check lets through
    EXPECT_FALSE(form.putIntoFormButton->isEnabled());

    form.bandwidthBox->setValue(0.0);  // back to "automatic": chosen on a pool thread
    EXPECT_TRUE(panel.identifying());
    ASSERT_TRUE(identificationArrives(panel));
    EXPECT_TRUE(form.proposalLabel->text().contains("the axis allows"))
        << form.proposalLabel->text().toStdString();
}

// A capture the clamp cut short still gives a model; the panel shows it with its doubt.
TEST(TuningPanel, ShowsTheWarningBesideAModelTakenFromAClampedRun) {
    QDialog dialog;
    Ui::PlotDialog form;
    form.setupUi(&dialog);
    TuningPanel panel(form, [](int, const tuning::DriveGains&) {});
    drive_sim::ServoTuning clamped = simulated_step::factoryAxis();
    clamped.peakCurrentMa = 1500;  // below the injection itself
    panel.runKept(dialogRun({650, 120, 700}, clamped));
    ASSERT_TRUE(identificationArrives(panel));
    const QString shown = form.identifiedLabel->text();
    EXPECT_TRUE(shown.contains("inertia") && shown.contains("peak-current clamp"))
        << shown.toStdString();
}

// Try on the drive hands the window the proposal with the run's gains and figures as the present
// ones, and shows the trial's verdict; the proposal shows its margins beside the present gains'.
TEST(TuningPanel, TriesTheGainsOnTheDriveAndSaysWhyTheOldGainsAreBack) {
    QDialog dialog;
    Ui::PlotDialog form;
    form.setupUi(&dialog);
    tuning::DriveGains present;
    tuning::StepFigures presentFigures;
    TuningPanel panel(
        form, [](int, const tuning::DriveGains&) {},
        [&](int, const TuningProposal& tuned, const tuning::DriveGains& gains,
            const tuning::StepFigures& figures) {
            present = gains;
            presentFigures = figures;
            TuningTrial trial;
            trial.measurement.sent = trial.measurement.held = tuned.proposal.gains;
            trial.measurement.held.p = 700;
            trial.verdict =
                judgeTrial(trial.measurement, tuned.proposal.prediction.figures, figures);
            trial.putBack = true;
            return std::optional(trial);
        });
    const StepCapture run = dialogRun({650, 120, 700});
    panel.runKept(run);
    ASSERT_TRUE(identificationArrives(panel));
    // On "automatic" the factory gains predict better than the assistant's own choice: it is
    // shown, but not offered for a trial.
    EXPECT_TRUE(form.proposalLabel->text().contains("the axis allows") &&
                form.proposalLabel->text().contains("\nThe present gains are better"))
        << form.proposalLabel->text().toStdString();
    EXPECT_FALSE(form.tryOnDriveButton->isEnabled());
    form.bandwidthBox->setValue(60.0);
    const QString proposed = form.proposalLabel->text();
    EXPECT_TRUE(proposed.contains(QRegularExpression(
        "\\nMargins \\d+ deg / [\\d.]+ dB at \\d+ Hz, Ms [\\d.]+; now \\d+ deg")))
        << proposed.toStdString();
    ASSERT_TRUE(form.tryOnDriveButton->isEnabled());
    form.tryOnDriveButton->click();
    EXPECT_EQ(present.p, 650);
    EXPECT_EQ(presentFigures.peakError, run.peakError);
    const QString shown = form.checkLabel->text();
    EXPECT_TRUE(
        shown.contains(
            QString("(the drive kept P 700 of the %1 sent)").arg(panel.proposal().gains.p)) &&
        shown.endsWith("The old gains are back."))
        << shown.toStdString();
}
