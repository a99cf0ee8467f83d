// The frequency response view of the response dialog after a run of the simulated factory axis
// is identified: the curves of the present gains and of the assistant's proposal with the margins
// the panel reports, and labels that never overlap, however small or large the view.
#include <gtest/gtest.h>

#include <QDialog>
#include <QLabel>
#include <QTest>
#include <memory>

#include "bode_plot.h"
#include "simulated_step.h"
#include "tuning_panel.h"
#include "ui_plot_dialog.h"

using namespace response;

namespace {
StepCapture factoryRun() {
    const tuning::StepRecord r =
        simulated_step::runStepTest(simulated_step::factoryAxis(), {}, 9).record;
    StepCapture run;
    run.spanMs = 100;
    run.gainP = r.gains.p;
    run.gainI = r.gains.i;
    run.gainD = r.gains.d;
    run.peakCurrentMa = int(std::lround(r.limits.peakCurrent * 1000));
    run.continuousCurrentMa = int(std::lround(r.limits.continuousCurrent * 1000));
    run.followErrorLimit = int(r.limits.followErrorLimit);
    for (size_t k = 0; k < r.positionError.size(); ++k) {
        run.points.push_back(
            {float(r.targetCurrent[k]), float(r.achievedCurrent[k]), float(r.positionError[k])});
    }
    return run;
}

bool shows(const std::vector<BodeLabel>& labels, const QString& text) {
    return std::any_of(labels.begin(), labels.end(),
                       [&](const BodeLabel& label) { return label.text == text; });
}

QString legendText(const char* gains, const tuning::LoopResponse& response) {
    return QString("%1: PM %2°, GM %3 dB")
        .arg(gains)
        .arg(response.margins.phaseMarginDeg, 0, 'f', 1)
        .arg(response.margins.gainMarginDb, 0, 'f', 1);
}
}  // namespace

TEST(BodePlot, ShowsBothGainsWithThePanelsMarginsAndNoOverlappingLabelsAtAnySize) {
    QDialog dialog;
    Ui::PlotDialog form;
    form.setupUi(&dialog);
    TuningPanel panel(form, [](int, const tuning::DriveGains&) {});
    const StepCapture run = factoryRun();
    panel.runKept(run);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !panel.identifying(); }, 30000));
    const BodePlot& plot = *form.bodePlot;
    ASSERT_TRUE(plot.present() && plot.proposed());
    EXPECT_EQ(plot.proposed()->hz.size(), 200u);

    const tuning::AxisModel model = tuning::identifyAxis(stepRecordOf(run)).model;
    const double present = tuning::stabilityMargins(model, {650, 120, 700}).phaseMarginDeg;
    const double proposed = tuning::stabilityMargins(model, panel.proposal().gains).phaseMarginDeg;
    EXPECT_DOUBLE_EQ(plot.present()->margins.phaseMarginDeg, present);
    EXPECT_DOUBLE_EQ(plot.proposed()->margins.phaseMarginDeg, proposed);
    EXPECT_NEAR(present, 37.0, 1.5);
    EXPECT_NEAR(proposed, 50.6, 1.5);
    EXPECT_EQ(form.presentPhaseMargin->text(), QString::number(present, 'f', 0));
    EXPECT_EQ(form.proposedPhaseMargin->text(), QString::number(proposed, 'f', 0));

    // Small, the form's size, large, both views; out of the dialog, whose layout would size it.
    const std::unique_ptr<BodePlot> alone(form.bodePlot);
    alone->setParent(nullptr);
    for (const QSize size : {QSize(160, 110), QSize(500, 400), QSize(1900, 1100)}) {
        alone->resize(size);
        for (const int view : {BodePlot::Loop, BodePlot::Disturbance}) {
            alone->setView(view);
            const std::vector<BodeLabel> labels = plot.labels();
            for (size_t a = 0; a < labels.size(); ++a) {
                EXPECT_TRUE(QRect(QPoint(0, 0), size).contains(labels[a].rect))
                    << labels[a].text.toStdString();
                for (size_t b = a + 1; b < labels.size(); ++b) {
                    EXPECT_FALSE(labels[a].rect.intersects(labels[b].rect))
                        << size.width() << " x " << size.height() << ": "
                        << labels[a].text.toStdString() << " over " << labels[b].text.toStdString();
                }
            }
            if (size.width() >= 500) {  // room for the whole legend and a label each decade
                EXPECT_TRUE(shows(labels, "10") && shows(labels, "100")) << size.width();
                if (view == BodePlot::Loop) {
                    EXPECT_TRUE(shows(labels, legendText("present", *plot.present())) &&
                                shows(labels, legendText("proposed", *plot.proposed())))
                        << size.width();
                } else {
                    EXPECT_TRUE(shows(labels, "in the noise")) << size.width();
                }
            }
        }
    }
}
