// The simulated drive's servo model responds to the step disturbance as a servo engineer expects.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

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
    // A runaway far beyond 16 bits is reported as the largest value, not wrapped.
    EXPECT_EQ(drive_sim::measureStep({100000, 100000}).peakError, 65535);
}
