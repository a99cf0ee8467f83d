// The simulated drive's servo model responds to the step disturbance as a servo engineer expects.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "servo_model.h"

using drive_sim::ServoTuning;
using drive_sim::StepRun;

namespace {
// The configuration form's start values, then the gains P, I, D replaced.
ServoTuning servoTuning(uint16_t p = 500, uint16_t i = 100, uint16_t d = 500) {
    return ServoTuning{p, i, d, 2000, 4000, 500};
}

StepRun runEveryCycle(const ServoTuning& tuning, uint64_t seed = 1) {
    return drive_sim::runStepDisturbance(tuning, 1, drive_sim::servo::kMetricTicks + 100, 100,
                                         seed);
}

}  // namespace

TEST(ServoModel, HigherPAndLowerInductanceGiveLowerPeakErrorAndTheErrorReturnsToZero) {
    const StepRun start = runEveryCycle(servoTuning());
    EXPECT_EQ(start.points[99].positionError, 0);  // at rest before the step
    EXPECT_GT(start.metrics.peakError, 10);
    EXPECT_LT(start.metrics.undershoot, start.metrics.peakError / 5);
    EXPECT_LT(start.metrics.settlingTimeMs, 100);
    // The injected command is cancelled by the integral: no current and no error at the end.
    EXPECT_LE(std::abs(start.points.back().positionError), 2);
    EXPECT_NEAR(start.points.back().targetCurrent, 0.0, 0.1);
    EXPECT_FALSE(start.tripped);

    EXPECT_GT(runEveryCycle(servoTuning(250)).metrics.peakError, start.metrics.peakError * 5 / 4);
    EXPECT_LT(runEveryCycle(servoTuning(1000)).metrics.peakError, start.metrics.peakError * 4 / 5);
    ServoTuning slowCurrentLoop = servoTuning();
    slowCurrentLoop.inductance = 3000;  // 20 mH: eight times the current loop's time constant
    EXPECT_NEAR(drive_sim::currentLoopSeconds(3000, 85) / drive_sim::currentLoopSeconds(375, 85),
                8.0, 1e-9);
    EXPECT_GT(runEveryCycle(slowCurrentLoop).metrics.peakError, start.metrics.peakError * 5 / 4);
}

TEST(ServoModel, AFollowingErrorTripSwitchesOffAndTheAxisCoastsToAStop) {
    ServoTuning tight = servoTuning();
    tight.followErrorLimit = 15;
    const StepRun run = runEveryCycle(tight);
    ASSERT_TRUE(run.tripped);
    const auto& last = run.points.back();
    EXPECT_GT(last.positionError, 15);
    EXPECT_LT(last.positionError, 200);  // no runaway: friction stops the shaft
    EXPECT_EQ(run.points[run.points.size() - 2000].positionError, last.positionError);
    EXPECT_EQ(last.targetCurrent, 0.0);
    EXPECT_LT(std::fabs(last.achievedCurrent), 0.06);  // only the current sense's noise
    EXPECT_EQ(run.metrics.peakError, last.positionError);
    EXPECT_EQ(run.metrics.settlingTimeMs, 500);
    // A runaway far beyond 16 bits would be reported as the largest value, not wrapped.
    EXPECT_EQ(drive_sim::measureStep({100000, 100000}).peakError, 65535);
}
