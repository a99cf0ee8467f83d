// The response dialog's tuning panel on runs of the simulated factory axis: a proposal with its
// prediction over the run, the gains put into the form, and the next run with them against the
// prediction.
#include <gtest/gtest.h>

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include "plot.h"
#include "response_test_support.h"
#include "tuning_panel.h"
#include "ui_plot_dialog.h"

using namespace response;

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
    EXPECT_GT(form.inertiaValue->text().toDouble(), 0.0) << form.inertiaValue->text().toStdString();
    EXPECT_GT(form.fitValue->text().toDouble(), 80.0);
    EXPECT_EQ(form.identifiedLabel->text(), "");  // a good fit leaves no doubt to state
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
    EXPECT_GT(form.inertiaValue->text().toDouble(), 0.0);
    EXPECT_TRUE(form.identifiedLabel->text().contains("peak-current clamp"))
        << form.identifiedLabel->text().toStdString();
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
    // The margins and figures of both gains side by side, the better of each pair in bold: at
    // 60 Hz the proposal errs less and settles sooner but keeps less phase margin.
    const struct {
        QLabel* present;
        QLabel* proposed;
        const char* pattern;
        bool proposedBetter;
    } rows[] = {{form.presentPeakError, form.proposedPeakError, "^\\d+$", true},
                {form.presentSettlingTime, form.proposedSettlingTime, "^\\d+$", true},
                {form.presentPhaseMargin, form.proposedPhaseMargin, "^\\d+$", false},
                {form.presentSensitivityPeak, form.proposedSensitivityPeak, "^\\d+\\.\\d$", false}};
    for (const auto& row : rows) {
        const std::string shown =
            (row.present->text() + " / " + row.proposed->text()).toStdString();
        EXPECT_TRUE(row.present->text().contains(QRegularExpression(row.pattern))) << shown;
        EXPECT_TRUE(row.proposed->text().contains(QRegularExpression(row.pattern))) << shown;
        EXPECT_EQ(row.proposed->font().bold(), row.proposedBetter) << shown;
        EXPECT_EQ(row.present->font().bold(), !row.proposedBetter) << shown;
    }
    EXPECT_EQ(form.presentKp->text(), "650");
    EXPECT_FALSE(form.presentKp->font().bold() || form.proposedKp->font().bold());
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
