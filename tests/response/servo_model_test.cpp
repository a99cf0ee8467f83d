// The simulated drive's step test: the servo model responds as a servo engineer expects, and the
// scope records and serves what the model did.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "drive_link.h"
#include "ferrox_factory.h"
#include "output_capture.h"
#include "scope_bench.h"
#include "servo_model.h"
#include "sim_fixture.h"

using drive_sim::ServoTuning;
using drive_sim::StepMetrics;
using drive_sim::StepRun;

namespace {
// The configuration form's start values.
constexpr ServoTuning kStartValues{500, 100, 500, 2000, 4000, 500};

StepRun runEveryCycle(const ServoTuning& tuning) {
    return drive_sim::runStepDisturbance(tuning, 1, drive_sim::servo::kMetricTicks + 100, 100);
}

int zeroCrossings(const StepRun& run) {
    int crossings = 0;
    int lastSign = 0;
    for (const auto& point : run.points) {
        int sign = point.positionError > 2 ? 1 : point.positionError < -2 ? -1 : 0;
        if (sign != 0 && lastSign != 0 && sign != lastSign) {
            ++crossings;
        }
        if (sign != 0) {
            lastSign = sign;
        }
    }
    return crossings;
}

ServoTuning with(ServoTuning tuning, uint16_t p, uint16_t i, uint16_t d) {
    tuning.gainP = p;
    tuning.gainI = i;
    tuning.gainD = d;
    return tuning;
}
}  // namespace

TEST(ServoModel, StartValuesGiveAWellDampedResponseThatSettlesInTheShortSpan) {
    StepRun run = runEveryCycle(kStartValues);
    EXPECT_GT(run.metrics.peakError, 10);
    EXPECT_LT(run.metrics.peakError, 100);
    EXPECT_LT(run.metrics.undershoot, run.metrics.peakError / 5);
    EXPECT_GT(run.metrics.settlingTimeMs, 0);
    EXPECT_LT(run.metrics.settlingTimeMs, 100);
    EXPECT_LE(zeroCrossings(run), 1);

    // The axis is at rest before the step, and ends holding the load: 75 % of 2 A.
    EXPECT_EQ(run.points[99].positionError, 0);
    EXPECT_EQ(run.points[99].targetCurrent, 0.0);
    EXPECT_NEAR(run.points.back().achievedCurrent, 1.5, 0.1);
    EXPECT_LE(std::abs(run.points.back().positionError), 2);
}

TEST(ServoModel, HalvingPIncreasesThePeakError) {
    StepMetrics start = runEveryCycle(kStartValues).metrics;
    StepMetrics halved = runEveryCycle(with(kStartValues, 250, 100, 500)).metrics;
    EXPECT_GT(halved.peakError, start.peakError * 5 / 4);
}

TEST(ServoModel, LowDGainRings) {
    StepRun start = runEveryCycle(kStartValues);
    StepRun lowD = runEveryCycle(with(kStartValues, 500, 100, 100));
    EXPECT_GT(zeroCrossings(lowD), zeroCrossings(start) + 2);
    EXPECT_GT(lowD.metrics.undershoot, 4 * std::max<int>(1, start.metrics.undershoot));
    EXPECT_GT(lowD.metrics.settlingTimeMs, start.metrics.settlingTimeMs);
}

TEST(ServoModel, PeakCurrentLimitsTheTarget) {
    ServoTuning weak = kStartValues;
    weak.peakCurrentMa = 1000;  // below the 1.5 A the load needs
    weak.followErrorLimit = 16383;
    StepRun run = runEveryCycle(weak);
    for (const auto& point : run.points) {
        ASSERT_LE(std::abs(point.targetCurrent), 1.0 + 1e-9);
    }
    EXPECT_EQ(run.metrics.settlingTimeMs, 500);  // the shaft is pushed away
}

TEST(ServoModel, FollowErrorBeyondTheLimitLetsGoOfTheShaft) {
    ServoTuning tight = kStartValues;
    tight.followErrorLimit = 10;
    StepRun run = runEveryCycle(tight);
    EXPECT_EQ(run.points.back().targetCurrent, 0.0);
    EXPECT_EQ(run.metrics.settlingTimeMs, 500);
    EXPECT_EQ(run.metrics.undershoot, 0);
}

TEST(StepMetricsOfATrace, PeakUndershootAndSettling) {
    // 20 cycles per ms: up to 40, back through -8, settled after cycle 59 (3 ms).
    std::vector<int32_t> trace(200, 0);
    for (int i = 0; i < 20; ++i) {
        trace[size_t(i)] = 2 * i + 2;
    }
    for (int i = 20; i < 40; ++i) {
        trace[size_t(i)] = 40 - 2 * (i - 20);
    }
    for (int i = 40; i < 60; ++i) {
        trace[size_t(i)] = -8;
    }
    StepMetrics metrics = drive_sim::measureStep(trace);
    EXPECT_EQ(metrics.peakError, 40);
    EXPECT_EQ(metrics.undershoot, 8);
    EXPECT_EQ(metrics.settlingTimeMs, 3);
}

