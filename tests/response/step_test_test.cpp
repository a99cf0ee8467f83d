// The Test button end to end: a real window connected to the simulated drive, the wire
// sequence, the waits, the dialog and its curves, and the result text.
#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>
#include <QStatusBar>
#include <QtTest/QTest>
#include <cmath>
#include <functional>

#include "drive_link.h"
#include "output_capture.h"
#include "plot.h"
#include "response_test_support.h"
#include "scope_capture.h"
#include "step_response.h"
#include "ui_plot_dialog.h"

namespace {
Frames testFrames(int divider, int axis, bool download) {
    return readOf(5510) + writeOf(5020, 70) + writeOf(5021, 0) + writeOf(5012, divider) +
           writeOf(5011, 4) + Frames{{11, 0}, {41, axis}} +
           (download ? scopeDownloadFrames(1500) : Frames{}) + readOf(6091) + readOf(6090) +
           readOf(6092) + drain();
}

class StepTestWindow : public ::testing::Test {
protected:
    StepTestWindow() : bench(installFerroxDrive()) {}
    void SetUp() override {
        resetScopeState();
        window = std::make_unique<Morvane>();
        {
            OutputCapture quiet;
            ASSERT_TRUE(clickConnect(*window));
        }
        watcher.clear();
        current = this;
        setResponseSleep(recordWait);
        start = bench.adapter.frameLog().size();
    }
    void TearDown() override { setResponseSleep(nullptr); }
    void clickTest() {
        OutputCapture capture;
        QTest::mouseClick(window->ui.testButton, Qt::LeftButton);
        out = capture.out();
        err = capture.err();
    }
    Plot& posPlot() { return *window->plotForm->posPlot; }
    Plot& torqPlot() { return *window->plotForm->torqPlot; }
    QString status() { return window->ui.statusbar->currentMessage(); }
    // The test's blocking waits, recorded instead of slept as "<ms> ms at frame <n>: <status>";
    // `during` may act on the drive meanwhile.
    static void recordWait(unsigned long ms) {
        const size_t frames = current->bench.adapter.frameLog().size();
        current->waits
            << QString("%1 ms at frame %2: %3").arg(ms).arg(frames).arg(current->status());
        if (current->during) {
            current->during(current->waits.size() - 1);
        }
    }
    static inline StepTestWindow* current = nullptr;
    QStringList waits;
    std::function<void(int index)> during;
    QString expectedResult() {
        return stepResultText(bench.firmware.param(6091), bench.firmware.param(6092),
                              bench.firmware.param(6090));
    }

    FerroxBench bench;
    MessageBoxWatcher watcher;
    std::unique_ptr<Morvane> window;
    size_t start = 0;
    std::string out;
    std::string err;
};

struct SpanCase {
    const char* action;  // object name, or empty for none
    int axisTab;
    int divider;
    unsigned long waits[2];
    const char* label;
};
class EachSpan : public StepTestWindow, public ::testing::WithParamInterface<SpanCase> {};
}  // namespace

