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
struct Wait {
    unsigned long ms;
    size_t framesBefore;  // how many frames the drive had received when the wait began
    QString status;
};

// The test's blocking waits, recorded instead of slept; a test may act on the drive meanwhile.
struct WaitRecorder {
    std::vector<Wait> waits;
    std::function<void(size_t index)> during;
    const drive_sim::SimulatedAdapter* adapter = nullptr;
    QStatusBar* statusbar = nullptr;
} recorder;

void recordWait(unsigned long ms) {
    recorder.waits.push_back(
        {ms, recorder.adapter->frameLog().size(), recorder.statusbar->currentMessage()});
    if (recorder.during) {
        recorder.during(recorder.waits.size() - 1);
    }
}

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
        setStartValues(bench);
        watcher.clear();
        recorder = WaitRecorder{{}, nullptr, &bench.adapter, window->ui.statusbar};
        setResponseSleep(recordWait);
        start = bench.adapter.frameLog().size();
    }
    void TearDown() override {
        setResponseSleep(nullptr);
        recorder = WaitRecorder{};
    }
    void clickTest() {
        OutputCapture capture;
        QTest::mouseClick(window->ui.testButton, Qt::LeftButton);
        out = capture.out();
        err = capture.err();
    }
    Plot& posPlot() { return *window->plotForm->posPlot; }
    Plot& torqPlot() { return *window->plotForm->torqPlot; }
    // The word of slot `slot` at time point `t` of the drive's capture.
    float captured(int t, int slot) {
        return float(int16_t(scopeOf(bench).buffer()[size_t(3 * t + slot)]));
    }
    QString status() { return window->ui.statusbar->currentMessage(); }
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
    int divider;
    unsigned long waits[2];
    const char* label;
};
void PrintTo(const SpanCase& span, std::ostream* os) {
    *os << (span.action[0] ? span.action : "no span");
}
class EachSpan : public StepTestWindow, public ::testing::WithParamInterface<SpanCase> {};
}  // namespace

TEST_P(EachSpan, DividerWaitsLabelDownloadAndResult) {
    const SpanCase& span = GetParam();
    const bool graphs = span.action[0] != '\0';
    if (graphs) {
        window->findChild<QAction*>(span.action)->trigger();
    }
    posPlot().addSecondCurvePoint(1, 1);  // must be emptied by a run with graphs
    clickTest();

    EXPECT_EQ(framesSince(bench.adapter, start), testFrames(span.divider, 0, graphs));
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
    ASSERT_EQ(recorder.waits.size(), 2u);
    EXPECT_EQ(recorder.waits[0].ms, span.waits[0]);
    EXPECT_EQ(recorder.waits[1].ms, span.waits[1]);
    EXPECT_EQ(recorder.waits[0].framesBefore - start, 13u);
    EXPECT_EQ(recorder.waits[0].status, "Running test response test...");
    EXPECT_EQ(recorder.waits[1].status,
              graphs ? "Downloading scope data..." : "Running test response test...");

    EXPECT_EQ(window->plotForm->timespan->text(), span.label);
    EXPECT_EQ(window->plotDialog.isVisible(), graphs);
    EXPECT_TRUE(watcher.boxes().empty());
    EXPECT_EQ(status(), expectedResult());
    EXPECT_LE(bench.firmware.param(6090), 100);  // the start values settle within the span
    if (graphs) {
        ASSERT_EQ(posPlot().firstCurve.size(), 500);
        EXPECT_TRUE(posPlot().secondCurve.isEmpty());
        ASSERT_EQ(torqPlot().firstCurve.size(), 500);
        ASSERT_EQ(torqPlot().secondCurve.size(), 500);
        for (int t = 0; t < 500; ++t) {
            ASSERT_EQ(posPlot().firstCurve[t], QPointF(t, captured(t, 2)));
            ASSERT_EQ(torqPlot().firstCurve[t], QPointF(t, double(captured(t, 0) / 1000.0f)));
            ASSERT_EQ(torqPlot().secondCurve[t], QPointF(t, double(captured(t, 1) / 1000.0f)));
        }
    } else {
        EXPECT_EQ(posPlot().secondCurve.size(), 1);  // the dialog's plots were left alone
    }
}

