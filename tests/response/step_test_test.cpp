// The Test button end to end: a real window connected to the simulated drive, the wire
// sequence, the waits, the dialog and its curves, and the result text.
#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>
#include <QStatusBar>
#include <QtTest/QTest>
#include <algorithm>
#include <cmath>
#include <functional>

#include "drive_link.h"
#include "morvane_test_support.h"
#include "output_capture.h"
#include "plot.h"
#include "response_test_support.h"
#include "scope_bench.h"
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
};
WaitRecorder recorder;

void recordWait(unsigned long ms) {
    recorder.waits.push_back(
        {ms, recorder.adapter->frameLog().size(), recorder.statusbar->currentMessage()});
    if (recorder.during) {
        recorder.during(recorder.waits.size() - 1);
    }
}

Frames testFrames(int divider, int axis, bool download) {
    Frames frames = readOf(5510) + writeOf(5020, 70) + writeOf(5021, 0) + writeOf(5012, divider) +
                    writeOf(5011, 4) + Frames{{11, 0}, {41, axis}};
    if (download) {
        frames = frames + scopeDownloadFrames(1500);
    }
    return frames + readOf(6091) + readOf(6090) + readOf(6092) + drain();
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
        setStartValues(bench);  // the figures of a freshly set-up drive
        watcher.clear();
        recorder = WaitRecorder{};
        recorder.adapter = &bench.adapter;
        recorder.statusbar = window->ui.statusbar;
        setResponseSleep(recordWait);
        start = bench.adapter.frameLog().size();
    }
    void TearDown() override {
        setResponseSleep(nullptr);
        recorder = WaitRecorder{};
    }

    // Clicks Test with its trace captured.
    void clickTest() {
        OutputCapture capture;
        QTest::mouseClick(window->ui.testButton, Qt::LeftButton);
        out = capture.out();
        err = capture.err();
    }
    void chooseSpan(QAction* action) { action->trigger(); }
    Plot& posPlot() { return *window->plotForm->posPlot; }
    Plot& torqPlot() { return *window->plotForm->torqPlot; }
    drive_sim::ScopeBench& scope() { return scopeOf(bench); }
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
    std::vector<unsigned long> waits;
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
        chooseSpan(window->findChild<QAction*>(span.action));
    }
    posPlot().addSecondCurvePoint(1, 1);  // must be emptied by a run with graphs
    clickTest();

    EXPECT_EQ(framesSince(bench.adapter, start), testFrames(span.divider, 0, graphs));
    // The trace: every frame but the download's, which only shows its progress and verdict.
    const auto& log = bench.adapter.frameLog();
    TraceScript setUp(log, start);
    setUp.read(5510).write(5020, 70).write(5021, 0).write(5012, uint16_t(span.divider));
    setUp.write(5011, 4).frames(2);
    TraceScript results(log, start + 13 + (graphs ? 756 : 0));
    results.read(6091).read(6090).read(6092).frames(2);
    ASSERT_TRUE(setUp.matchedScript() && results.matchedScript());
    EXPECT_EQ(out,
              setUp.text() + (graphs ? std::string(15, '.') + "Scope OK\n" : "") + results.text());
    EXPECT_EQ(tableRows(err), graphs ? 500u : 0u);
    ASSERT_EQ(recorder.waits.size(), 2u);
    EXPECT_EQ(recorder.waits[0].ms, span.waits[0]);
    EXPECT_EQ(recorder.waits[1].ms, span.waits[1]);
    // The first wait follows the test start, the second the download.
    EXPECT_EQ(recorder.waits[0].framesBefore - start,
              testFrames(span.divider, 0, false).size() - 11);
    EXPECT_EQ(recorder.waits[0].status, "Running test response test...");
    EXPECT_EQ(recorder.waits[1].status,
              graphs ? "Downloading scope data..." : "Running test response test...");

    EXPECT_EQ(window->plotForm->timespan->text(), span.label);
    EXPECT_EQ(window->plotDialog.isVisible(), graphs);
    EXPECT_TRUE(watcher.boxes().empty());
    EXPECT_TRUE(window->connected);
    EXPECT_EQ(window->ui.statusbar->currentMessage(), expectedResult());
    EXPECT_LE(bench.firmware.param(6090), 100);  // the start values settle within the span

    if (graphs) {
        ASSERT_EQ(posPlot().firstCurve.size(), 500);
        EXPECT_TRUE(posPlot().secondCurve.isEmpty());
        ASSERT_EQ(torqPlot().firstCurve.size(), 500);
        ASSERT_EQ(torqPlot().secondCurve.size(), 500);
        const std::vector<uint16_t>& words = scope().buffer();
        for (int t = 0; t < 500; ++t) {
            ASSERT_EQ(posPlot().firstCurve[t], QPointF(t, int16_t(words[size_t(3 * t + 2)])));
            ASSERT_EQ(torqPlot().firstCurve[t],
                      QPointF(t, double(float(int16_t(words[size_t(3 * t)])) / 1000.0f)));
            ASSERT_EQ(torqPlot().secondCurve[t],
                      QPointF(t, double(float(int16_t(words[size_t(3 * t + 1)])) / 1000.0f)));
        }
    } else {
        EXPECT_EQ(posPlot().secondCurve.size(), 1);  // the dialog's plots were left alone
        EXPECT_TRUE(posPlot().firstCurve.isEmpty());
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

TEST_F(StepTestWindow, FirstCheckedSpanWinsWhenSeveralAreOn) {
    window->ui.span_2000_ms->setChecked(true);
    window->ui.span_500_ms->setChecked(true);
    clickTest();
    EXPECT_EQ(window->plotForm->timespan->text(), "Time span 500 ms");
    EXPECT_EQ(bench.firmware.param(5012), 19);
}

TEST_F(StepTestWindow, AxisTwoTabTestsAxisTwo) {
    window->ui.axisTabs->setCurrentIndex(1);
    bench.firmware.setParam(8300, 250);  // a softer axis 2 errs more
    clickTest();
    EXPECT_EQ(framesSince(bench.adapter, start), testFrames(1, 1, false));
    uint16_t axis2Peak = bench.firmware.param(6091);

    window->ui.axisTabs->setCurrentIndex(0);
    start = bench.adapter.frameLog().size();
    clickTest();
    EXPECT_EQ(framesSince(bench.adapter, start), testFrames(1, 0, false));
    EXPECT_GT(axis2Peak, bench.firmware.param(6091));
}

TEST_F(StepTestWindow, SettlingTimeLimitIs489AndResultsAreUnsigned) {
    // The drive's figures are replaced while the test waits, before they are read.
    struct Case {
        uint16_t peak, undershoot, settling;
        const char* text;
    };
    for (Case c :
         {Case{12, 3, 489, "Peak error 12 counts, undershoot 3 counts, settling time 489 ms."},
          Case{12, 3, 490, "Peak error 12 counts, undershoot 3 counts, settling time>500 ms."},
          Case{12, 3, 0, "Peak error 12 counts, undershoot 3 counts, settling time 0 ms."},
          Case{0xFFFF, 0xFFFF, 0xFFFF,
               "Peak error 65535 counts, undershoot 65535 counts, settling time>500 ms."}}) {
        recorder.during = [&](size_t) {
            bench.firmware.setParam(6091, c.peak);
            bench.firmware.setParam(6092, c.undershoot);
            bench.firmware.setParam(6090, c.settling);
        };
        clickTest();
        EXPECT_EQ(window->ui.statusbar->currentMessage(), c.text);
    }
}

TEST_F(StepTestWindow, CurrentScaleOfMinusOneFlipsTheCurrentsAndZeroPlotsRawCounts) {
    window->ui.span_100_ms->trigger();
    // Zero would divide by nothing: the raw counts are drawn instead of infinities.
    for (auto [scale, sign] : {std::pair<uint16_t, float>{0xFFFF, -1.0f}, {0, 1.0f}}) {
        SCOPED_TRACE(scale);
        bench.firmware.setParam(5510, scale);
        clickTest();
        const std::vector<uint16_t>& words = scope().buffer();
        ASSERT_EQ(torqPlot().firstCurve.size(), 500);
        bool sawCurrent = false;
        for (int t = 0; t < 500; ++t) {
            // The drive recorded the currents with the same scale.
            const float target = float(int16_t(words[size_t(3 * t)]));
            ASSERT_TRUE(std::isfinite(torqPlot().firstCurve[t].y()));
            ASSERT_EQ(torqPlot().firstCurve[t].y(), double(sign * target));
            ASSERT_EQ(torqPlot().secondCurve[t].y(),
                      double(sign * float(int16_t(words[size_t(3 * t + 1)]))));
            sawCurrent = sawCurrent || target != 0.0f;
        }
        // A drive told that a count is nothing records no current at all.
        EXPECT_EQ(sawCurrent, scale != 0);
        EXPECT_EQ(window->ui.statusbar->currentMessage(), expectedResult());
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
    EXPECT_EQ(window->ui.statusbar->currentMessage(), "Connection lost, reconnect.");
    EXPECT_FALSE(window->connected);
    EXPECT_FALSE(window->ui.testButton->isEnabled());
    // The graphs were drawn before the link went.
    EXPECT_TRUE(window->plotDialog.isVisible());
    EXPECT_EQ(posPlot().firstCurve.size(), 500);
}

TEST_F(StepTestWindow, CorruptedScopeDataStillDrawsAndShowsTheResults) {
    window->ui.span_100_ms->trigger();
    recorder.during = [&](size_t index) {
        // Only the download runs on a noisy line; the rest of the test is clean.
        bench.adapter.faults().seed = 11;
        bench.adapter.faults().bitErrorRate = index == 0 ? 2e-4 : 0.0;
    };
    clickTest();
    EXPECT_NE(out.find("Scope data checksum error\n"), std::string::npos);
    EXPECT_EQ(posPlot().firstCurve.size(), 500);
    // With this seed the flipped bits all hit data words: the link itself stays good.
    EXPECT_TRUE(watcher.boxes().empty());
    EXPECT_EQ(window->ui.statusbar->currentMessage(), expectedResult());
}

TEST_F(StepTestWindow, ClosingTheMainWindowClosesTheDialog) {
    window->ui.span_100_ms->trigger();
    window->show();
    clickTest();
    ASSERT_TRUE(window->plotDialog.isVisible());
    OutputCapture capture;
    window->close();
    EXPECT_FALSE(window->plotDialog.isVisible());
}

TEST_F(StepTestWindow, DialogShowsTheCurvesWhereTheScalesPutThem) {
    window->ui.span_100_ms->trigger();
    clickTest();
    window->plotDialog.resize(706, 533);
    QImage dialog = window->plotDialog.grab().toImage();
    if (qEnvironmentVariableIsSet("KMR_RESPONSE_SCREENSHOT")) {
        dialog.save(qEnvironmentVariable("KMR_RESPONSE_SCREENSHOT"));
    }

    // The position error in the first curve's blue; the achieved current, drawn last, in green.
    struct Check {
        Plot* plot;
        const QList<QPointF>* curve;
        std::function<bool(const QColor&)> colour;
    };
    for (const Check& check : {Check{&posPlot(), &posPlot().firstCurve, isBlue},
                               Check{&torqPlot(), &torqPlot().secondCurve, isGreen}}) {
        QImage image = check.plot->grab().toImage();
        PlotScales scales;
        ASSERT_TRUE(plotScales(check.plot->firstCurve, image.width(), image.height(), scales));
        // Every point clear of the zero line and the ticks must have its colour right at it.
        int checked = 0;
        int hits = 0;
        for (const QPointF& point : *check.curve) {
            const QPointF at = scales.map(point) + QPointF(0.5, 0.5);
            if (std::abs(at.y() - scales.halfHeight) < 4 || at.x() < 20 ||
                at.x() > image.width() - 3) {
                continue;
            }
            ++checked;
            bool found = false;
            for (int dx = -1; dx <= 1; ++dx) {
                for (int dy = -1; dy <= 1; ++dy) {
                    found =
                        found || check.colour(image.pixelColor(int(at.x()) + dx, int(at.y()) + dy));
                }
            }
            hits += found;
        }
        EXPECT_GT(checked, 50) << check.plot->objectName().toStdString();
        EXPECT_EQ(hits, checked) << check.plot->objectName().toStdString();
    }
}