TEST_P(EachSpan, DividerWaitsLabelDownloadAndResult) {
    const SpanCase& span = GetParam();
    const bool graphs = span.action[0] != '\0';
    if (graphs) {
        window->findChild<QAction*>(span.action)->trigger();
        window->ui.span_2000_ms->setChecked(true);  // a later span also on: the first one wins
    }
    window->ui.axisTabs->setCurrentIndex(span.axisTab);
    posPlot().addSecondCurvePoint(1, 1);  // must be emptied by a run with graphs
    clickTest();

    EXPECT_EQ(framesSince(bench.adapter, start), testFrames(span.divider, span.axisTab, graphs));
    // The trace: every frame but the download's, which only shows its progress and verdict.
    TraceScript setUp(bench.adapter.frameLog(), start);
    setUp.read(5510).write(5020, 70).write(5021, 0).write(5012, uint16_t(span.divider));
    setUp.write(5011, 4).frames(2);
    TraceScript results(bench.adapter.frameLog(), start + 13 + (graphs ? 756 : 0));
    results.read(6091).read(6090).read(6092).frames(2);
    ASSERT_TRUE(setUp.matchedScript() && results.matchedScript());
    EXPECT_EQ(out,
              setUp.text() + (graphs ? std::string(15, '.') + "Scope OK\n" : "") + results.text());
    EXPECT_EQ(tableRows(err), graphs ? 500u : 0u);
    // The first wait follows the test start, the second the download.
    const QString running = "Running test response test...";
    EXPECT_EQ(
        waits,
        (QStringList{
            QString("%1 ms at frame %2: ").arg(span.waits[0]).arg(start + 13) + running,
            QString("%1 ms at frame %2: ").arg(span.waits[1]).arg(start + 13 + (graphs ? 756 : 0)) +
                (graphs ? "Downloading scope data..." : running)}));

    EXPECT_EQ(window->plotForm->timespan->text(), span.label);
    EXPECT_EQ(window->plotDialog.isVisible(), graphs);
    EXPECT_TRUE(watcher.boxes().empty());
    // The simulated drive ran the servo model of the shown axis with its own settings.
    // It was the drive's first test, so its current-sense noise came from the first seed.
    const drive_sim::StepRun model = drive_sim::runStepDisturbance(
        drive_sim::axisTuning(bench.firmware, span.axisTab), span.divider + 1, 500,
        drive_sim::scope::kPreTriggerPoints, 1);
    EXPECT_EQ(status(), stepResultText(model.metrics.peakError, model.metrics.undershoot,
                                       model.metrics.settlingTimeMs));
    if (graphs) {
        ASSERT_EQ(posPlot().firstCurve.size(), 500);
        EXPECT_TRUE(posPlot().secondCurve.isEmpty());
        ASSERT_EQ(torqPlot().firstCurve.size(), 500);
        ASSERT_EQ(torqPlot().secondCurve.size(), 500);
        // Recorded in ascending channel order: target current, achieved current, position error.
        auto amperes = [](double a) { return double(float(std::lround(a * 1000)) / 1000.0f); };
        for (int t = 0; t < 500; ++t) {
            const drive_sim::ServoSample& point = model.points[size_t(t)];
            ASSERT_EQ(posPlot().firstCurve[t], QPointF(t, point.positionError));
            ASSERT_EQ(torqPlot().firstCurve[t], QPointF(t, amperes(point.targetCurrent)));
            ASSERT_EQ(torqPlot().secondCurve[t], QPointF(t, amperes(point.achievedCurrent)));
        }
    } else {
        EXPECT_EQ(posPlot().secondCurve.size(), 1);  // the dialog's plots were left alone
    }
}

INSTANTIATE_TEST_SUITE_P(
    StepTest, EachSpan,
    ::testing::Values(SpanCase{"span_100_ms", 0, 3, {100, 200}, "Time span 100 ms"},
                      SpanCase{"span_500_ms", 0, 19, {300, 0}, "Time span 500 ms"},
                      SpanCase{"span_2000_ms", 1, 79, {1700, 0}, "Time span 2000 ms"},
                      SpanCase{"", 1, 1, {500, 0}, "Time span"}),
    [](const ::testing::TestParamInfo<SpanCase>& info) {
        return std::string(info.param.action[0] ? info.param.action : "none");
    });

TEST_F(StepTestWindow, ResultTextsAtTheSettlingLimitAndForFullWords) {
    // The drive's figures are replaced while the test waits, before they are read.
    struct Case {
        uint16_t peak, undershoot, settling;
        const char* text;
    };
    for (Case c :
         {Case{12, 3, 489, "Peak error 12 counts, undershoot 3 counts, settling time 489 ms."},
          Case{12, 3, 490, "Peak error 12 counts, undershoot 3 counts, settling time>500 ms."},
          Case{0xFFFF, 0xFFFF, 0xFFFF,
               "Peak error 65535 counts, undershoot 65535 counts, settling time>500 ms."}}) {
        during = [&](int) {
            bench.firmware.setParam(6091, c.peak);
            bench.firmware.setParam(6092, c.undershoot);
            bench.firmware.setParam(6090, c.settling);
        };
        clickTest();
        EXPECT_EQ(status(), c.text);
    }
}

TEST_F(StepTestWindow, CurrentScaleOfMinusOneFlipsTheCurrentsAndZeroKeepsTheCounts) {
    window->ui.span_100_ms->trigger();
    // The capture is replaced while the test waits: a drive that scales by 0 records no current.
    std::vector<uint16_t> words(1500);
    for (size_t k = 0; k < words.size(); ++k) {
        words[k] = uint16_t(int16_t(int(k) - 1000));
    }
    during = [&](int index) {
        if (index % 2 == 0) {  // each run's first wait
            scopeOf(bench).setBuffer(words);
        }
    };
    for (auto [scale, amperesPerCount] : {std::pair<uint16_t, float>{0xFFFF, -1.0f}, {0, 1.0f}}) {
        SCOPED_TRACE(scale);
        bench.firmware.setParam(5510, scale);
        clickTest();
        ASSERT_EQ(torqPlot().firstCurve.size(), 500);
        for (int t = 0; t < 500; ++t) {
            ASSERT_EQ(torqPlot().firstCurve[t].y(), double((3 * t - 1000) * amperesPerCount));
            ASSERT_EQ(torqPlot().secondCurve[t].y(), double((3 * t - 999) * amperesPerCount));
        }
        EXPECT_EQ(status(), expectedResult());
    }
}

