// The tuning assistant on step tests of simulated axes it knows nothing about: it must find each
// axis's inertia and the firmware's scaling, and predict what its own proposal will do.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "identification.h"
#include "margins.h"
#include "proposal.h"
#include "simulated_step.h"

using drive_sim::AxisMechanics;

namespace {
struct Plant {
    const char* name;
    AxisMechanics mechanics;
    uint16_t inductance;  // mH x 150
};

AxisMechanics machine(double inertia, double coulomb, double kt, double gainScale,
                      double load = 0.0) {
    AxisMechanics m;
    m.load = load;
    m.inertia *= inertia;
    m.coulombFriction = coulomb;
    m.torqueConstant *= kt;
    m.gainScale = gainScale;
    return m;
}

const Plant kPlants[] = {
    {"factory axis", AxisMechanics{}, 375},
    {"heavy, weak motor, strong firmware", machine(3.0, 0.01, 0.5, 2.0), 375},
    {"light, strong motor, weak firmware", machine(0.5, 0.0, 2.0, 0.5), 375},
    {"slow current loop, hanging load", machine(2.0, 0.004, 1.0, 1.0, 0.02), 1500},
};

void expectWithin(double measured, double truth, double share, const char* what,
                  const char* plant) {
    EXPECT_NEAR(measured / truth, 1.0, share) << what << " of " << plant;
}
}  // namespace

TEST(Identification, FindsTheInertiaAndTheFirmwaresScalingOfEachAxis) {
    for (const Plant& plant : kPlants) {
        drive_sim::ServoTuning axis = simulated_step::factoryAxis();
        axis.inductance = plant.inductance;
        const auto capture = simulated_step::runStepTest(axis, plant.mechanics, 7);
        const tuning::Identification id = tuning::identifyAxis(capture.record);
        ASSERT_TRUE(id.usable) << plant.name << ": " << id.warning;
        EXPECT_EQ(id.warning, "") << plant.name;
        EXPECT_GT(id.fitPercent, 80.0) << plant.name;
        // The fit said is the kept model's own, not the one it was chosen over.
        EXPECT_DOUBLE_EQ(id.fitPercent, tuning::modelFitPercent(capture.record, id.model))
            << plant.name;
        const tuning::AxisModel& m = id.model;
        expectWithin(m.mechanics.inertia, simulated_step::inertiaInDriveUnits(plant.mechanics), 0.2,
                     "inertia", plant.name);
        const double kt = plant.mechanics.torqueConstant;
        EXPECT_NEAR(m.mechanics.load, plant.mechanics.load / kt, 0.05) << plant.name;
        EXPECT_NEAR(m.mechanics.coulomb, plant.mechanics.coulombFriction / kt, 0.1) << plant.name;
        using namespace drive_sim::servo;
        const double scale = plant.mechanics.gainScale;
        expectWithin(m.controller.ampsPerCountP, kAmpsPerCountP * scale, 0.1, "P", plant.name);
        expectWithin(m.controller.ampsPerCountSecondI, kAmpsPerCountSecondI * scale, 0.1, "I",
                     plant.name);
        expectWithin(m.controller.ampSecondsPerCountD, kAmpSecondsPerCountD * scale, 0.1, "D",
                     plant.name);
        expectWithin(m.currentLoop.timeConstant,
                     drive_sim::currentLoopSeconds(plant.inductance, axis.resistance), 0.3,
                     "current loop", plant.name);
    }
}

// Dry friction near the injection itself, and a load that with the injection asks more than the
// peak current, so that the firmware's integral stops at its clamp: the friction must not take
// the inertia's share, nor the clamp the controller's scaling. With the integral clamped the P
// term holds the rest of the load, and no bandwidth the axis allows makes that error settle.
TEST(Identification, KeepsTheInertiaUnderStrongFrictionAndALoadNearThePeakCurrent) {
    const double kt = AxisMechanics{}.torqueConstant;
    const double peak = simulated_step::factoryAxis().peakCurrentMa / 1000.0;
    struct Row {
        double coulombAmps, loadShare;
        tuning::ProposalLimit choice;
    };
    using tuning::ProposalLimit;
    for (const Row row :
         {Row{2.0, 0.0, ProposalLimit::None}, Row{1.5, 0.8, ProposalLimit::Settling},
          Row{0.0, 0.8, ProposalLimit::Settling}}) {
        const AxisMechanics m =
            machine(1.0, row.coulombAmps * kt, 1.0, 1.0, row.loadShare * peak * kt);
        const std::string name = "Coulomb " + std::to_string(row.coulombAmps) + " A, load " +
                                 std::to_string(row.loadShare);
        const tuning::StepRecord r =
            simulated_step::runStepTest(simulated_step::factoryAxis(), m, 7).record;
        const tuning::Identification id = tuning::identifyAxis(r);
        ASSERT_TRUE(id.proposable) << name << ": " << id.warning;
        EXPECT_GT(id.fitPercent, 80.0) << name;
        expectWithin(id.model.mechanics.inertia, simulated_step::inertiaInDriveUnits(m), 0.2,
                     "inertia", name.c_str());
        EXPECT_NEAR(id.model.mechanics.coulomb, row.coulombAmps,
                    std::max(0.05, 0.2 * row.coulombAmps))
            << name;
        expectWithin(id.model.controller.ampsPerCountSecondI,
                     drive_sim::servo::kAmpsPerCountSecondI, 0.1, "I", name.c_str());
        EXPECT_STREQ(
            tuning::limitName(tuning::chooseGains(id.model, r.limits, r.injectedCurrent).limit),
            tuning::limitName(row.choice))
            << name;
    }
}