TEST(StepMetricsOfATrace, NeverSettledCountsTheWholeWindowAndQuietCountsNothing) {
    std::vector<int32_t> drifting(drive_sim::servo::kMetricTicks);
    for (size_t i = 0; i < drifting.size(); ++i) {
        drifting[i] = int32_t(i);
    }
    EXPECT_EQ(drive_sim::measureStep(drifting).settlingTimeMs, 500);
    EXPECT_EQ(drive_sim::measureStep(drifting).peakError, 9999);
    EXPECT_EQ(drive_sim::measureStep(std::vector<int32_t>(100, 1)).settlingTimeMs, 0);
    EXPECT_EQ(drive_sim::measureStep({}).peakError, 0);
    // A runaway far beyond 16 bits is reported as the largest value, not wrapped.
    EXPECT_EQ(drive_sim::measureStep({100000, 100000}).peakError, 65535);
}

namespace {
class SimulatedStepTest : public ::testing::Test {
protected:
    SimulatedStepTest() : bench(installFerroxDrive()) {
        EXPECT_TRUE(openLink(true));
        for (uint16_t offset : {uint16_t(0), drive_sim::ferrox::kAxis2Offset}) {
            bench.firmware.setParam(uint16_t(200 + offset), 500);
            bench.firmware.setParam(uint16_t(201 + offset), 100);
            bench.firmware.setParam(uint16_t(202 + offset), 500);
            bench.firmware.setParam(uint16_t(410 + offset), 2000);
            bench.firmware.setParam(uint16_t(411 + offset), 4000);
            bench.firmware.setParam(uint16_t(20 + offset), 500);
        }
    }
    drive_sim::ScopeBench& scope() {
        return *dynamic_cast<drive_sim::ScopeBench*>(bench.firmware.extension());
    }
    // Runs a command and returns its answer, which comes back two frames later.
    uint32_t answerOf(uint16_t command, uint16_t value) {
        bool error = false;
        transact(command, value, error);
        transact(2, 0, error);
        uint32_t raw = 0;
        transact(2, 0, error, &raw);
        return raw;
    }
    void arm(uint16_t divider, uint32_t mask) {
        bench.firmware.setParam(5012, divider);
        bench.firmware.setParam(5020, uint16_t(mask));
        bench.firmware.setParam(5021, uint16_t(mask >> 16));
        answerOf(11, 0);
    }
    OutputCapture quietTrace;
    FerroxBench bench;
};
}  // namespace

TEST_F(SimulatedStepTest, CaptureRecordsChannelsInAscendingOrderAtItsDivider) {
    arm(3, 0x46);
    answerOf(41, 0);
    const std::vector<uint16_t>& words = scope().buffer();
    ASSERT_EQ(words.size(), 1500u);

    StepRun expected = drive_sim::runStepDisturbance(drive_sim::axisTuning(bench.firmware, 0), 4,
                                                     500, drive_sim::scope::kPreTriggerPoints);
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
    EXPECT_FALSE(scope().armed());
}

TEST_F(SimulatedStepTest, ChannelsWithoutASignalRecordZero) {
    arm(3, 0x80000001u);  // channels 0 and 31
    answerOf(41, 0);
    ASSERT_EQ(scope().buffer().size(), 1000u);
    for (uint16_t word : scope().buffer()) {
        ASSERT_EQ(word, 0);
    }
}

TEST_F(SimulatedStepTest, ReadReturnsTwoWordsAndChecksumIsTheRunningSum) {
    scope().setBuffer({0x1111, 0x2222, 0x3333});
    EXPECT_EQ(answerOf(13, 0), 0x22221111u);
    EXPECT_EQ(answerOf(13, 2), 0x00003333u);  // beyond the buffer reads 0
    uint32_t sum = 0;
    for (const auto& record : bench.adapter.frameLog()) {
        sum += record.reply;
    }
    bool error = false;
    transact(120, 10, error);
    uint32_t before = 0;
    for (const auto& record : bench.adapter.frameLog()) {
        before += record.reply;
    }
    transact(2, 0, error);
    uint32_t raw = 0;
    transact(2, 0, error, &raw);
    EXPECT_EQ(raw, before + bench.adapter.frameLog()[bench.adapter.frameLog().size() - 2].reply);
    EXPECT_NE(sum, 0u);
}

TEST_F(SimulatedStepTest, AxisTwoUsesItsOwnSettingsAndNoThirdAxisExists) {
    bench.firmware.setParam(8300, 250);
    answerOf(41, 0);
    uint16_t axis1Peak = bench.firmware.param(6091);
    answerOf(41, 1);
    EXPECT_GT(bench.firmware.param(6091), axis1Peak);
    EXPECT_EQ(scope().stepTestCount(), 2);

    uint32_t unknown = answerOf(41, 2);
    EXPECT_NE(unknown >> 24 & 0x80, 0u);  // answered as an unknown command
    EXPECT_EQ(scope().stepTestCount(), 2);
}

TEST_F(SimulatedStepTest, PowerCycleForgetsTheCapture) {
    arm(3, 0x46);
    bench.adapter.powerCycle();
    EXPECT_FALSE(scope().armed());
    EXPECT_TRUE(scope().buffer().empty());
}