TEST_F(StepTestWindow, FaultsDuringTheTest) {
    window->ui.span_100_ms->trigger();
    // A noisy line during the download alone: the checksum fails, the figures still come.
    during = [&](int index) {
        bench.adapter.faults().seed = 11;
        bench.adapter.faults().bitErrorRate = index == 0 ? 2e-4 : 0.0;
    };
    clickTest();
    EXPECT_NE(out.find("Scope data checksum error\n"), std::string::npos);
    EXPECT_EQ(posPlot().firstCurve.size(), 500);
    EXPECT_TRUE(watcher.boxes().empty());  // with this seed only data words are hit
    EXPECT_EQ(status(), expectedResult());

    // The drive falls silent after the download: the graphs are up, the figures are not.
    posPlot().firstCurve.clear();
    during = [&](int index) {
        bench.adapter.faults().stopAnsweringAfterFrames = index == 3 ? 0 : -1;
    };
    clickTest();
    EXPECT_EQ(describeBoxes(watcher), QStringList{kLinkLostBox});
    EXPECT_EQ(status(), "Connection lost, reconnect.");
    EXPECT_FALSE(window->connected);
    EXPECT_FALSE(window->ui.testButton->isEnabled());
    EXPECT_TRUE(window->plotDialog.isVisible());
    EXPECT_EQ(posPlot().firstCurve.size(), 500);
}

TEST_F(StepTestWindow, DialogShowsTheCurvesWhereTheScalesPutThemAndClosesWithTheWindow) {
    window->ui.span_100_ms->trigger();
    window->show();
    clickTest();
    window->plotDialog.resize(706, 533);
    // The position error in the first curve's blue; the achieved current, drawn last, in green.
    for (auto [plot, curve, colour] :
         {std::make_tuple(&posPlot(), &posPlot().firstCurve, isBlue),
          std::make_tuple(&torqPlot(), &torqPlot().secondCurve, isGreen)}) {
        SCOPED_TRACE(plot->objectName().toStdString());
        QImage image = plot->grab().toImage();
        PlotScales scales;
        ASSERT_TRUE(plotScales(plot->firstCurve, image.width(), image.height(), scales));
        // Every point clear of the zero line and the ticks must have its colour right at it.
        int checked = 0;
        int hits = 0;
        for (const QPointF& point : *curve) {
            const QPoint at = scales.map(point).toPoint();
            if (std::abs(at.y() - scales.halfHeight) < 4 || at.x() < 20 ||
                at.x() > image.width() - 3) {
                continue;
            }
            ++checked;
            hits += any(image, at.x() - 1, at.x() + 1, at.y() - 1, at.y() + 1, colour);
        }
        EXPECT_GT(checked, 50);
        EXPECT_EQ(hits, checked);
    }

    OutputCapture capture;
    window->close();
    EXPECT_FALSE(window->plotDialog.isVisible());
}

TEST_F(StepTestWindow, ATripShowsInTheDiagnosisAndADisabledDriveGivesNoResponseUntilApply) {
    bench.firmware.setParam(20, 15);  // a follow error limit below the axis's peak error
    clickTest();
    EXPECT_TRUE(status().endsWith("settling time>500 ms.")) << status().toStdString();
    EXPECT_FALSE(bench.firmware.powerStageEnabled());
    window->ui.Drive_diagnosis->trigger();
    ASSERT_EQ(watcher.boxes().size(), 1u);
    EXPECT_TRUE(watcher.boxes()[0].text.contains("\nFault register 1000\n"));

    clickTest();  // the power stage is off: no current, no error, no figures
    EXPECT_EQ(status(), "Peak error 0 counts, undershoot 0 counts, settling time 0 ms.");
    {
        OutputCapture quiet;
        QTest::mouseClick(window->ui.applyButton, Qt::LeftButton);  // clears faults, enables
    }
    EXPECT_TRUE(bench.firmware.powerStageEnabled());
    EXPECT_EQ(bench.firmware.param(5100), 0);
}