TEST(Proposal, PredictsThePeakErrorTheSimulatedDriveThenMeasures) {
    for (const Plant& plant : kPlants) {
        drive_sim::ServoTuning axis = simulated_step::factoryAxis();
        axis.inductance = plant.inductance;
        const auto capture = simulated_step::runStepTest(axis, plant.mechanics, 11);
        const tuning::Identification id = tuning::identifyAxis(capture.record);
        const tuning::StepRecord& r = capture.record;
        // 20 Hz, or the nearest bandwidth the assistant offers instead.
        tuning::Proposal proposal =
            tuning::proposeGains(id.model, r.limits, r.injectedCurrent, 20.0);
        if (!proposal.offered()) {
            proposal = tuning::proposeGains(id.model, r.limits, r.injectedCurrent,
                                            proposal.passingBandwidthHz);
        }
        ASSERT_TRUE(proposal.offered()) << plant.name << ": " << proposal.refusal;
        const auto applied = simulated_step::runStepTest(
            simulated_step::withGains(axis, proposal.gains), plant.mechanics, 12);
        const double measured = applied.run.metrics.peakError;
        const double predicted = proposal.prediction.figures.peakError;
        EXPECT_NEAR(predicted, measured, measured < 13 ? 2.0 : 0.15 * measured) << plant.name;
        EXPECT_FALSE(applied.run.tripped) << plant.name;
    }
}

TEST(Proposal, ARefusalNamesItsLimitAndTheNearestBandwidthThatPasses) {
    const auto capture =
        simulated_step::runStepTest(simulated_step::factoryAxis(), AxisMechanics{}, 3);
    const tuning::StepRecord& r = capture.record;
    const tuning::AxisModel model = tuning::identifyAxis(r).model;
    struct Case {
        double hz;
        tuning::ProposalLimit limit;
        const char* nearest;
    };
    const Case cases[] = {
        {5.0, tuning::ProposalLimit::PeakError, "lowest"},
        {80.0, tuning::ProposalLimit::DerivativeNoise, "highest"},
        {1000.0, tuning::ProposalLimit::CurrentLoop, "highest"},
    };
    for (const Case& c : cases) {
        const tuning::Proposal p = tuning::proposeGains(model, r.limits, r.injectedCurrent, c.hz);
        EXPECT_EQ(p.limit, c.limit) << c.hz;
        EXPECT_NE(p.refusal.find(c.nearest), std::string::npos) << p.refusal;
        const tuning::Proposal nearest =
            tuning::proposeGains(model, r.limits, r.injectedCurrent, p.passingBandwidthHz);
        EXPECT_TRUE(nearest.offered()) << p.refusal;
    }
    tuning::AxisModel coarseI = model;
    coarseI.controller.ampsPerCountSecondI *= 1e4;  // one unit of I would be far too much
    const tuning::Proposal noI = tuning::proposeGains(coarseI, r.limits, r.injectedCurrent, 40.0);
    EXPECT_EQ(noI.gains.i, 0);
    EXPECT_NE(noI.refusal.find("a gain would round to 0"), std::string::npos) << noI.refusal;
}

TEST(Identification, RefusesOrWarnsAboutCapturesThatCannotShowTheAxis) {
    drive_sim::ServoTuning disabled = simulated_step::factoryAxis();
    disabled.powerStageEnabled = false;
    drive_sim::ServoTuning tripping = simulated_step::factoryAxis();
    tripping.followErrorLimit = 15;
    drive_sim::ServoTuning clamped = simulated_step::factoryAxis();
    clamped.peakCurrentMa = 1500;  // below the injection itself
    struct Case {
        drive_sim::ServoTuning axis;
        bool usable;
        const char* warning;
    };
    const Case cases[] = {
        {disabled, false, "disabled"},
        {tripping, false, "tripped"},
        {clamped, true, "peak-current clamp"},
    };
    for (const Case& c : cases) {
        const auto id =
            tuning::identifyAxis(simulated_step::runStepTest(c.axis, AxisMechanics{}, 5).record);
        EXPECT_EQ(id.usable, c.usable) << c.warning;
        EXPECT_NE(id.warning.find(c.warning), std::string::npos) << id.warning;
    }
}

