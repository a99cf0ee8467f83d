// The simulated drive's step test: the servo model responds as a servo engineer expects, and the
// scope records what the model did.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "drive_link.h"
#include "output_capture.h"
#include "response_test_support.h"
#include "servo_model.h"

using drive_sim::ServoTuning;
using drive_sim::StepRun;

namespace {
// The configuration form's start values, then the gains P, I, D replaced.
ServoTuning tuning(uint16_t p = 500, uint16_t i = 100, uint16_t d = 500) {
    return ServoTuning{p, i, d, 2000, 4000, 500};
}

StepRun runEveryCycle(const ServoTuning& tuning) {
    return drive_sim::runStepDisturbance(tuning, 1, drive_sim::servo::kMetricTicks + 100, 100);
}

// How often the error swings from one side of zero to the other, dither aside.
int zeroCrossings(const StepRun& run) {
    int crossings = 0;
    int lastSign = 0;
    for (const auto& point : run.points) {
        int sign = point.positionError > 2 ? 1 : point.positionError < -2 ? -1 : 0;
        crossings += sign != 0 && lastSign != 0 && sign != lastSign;
        lastSign = sign != 0 ? sign : lastSign;
    }
    return crossings;
}
}  // namespace

TEST(ServoModel, StartValuesAreWellDampedLowPErrsMoreLowDRings) {
    const StepRun start = runEveryCycle(tuning());
    EXPECT_GT(start.metrics.peakError, 10);
    EXPECT_LT(start.metrics.peakError, 100);
    EXPECT_LT(start.metrics.undershoot, start.metrics.peakError / 5);
    EXPECT_GT(start.metrics.settlingTimeMs, 0);
    EXPECT_LT(start.metrics.settlingTimeMs, 100);
    EXPECT_LE(zeroCrossings(start), 1);
    // At rest before the step, and holding the load at the end: 75 % of 2 A.
    EXPECT_EQ(start.points[99].positionError, 0);
    EXPECT_NEAR(start.points.back().achievedCurrent, 1.5, 0.1);
    EXPECT_LE(std::abs(start.points.back().positionError), 2);

    EXPECT_GT(runEveryCycle(tuning(250)).metrics.peakError, start.metrics.peakError * 5 / 4);

    const StepRun lowD = runEveryCycle(tuning(500, 100, 100));
    EXPECT_GT(zeroCrossings(lowD), zeroCrossings(start) + 2);
    EXPECT_GT(lowD.metrics.undershoot, 4 * std::max<int>(1, start.metrics.undershoot));
    EXPECT_GT(lowD.metrics.settlingTimeMs, start.metrics.settlingTimeMs);
}

TEST(ServoModel, FiguresOfATraceAndTheirLimits) {
    // 20 cycles per ms: up to 40, back through -8, settled after cycle 59 (3 ms).
    std::vector<int32_t> trace(200, 0);
    for (int i = 0; i < 60; ++i) {
        trace[size_t(i)] = i < 20 ? 2 * i + 2 : i < 40 ? 40 - 2 * (i - 20) : -8;
    }
    const drive_sim::StepMetrics metrics = drive_sim::measureStep(trace);
    EXPECT_EQ(metrics.peakError, 40);
    EXPECT_EQ(metrics.undershoot, 8);
    EXPECT_EQ(metrics.settlingTimeMs, 3);
    std::vector<int32_t> drifting(drive_sim::servo::kMetricTicks);
    for (size_t i = 0; i < drifting.size(); ++i) {
        drifting[i] = int32_t(i);
    }
    EXPECT_EQ(drive_sim::measureStep(drifting).settlingTimeMs, 500);  // never settled
    // A runaway far beyond 16 bits is reported as the largest value, not wrapped.
    EXPECT_EQ(drive_sim::measureStep({100000, 100000}).peakError, 65535);
}

TEST(SimulatedStepTest, CaptureRecordsChannelsInAscendingOrderAtItsDivider) {
    OutputCapture quiet;
    FerroxBench bench = installFerroxDrive();
    ASSERT_TRUE(openLink(true));
    setStartValues(bench);
    bench.firmware.setParam(5012, 3);
    bench.firmware.setParam(5020, 0x46);
    bool error = false;
    for (Frame frame : Frames{{11, 0}, {41, 0}} + drain()) {
        transact(uint16_t(frame.command), uint16_t(frame.value), error);
    }
    const std::vector<uint16_t>& words = scopeOf(bench).buffer();
    ASSERT_EQ(words.size(), 1500u);
    const StepRun expected = drive_sim::runStepDisturbance(
        drive_sim::axisTuning(bench.firmware, 0), 4, 500, drive_sim::scope::kPreTriggerPoints);
    for (size_t point = 0; point < 500; ++point) {
        const auto& sample = expected.points[point];
        ASSERT_EQ(int16_t(words[3 * point]), int16_t(std::lround(sample.targetCurrent * 1000)));
        ASSERT_EQ(int16_t(words[3 * point + 1]),
                  int16_t(std::lround(sample.achievedCurrent * 1000)));
        ASSERT_EQ(int16_t(words[3 * point + 2]), sample.positionError);
    }
    EXPECT_EQ(bench.firmware.param(6091), expected.metrics.peakError);
    EXPECT_EQ(bench.firmware.param(6092), expected.metrics.undershoot);
    EXPECT_EQ(bench.firmware.param(6090), expected.metrics.settlingTimeMs);
}
