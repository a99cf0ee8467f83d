// The tuning assistant over seeded random simulated axes: how well it identifies each axis, and
// for its proposals at three bandwidths, how well it predicts what the simulated drive then
// measures. A report for the reader; nothing is asserted.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "identification.h"
#include "margins.h"
#include "proposal.h"
#include "simulated_step.h"

namespace {
constexpr int kPlants = 120;
constexpr double kBandwidthShares[] = {0.5, 0.75, 1.0};  // of the highest offered bandwidth

struct Column {
    const char* name;
    std::vector<double> values;
    double within = 0.0;  // share inside the band to report; negative: none
};

double quantile(std::vector<double> values, double q) {
    if (values.empty()) {
        return NAN;
    }
    std::sort(values.begin(), values.end());
    return values[size_t(std::lround(q * double(values.size() - 1)))];
}

double shareWithin(const std::vector<double>& values, double band) {
    const auto inside = std::count_if(values.begin(), values.end(),
                                      [band](double v) { return std::fabs(v) <= band; });
    return values.empty() ? NAN : 100.0 * double(inside) / double(values.size());
}

double logUniform(std::mt19937_64& random, double low, double high) {
    return low * std::pow(high / low, std::uniform_real_distribution<double>(0.0, 1.0)(random));
}

// Signed relative error in percent.
double errorPercent(double found, double truth) {
    return 100.0 * (found / truth - 1.0);
}
}  // namespace