// J s^2 under P 1 and D 1 crosses over where w^4 = 1 + w^2 (w^2 = 1.618) with a phase margin of
// atan(w) = 51.83 deg; a delay T leaves the crossover, takes w T off the margin, and brings the
// phase crossover (atan(v) = v T) where the gain margin is read.
TEST(StabilityMargins, MatchTheLoopWorkedOutByHand) {
    const double w = std::sqrt((1.0 + std::sqrt(5.0)) / 2.0);
    const double degrees = 180.0 / M_PI;
    for (const double delay : {1e-6, 0.1}) {
        tuning::AxisModel model;
        model.servoCycle = delay;
        model.mechanics.inertia = 1.0;
        model.controller.ampsPerCountP = 1.0;
        model.controller.ampSecondsPerCountD = 1.0;
        const auto margins = tuning::stabilityMargins(model, {1, 0, 1});
        ASSERT_TRUE(margins.crosses);
        EXPECT_NEAR(margins.crossoverHz, w / (2.0 * M_PI), 1e-4) << delay;
        EXPECT_NEAR(margins.phaseMarginDeg, (std::atan(w) - w * delay) * degrees, 0.01) << delay;
        EXPECT_GT(margins.sensitivityPeak, 1.0);
        if (delay == 0.1) {
            const double v = 15.0442;  // atan(v) = 0.1 v
            EXPECT_NEAR(margins.gainMarginDb, -20.0 * std::log10(std::hypot(1.0, v) / (v * v)),
                        0.1);
        }
    }
}

// The assistant's own bandwidth on simulated axes: it keeps 45 deg of phase margin and names what
// holds it back. The margin is lost to the current loop's lag and the servo cycle whatever the
// inertia, so a light axis with a fast current loop allows more than the factory axis, and a
// slow current loop less. The choice and the trial's check judge "worse" alike.
TEST(Proposal, ChoosesTheHighestBandwidthTheAxisAllowsAndSaysWhatLimitsIt) {
    struct Case {
        const char* name;
        AxisMechanics mechanics;
        uint16_t inductance;    // mH x 150
        double chosenHz = 0.0;  // filled in
    };
    Case cases[] = {{"slow current loop", machine(2.0, 0.0, 1.0, 1.0), 1500},
                    {"factory axis", AxisMechanics{}, 375},
                    {"light axis, fast current loop", machine(0.3, 0.0, 1.0, 1.0), 75}};
    for (Case& c : cases) {
        drive_sim::ServoTuning axis = simulated_step::factoryAxis();
        axis.inductance = c.inductance;
        const auto capture = simulated_step::runStepTest(axis, c.mechanics, 13);
        const tuning::StepRecord& r = capture.record;
        const tuning::AxisModel model = tuning::identifyAxis(r).model;
        const tuning::Proposal p = tuning::chooseGains(model, r.limits, r.injectedCurrent);
        ASSERT_TRUE(p.offered()) << c.name << ": " << p.refusal;
        EXPECT_GE(tuning::stabilityMargins(model, p.gains).phaseMarginDeg,
                  tuning::kLeastPhaseMarginDeg)
            << c.name;
        EXPECT_NEAR(p.bandwidthHz, tuning::kChosenBandwidthShare * p.allowedBandwidthHz, 1e-9)
            << c.name;
        EXPECT_EQ(p.limitedBy, tuning::ProposalLimit::PhaseMargin) << c.name;
        c.chosenHz = p.bandwidthHz;
        const tuning::Proposal forMargin =
            tuning::gainsForPhaseMargin(model, r.limits, r.injectedCurrent, 60.0);
        EXPECT_NEAR(tuning::stabilityMargins(model, forMargin.gains).phaseMarginDeg, 60.0, 1.0)
            << c.name;
    }
    EXPECT_LT(cases[0].chosenHz, cases[1].chosenHz);
    EXPECT_GT(cases[2].chosenHz, 1.2 * cases[1].chosenHz);

    struct Worse {
        tuning::StepFigures now, before;
        tuning::Figure worse;
    };
    const Worse worse[] = {
        {{21, 1, 40}, {20, 0, 39}, tuning::Figure::None},  // 1 count or ms is slack
        {{89, 2, 60}, {32, 1, 31}, tuning::Figure::PeakError},
        {{100, 3, 40}, {100, 1, 40}, tuning::Figure::Undershoot},
        {{105, 1, 61}, {100, 1, 58}, tuning::Figure::SettlingTime},  // 5 % of 100, of 58
    };
    for (const Worse& w : worse) {
        EXPECT_EQ(tuning::worseFigure(w.now, w.before), w.worse) << w.now.peakError;
    }
}
