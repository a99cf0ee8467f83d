// The frequency response of the position loop and the disturbance response a step test measures,
// against a loop worked out by hand and against simulated axes the model was identified from.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "frequency_response.h"
#include "identification.h"
#include "simulated_step.h"

namespace {
// The curve's value at `hz`, straight between its neighbours in log frequency.
double at(const std::vector<double>& hz, const std::vector<double>& curve, double f) {
    for (size_t k = 1; k < hz.size(); ++k) {
        if (hz[k] >= f) {
            const double share = std::log(f / hz[k - 1]) / std::log(hz[k] / hz[k - 1]);
            return curve[k - 1] + share * (curve[k] - curve[k - 1]);
        }
    }
    return NAN;
}
}  // namespace

// J s^2 under P alone: L = -kp / (J w^2), the disturbance 1 / |kp - J w^2| (J = 1e-4, kp = 1: the
// loop crosses over at 100 rad/s), and above the crossover |S| = 1 / |1 + L| passes 1.
TEST(FrequencyResponse, PureInertiaUnderPAloneAsWorkedOutByHand) {
    tuning::AxisModel model;
    model.servoCycle = 1e-9;
    model.mechanics.inertia = 1e-4;
    model.controller.ampsPerCountP = 1.0;
    struct Row {
        double hz, openLoopDb, sensitivityDb, countsPerAmp;
    };
    const Row rows[] = {{1.0, 48.07, -48.04, 1.00397},
                        {10.0, 8.07, -3.71, 1.6524},
                        {100.0, -31.93, 0.223, 0.025988}};
    for (const Row& row : rows) {
        const auto r = tuning::loopResponse(model, {1, 0, 0}, {row.hz}, {});
        ASSERT_EQ(r.openLoopDb.size(), 1u);
        EXPECT_NEAR(r.openLoopDb[0], row.openLoopDb, 0.01) << row.hz;
        EXPECT_NEAR(r.openLoopPhaseDeg[0], -180.0, 0.01) << row.hz;
        EXPECT_NEAR(r.sensitivityDb[0], row.sensitivityDb, 0.01) << row.hz;
        EXPECT_NEAR(r.disturbanceCountsPerAmp[0] / row.countsPerAmp, 1.0, 1e-4) << row.hz;
    }
    EXPECT_TRUE(tuning::loopResponse({}, {1, 0, 0}, {1.0}, {}).hz.empty());  // no inertia: no curve
}

// The measured response of simulated axes against the model identified from the same capture,
// where the measurement is trusted: within 30 % (the model's friction is linear, the axis's dry
// friction is not). The trusted band starts at 1 / 95 ms, reaches past the loop's crossover and
// ends where the error's rounding drowns the answer; an encoder that scatters by a few counts
// narrows it. The margins read off the curve are stabilityMargins'.
TEST(FrequencyResponse, MeasuredDisturbanceAgreesWithTheModelWhereItIsTrusted) {
    struct Row {
        const char* name;
        double inertia;  // times the factory axis's
        int p;
        int scatterCounts;  // the most the encoder's noise adds to the error
        double highestTrustedAtLeastHz, highestTrustedBelowHz;
    };
    const Row rows[] = {{"factory axis", 1.0, 650, 0, 150.0, 250.0},
                        {"heavy axis", 3.0, 650, 0, 100.0, 150.0},
                        {"light axis, soft P", 0.5, 325, 0, 150.0, 250.0},
                        {"factory axis, scattering encoder", 1.0, 650, 3, 40.0, 100.0}};
    for (const Row& row : rows) {
        drive_sim::AxisMechanics mechanics;
        mechanics.inertia *= row.inertia;
        const auto capture = simulated_step::runStepTest(
            simulated_step::withGains(simulated_step::factoryAxis(), {row.p, 120, 700}), mechanics,
            7);
        const tuning::AxisModel model = tuning::identifyAxis(capture.record).model;
        tuning::StepRecord record = capture.record;
        std::mt19937 scatter(1);
        for (double& error : record.positionError) {
            error +=
                std::uniform_int_distribution<int>(-row.scatterCounts, row.scatterCounts)(scatter);
        }
        const std::vector<double> hz = tuning::frequencyGrid(record.samplePeriod);
        const auto modelled = tuning::loopResponse(model, record.gains, hz,
                                                   tuning::stabilityMargins(model, record.gains));
        const auto measured = tuning::measuredDisturbance(record, hz);
        ASSERT_EQ(measured.trusted.size(), hz.size()) << row.name;
        EXPECT_NEAR(measured.lowestTrustedHz, 1.0 / 0.095, 1e-6) << row.name;
        double highestTrusted = 0.0;
        for (size_t k = 0; k < hz.size(); ++k) {
            if (measured.trusted[k]) {
                highestTrusted = hz[k];
                EXPECT_NEAR(measured.countsPerAmp[k] / modelled.disturbanceCountsPerAmp[k], 1.0,
                            0.3)
                    << row.name << " at " << hz[k] << " Hz";
            }
            EXPECT_TRUE(hz[k] >= measured.lowestTrustedHz || !measured.trusted[k]) << hz[k];
        }
        EXPECT_GE(highestTrusted, row.highestTrustedAtLeastHz) << row.name;
        EXPECT_LT(highestTrusted, row.highestTrustedBelowHz) << row.name;

        const tuning::StabilityMargins& m = modelled.margins;
        ASSERT_TRUE(m.crosses) << row.name;
        EXPECT_NEAR(at(hz, modelled.openLoopDb, m.crossoverHz), 0.0, 0.05) << row.name;
        EXPECT_NEAR(at(hz, modelled.openLoopPhaseDeg, m.crossoverHz), m.phaseMarginDeg - 180.0, 0.1)
            << row.name;
        EXPECT_NEAR(at(hz, modelled.openLoopPhaseDeg, m.halfTurnHz), -180.0, 0.1) << row.name;
        EXPECT_NEAR(at(hz, modelled.openLoopDb, m.halfTurnHz), -m.gainMarginDb, 0.1) << row.name;
    }
}