int main() {
    using namespace drive_sim::servo;
    std::mt19937_64 random(2026);
    Column inertia{"inertia J'", {}, 20.0}, viscous{"viscous b'", {}, 20.0};
    Column coulomb{"Coulomb (A, absolute x100)", {}, -1.0};
    Column scaleP{"P scaling", {}, 20.0}, scaleI{"I scaling", {}, 20.0},
        scaleD{"D scaling", {}, 20.0};
    Column predicted{"predicted vs measured peak error", {}, 15.0};
    Column againstFactory{"measured peak error vs factory gains'", {}, -1.0};
    Column fit{"fit figure of the capture (%)", {}, -1.0};
    Column highestHz{"highest offered bandwidth (Hz)", {}, -1.0};
    Column predictionMs{"time of one prediction (ms)", {}, -1.0};
    Column chosenHz{"automatic bandwidth (Hz)", {}, -1.0};
    Column chosenMargin{"automatic: phase margin (deg)", {}, -1.0};
    Column chooseMs{"time of the automatic choice (ms)", {}, -1.0};
    int presentBetter = 0;
    int proposals = 0, refusedPlants = 0, trips = 0, unusable = 0;
    for (int n = 0; n < kPlants; ++n) {
        drive_sim::AxisMechanics m;
        m.inertia *= logUniform(random, 0.3, 3.0);
        m.coulombFriction = std::uniform_real_distribution<double>(0.0, 0.02)(random);
        m.torqueConstant *= logUniform(random, 0.5, 2.0);
        m.gainScale = logUniform(random, 0.5, 2.0);
        drive_sim::ServoTuning axis = simulated_step::factoryAxis();
        axis.inductance = uint16_t(std::lround(logUniform(random, 0.5, 10.0) * 150.0));
        const auto capture = simulated_step::runStepTest(axis, m, uint64_t(n) * 10 + 1);
        const tuning::Identification id = tuning::identifyAxis(capture.record);
        if (!id.usable) {
            ++unusable;
            continue;
        }
        const tuning::AxisModel& model = id.model;
        const double perRadian = m.torqueConstant * kCountsPerRadian;
        inertia.values.push_back(errorPercent(model.mechanics.inertia, m.inertia / perRadian));
        viscous.values.push_back(
            errorPercent(model.mechanics.viscous, m.viscousFriction / perRadian));
        coulomb.values.push_back(100.0 *
                                 (model.mechanics.coulomb - m.coulombFriction / m.torqueConstant));
        scaleP.values.push_back(
            errorPercent(model.controller.ampsPerCountP, kAmpsPerCountP * m.gainScale));
        scaleI.values.push_back(
            errorPercent(model.controller.ampsPerCountSecondI, kAmpsPerCountSecondI * m.gainScale));
        scaleD.values.push_back(
            errorPercent(model.controller.ampSecondsPerCountD, kAmpSecondsPerCountD * m.gainScale));
        fit.values.push_back(id.fitPercent);

        const tuning::StepRecord& r = capture.record;
        // The highest bandwidth offered: what a refusal at an unreachable bandwidth names.
        const double highest =
            tuning::proposeGains(model, r.limits, r.injectedCurrent, 1e4).passingBandwidthHz;
        if (highest <= 0.0) {
            ++refusedPlants;
            continue;
        }
        highestHz.values.push_back(highest);
        const auto choosing = std::chrono::steady_clock::now();
        const tuning::Proposal chosen = tuning::chooseGains(model, r.limits, r.injectedCurrent);
        chooseMs.values.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - choosing)
                .count());
        if (chosen.offered()) {
            chosenHz.values.push_back(chosen.bandwidthHz);
            chosenMargin.values.push_back(
                tuning::stabilityMargins(model, chosen.gains).phaseMarginDeg);
            const auto present = tuning::predictStep(model, r.gains, r.injectedCurrent, r.limits);
            presentBetter += tuning::worseFigure(chosen.prediction.figures, present.figures) !=
                                     tuning::Figure::None
                                 ? 1
                                 : 0;
        }
        for (double share : kBandwidthShares) {
            const tuning::Proposal p =
                tuning::proposeGains(model, r.limits, r.injectedCurrent, share * highest);
            if (!p.offered()) {
                continue;
            }
            ++proposals;
            const auto start = std::chrono::steady_clock::now();
            tuning::predictStep(model, p.gains, r.injectedCurrent, r.limits);
            predictionMs.values.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                    .count());
            const auto applied = simulated_step::runStepTest(
                simulated_step::withGains(axis, p.gains), m, uint64_t(n) * 10 + 2);
            trips += applied.run.tripped ? 1 : 0;
            const double measured = std::max<double>(1, applied.run.metrics.peakError);
            predicted.values.push_back(
                errorPercent(std::max(1, p.prediction.figures.peakError), measured));
            againstFactory.values.push_back(
                errorPercent(measured, std::max<double>(1, capture.run.metrics.peakError)));
        }
    }
    std::printf(
        "Tuning assistant over %d seeded random simulated axes: inertia x0.3-x3, Coulomb 0-0.02 "
        "Nm,\nkt x0.5-x2, firmware gain scale x0.5-x2, inductance 0.5-10 mH; factory gains for "
        "the capture.\nErrors are signed, in %% of the truth (Coulomb: found minus true, in "
        "hundredths of an ampere).\nProposals at 0.5, 0.75 and 1.0 x the highest offered "
        "bandwidth, applied on the simulated drive.\nThe true viscous friction moves about a "
        "milliampere at the speeds of the test, below the\ncurrent sense's noise: its share is "
        "reported, not expected.\n\n",
        kPlants);
    std::printf("| %-38s | %5s | %9s | %9s | %9s | %9s |\n", "quantity", "n", "median", "|err| p95",
                "p95", "within");
    std::printf("|%s|%s|%s|%s|%s|%s|\n", "----------------------------------------", "-------",
                "-----------", "-----------", "-----------", "-----------");
    for (const Column* c :
         {&inertia, &viscous, &coulomb, &scaleP, &scaleI, &scaleD, &fit, &predicted,
          &againstFactory, &highestHz, &predictionMs, &chosenHz, &chosenMargin, &chooseMs}) {
        std::vector<double> magnitudes;
        for (double v : c->values) {
            magnitudes.push_back(std::fabs(v));
        }
        char within[32] = "";
        if (c->within > 0.0) {
            std::snprintf(within, sizeof within, "%.0f%% in %.0f%%",
                          shareWithin(c->values, c->within), c->within);
        }
        std::printf("| %-38s | %5zu | %9.1f | %9.1f | %9.1f | %9s |\n", c->name, c->values.size(),
                    quantile(c->values, 0.5), quantile(magnitudes, 0.95), quantile(c->values, 0.95),
                    within);
    }
    std::printf(
        "\n%d captures refused, %d axes with no offered bandwidth, %d proposals applied, %d "
        "trips.\nThe automatic choice predicted worse than the factory gains on %d of %zu axes.\n",
        unusable, refusedPlants, proposals, trips, presentBetter, chosenHz.values.size());
    return 0;
}