INSTANTIATE_TEST_SUITE_P(
    StepTest, EachSpan,
    ::testing::Values(SpanCase{"span_100_ms", 3, {100, 200}, "Time span 100 ms"},
                      SpanCase{"span_500_ms", 19, {300, 0}, "Time span 500 ms"},
                      SpanCase{"span_2000_ms", 79, {1700, 0}, "Time span 2000 ms"},
                      SpanCase{"", 1, {500, 0}, "Time span"}),
    [](const ::testing::TestParamInfo<SpanCase>& info) {
        return std::string(info.param.action[0] ? info.param.action : "none");
    });

TEST_F(StepTestWindow, FirstCheckedSpanWinsAndTheShownTabPicksTheAxis) {
    window->ui.span_2000_ms->setChecked(true);
    window->ui.span_500_ms->setChecked(true);
    clickTest();
    EXPECT_EQ(window->plotForm->timespan->text(), "Time span 500 ms");
    const uint16_t axis1Peak = bench.firmware.param(6091);

    window->ui.span_2000_ms->setChecked(false);
    window->ui.span_500_ms->setChecked(false);
    window->ui.axisTabs->setCurrentIndex(1);
    bench.firmware.setParam(8300, 250);  // a softer axis 2 errs more
    start = bench.adapter.frameLog().size();
    clickTest();
    EXPECT_EQ(framesSince(bench.adapter, start), testFrames(1, 1, false));
    EXPECT_GT(bench.firmware.param(6091), axis1Peak);
}

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
        recorder.during = [&](size_t) {
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
    recorder.during = [&](size_t index) {
        std::vector<uint16_t> words(1500);
        for (size_t k = 0; k < words.size(); ++k) {
            words[k] = uint16_t(int16_t(int(k) - 1000));
        }
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
            ASSERT_TRUE(std::isfinite(torqPlot().firstCurve[t].y()));
            ASSERT_EQ(torqPlot().firstCurve[t].y(), double(captured(t, 0) * amperesPerCount));
            ASSERT_EQ(torqPlot().secondCurve[t].y(), double(captured(t, 1) * amperesPerCount));
        }
        EXPECT_EQ(torqPlot().secondCurve[0].y(), double(-999 * amperesPerCount));
        EXPECT_EQ(status(), expectedResult());
    }
}

TEST_F(StepTestWindow, LinkLostDuringTheTestReportsAndShowsNoResult) {
    window->ui.span_100_ms->trigger();
    recorder.during = [&](size_t index) {
        if (index == 1) {  // after the download: the drive falls silent
            bench.adapter.faults().stopAnsweringAfterFrames = 0;
        }
    };
    clickTest();
    EXPECT_EQ(describeBoxes(watcher), QStringList{kLinkLostBox});
    EXPECT_EQ(status(), "Connection lost, reconnect.");
    EXPECT_FALSE(window->connected);
    EXPECT_FALSE(window->ui.testButton->isEnabled());
    EXPECT_TRUE(window->plotDialog.isVisible());  // the graphs were drawn before the link went
    EXPECT_EQ(posPlot().firstCurve.size(), 500);
}

TEST_F(StepTestWindow, CorruptedScopeDataStillDrawsAndShowsTheResults) {
    window->ui.span_100_ms->trigger();
    recorder.during = [&](size_t index) {  // only the download runs on a noisy line
        bench.adapter.faults().seed = 11;
        bench.adapter.faults().bitErrorRate = index == 0 ? 2e-4 : 0.0;
    };
    clickTest();
    EXPECT_NE(out.find("Scope data checksum error\n"), std::string::npos);
    EXPECT_EQ(posPlot().firstCurve.size(), 500);
    EXPECT_TRUE(watcher.boxes().empty());  // with this seed only data words are hit
    EXPECT_EQ(status(), expectedResult());
}

TEST_F(StepTestWindow, DialogShowsTheCurvesWhereTheScalesPutThemAndClosesWithTheWindow) {
    window->ui.span_100_ms->trigger();
    window->show();
    clickTest();
    window->plotDialog.resize(706, 533);
    QImage dialog = window->plotDialog.grab().toImage();
    if (qEnvironmentVariableIsSet("KMR_RESPONSE_SCREENSHOT")) {
        dialog.save(qEnvironmentVariable("KMR_RESPONSE_SCREENSHOT"));
    }
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
            bool found = false;
            for (int d = 0; d < 9; ++d) {
                found = found || colour(image.pixelColor(at.x() + d % 3 - 1, at.y() + d / 3 - 1));
            }
            hits += found;
        }
        EXPECT_GT(checked, 50);
        EXPECT_EQ(hits, checked);
    }

    OutputCapture capture;
    window->close();
    EXPECT_FALSE(window->plotDialog.isVisible());
}
