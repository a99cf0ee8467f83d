#include "proposal.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <locale>
#include <sstream>
#include <vector>

#include "margins.h"

namespace tuning {

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr double kFigureSeconds = 0.5;  // the drive's figures look at 500 ms after the step
constexpr int kLargestGain = 32767;
constexpr double kCurrentLoopMargin = 3.0;  // bandwidth at most a third of the current loop's
constexpr double kPointsPerPeriod = 20.0;   // the capture shows a period in 20 points at least
constexpr double kDerivativeShare = 0.1;    // of the continuous current, for one count
constexpr double kErrorShare = 0.5;         // of the following-error limit
constexpr double kLowestBandwidthHz = 1.0;  // searched for a passing bandwidth
constexpr int kSearchSteps = 24;
constexpr int kFineSearchSteps = 4 * kSearchSteps;
constexpr int kEdgeHalvings = 8;
constexpr double kWorseSlack = 0.05;  // of the earlier figure
constexpr int kWorseSlackUnits = 1;   // count or ms
// Where the choice may put the integral's pole, as a share of the bandwidth.
constexpr double kIntegralPoleShares[] = {1.0, 0.5, 0.25};

struct PlacedGains {
    DriveGains gains;
    bool fits = true;
};

int driveGain(double amps, double perUnit, bool& fits) {
    if (perUnit <= 0.0) {
        return 0;
    }
    const double units = std::max(0.0, std::round(amps / perUnit));
    if (units > kLargestGain) {
        fits = false;
        return kLargestGain;
    }
    return int(units);
}

PlacedGains placePoles(const AxisModel& model, double bandwidthHz, double damping,
                       double integralShare) {
    const double w = 2.0 * kPi * bandwidthHz;
    const double a = integralShare;
    const Mechanics& m = model.mechanics;
    const double g = model.currentLoop.gain > 0.0 ? model.currentLoop.gain : 1.0;
    // J' s^3 + (b' + Kd) s^2 + Kp s + Ki against J' (s^2 + 2 zeta w s + w^2)(s + a w).
    const double kd = (m.inertia * (2.0 * damping + a) * w - m.viscous) / g;
    const double kp = m.inertia * (1.0 + 2.0 * damping * a) * w * w / g;
    const double ki = m.inertia * a * w * w * w / g;
    const ControllerScaling& c = model.controller;
    PlacedGains placed;
    placed.gains.p = driveGain(kp, c.ampsPerCountP, placed.fits);
    placed.gains.i = driveGain(ki, c.ampsPerCountSecondI, placed.fits);
    placed.gains.d = driveGain(kd, c.ampSecondsPerCountD, placed.fits);
    return placed;
}

double fastestBandwidthHz(const AxisModel& model, double samplePeriod, ProposalLimit& limit) {
    const double byCurrentLoop =
        model.currentLoop.timeConstant > 0.0
            ? 1.0 / (2.0 * kPi * model.currentLoop.timeConstant) / kCurrentLoopMargin
            : INFINITY;
    const double bySampleRate = 1.0 / (samplePeriod * kPointsPerPeriod);
    limit = byCurrentLoop < bySampleRate ? ProposalLimit::CurrentLoop : ProposalLimit::SampleRate;
    return std::min(byCurrentLoop, bySampleRate);
}

// The motor current one count of encoder change makes through the D term: the filtered rate
// jumps by one count over (filter + servo cycle) and decays with that time constant, and the
// current loop smooths the pulse before it reaches the winding. The peak of the two lags in a
// row is the jump times (lag / filter)^(lag / (filter - lag)). It is the winding's current, not
// the command's, that makes the motor hum on an encoder flicker.
double oneCountMotorCurrent(const AxisModel& model, int gainD) {
    const double jump = gainD * model.controller.ampSecondsPerCountD /
                        (model.controller.derivativeFilter + model.servoCycle);
    const double filter = model.controller.derivativeFilter + model.servoCycle;
    const double lag = model.currentLoop.timeConstant;
    const double g = model.currentLoop.gain > 0.0 ? model.currentLoop.gain : 1.0;
    if (lag <= 0.0) {
        return g * jump;
    }
    if (std::fabs(filter - lag) < 1e-3 * filter) {
        return g * jump * std::exp(-1.0);
    }
    return g * jump * std::pow(lag / filter, lag / (filter - lag));
}

Proposal evaluate(const AxisModel& model, const DriveLimits& limits, double injectedCurrent,
                  double bandwidthHz, double damping, double integralShare) {
    Proposal p;
    p.bandwidthHz = bandwidthHz;
    p.damping = damping;
    p.integralPoleShare = integralShare;
    const PlacedGains placed = placePoles(model, bandwidthHz, damping, integralShare);
    p.gains = placed.gains;
    p.prediction = predictStep(model, p.gains, injectedCurrent, limits);
    ProposalLimit fastestLimit = ProposalLimit::None;
    const double fastest = fastestBandwidthHz(model, model.samplePeriod, fastestLimit);
    const double oneCountCurrent = oneCountMotorCurrent(model, p.gains.d);
    if (bandwidthHz > fastest) {
        p.limit = fastestLimit;
    } else if (!placed.fits) {
        p.limit = ProposalLimit::GainRange;
    } else if (p.prediction.peakTargetCurrent >= limits.peakCurrent) {
        p.limit = ProposalLimit::PeakCurrent;
    } else if (oneCountCurrent > kDerivativeShare * limits.continuousCurrent) {
        p.limit = ProposalLimit::DerivativeNoise;
    } else if (p.prediction.run.tripped ||
               p.prediction.figures.peakError > kErrorShare * limits.followErrorLimit) {
        p.limit = ProposalLimit::PeakError;
    } else if (p.gains.p == 0 || p.gains.i == 0 || p.gains.d == 0) {
        // After the figures: a gain that rounds to 0 comes with a bandwidth that fails them first.
        p.limit = ProposalLimit::ZeroGain;
    } else if (p.prediction.figures.settlingTimeMs > kLongestSettlingMs) {
        // Last: a missing integral is the reason a load is never held.
        p.limit = ProposalLimit::Settling;
    }
    return p;
}

}  // namespace

namespace {
const struct {
    ProposalLimit limit;
    const char* name;
    const char* text;
} kLimits[] = {
    {ProposalLimit::None, "none", ""},
    {ProposalLimit::PeakCurrent, "peak_current", "the target current would reach the peak current"},
    {ProposalLimit::PeakError, "peak_error",
     "the peak error would pass half the following-error limit"},
    {ProposalLimit::DerivativeNoise, "derivative_noise",
     "the D gain would move the motor current by more than a tenth of the continuous current for "
     "one count"},
    {ProposalLimit::CurrentLoop, "current_loop",
     "the bandwidth is more than a third of the current loop's"},
    {ProposalLimit::SampleRate, "sample_rate",
     "the bandwidth is too high for the capture's sample rate"},
    {ProposalLimit::GainRange, "gain_range", "a gain would pass the drive's largest value"},
    {ProposalLimit::ZeroGain, "zero_gain", "a gain would round to 0"},
    {ProposalLimit::Settling, "settling", "the error would not settle within 500 ms"},
    {ProposalLimit::PhaseMargin, "phase_margin", "the phase margin would fall below 45 deg"},
    {ProposalLimit::Capture, "capture", "the capture cannot carry a proposal"},
};

const auto& limitEntry(ProposalLimit limit) {
    for (const auto& entry : kLimits) {
        if (entry.limit == limit) {
            return entry;
        }
    }
    return kLimits[0];
}
}  // namespace

const char* limitText(ProposalLimit limit) {
    return limitEntry(limit).text;
}

const char* limitName(ProposalLimit limit) {
    return limitEntry(limit).name;
}

int figureValue(const StepFigures& figures, Figure figure) {
    switch (figure) {
        case Figure::PeakError:
            return figures.peakError;
        case Figure::Undershoot:
            return figures.undershoot;
        case Figure::SettlingTime:
            return figures.settlingTimeMs;
        case Figure::None:
            break;
    }
    return 0;
}

Figure worseFigure(const StepFigures& now, const StepFigures& before) {
    for (Figure figure : {Figure::PeakError, Figure::Undershoot, Figure::SettlingTime}) {
        const int later = figureValue(now, figure);
        const int earlier = figureValue(before, figure);
        if (later > earlier + std::max(kWorseSlack * earlier, double(kWorseSlackUnits))) {
            return figure;
        }
    }
    return Figure::None;
}

Prediction predictStep(const AxisModel& model, const DriveGains& gains, double injectedCurrent,
                       const DriveLimits& limits) {
    Prediction prediction;
    const int cycles = int(std::lround(kFigureSeconds / model.servoCycle));
    prediction.run = runClosedLoop(model, gains, injectedCurrent, limits, cycles);
    prediction.figures = driveFigures(prediction.run.error, model.servoCycle);
    for (double current : prediction.run.targetCurrent) {
        prediction.peakTargetCurrent = std::max(prediction.peakTargetCurrent, std::fabs(current));
    }
    return prediction;
}

namespace {
// The bandwidths searched: a logarithmic ladder from the lowest to the fastest the capture and
// the current loop allow.
struct Ladder {
    double rung = 1.0;
    int steps = kSearchSteps;
    double at(int step) const { return kLowestBandwidthHz * std::pow(rung, step); }
};

Ladder ladderFor(const AxisModel& model, int steps = kSearchSteps) {
    ProposalLimit unused = ProposalLimit::None;
    const double fastest = fastestBandwidthHz(model, model.samplePeriod, unused);
    return {std::pow(fastest / kLowestBandwidthHz, 1.0 / steps), steps};
}

// The limits a bandwidth fails for being too low: the disturbance pushes the error too far, a
// gain rounds away, or the integral is too slow to take the load in time.
bool tooSlow(ProposalLimit limit) {
    return limit == ProposalLimit::PeakError || limit == ProposalLimit::ZeroGain ||
           limit == ProposalLimit::Settling;
}

// Closes in on the edge between a bandwidth that passes and one that does not by halving their
// ratio; returns the passing side and leaves `failing` at the other.
template <typename Passes>
double closeIn(double passing, double& failing, const Passes& passes) {
    for (int halving = 0; halving < kEdgeHalvings; ++halving) {
        const double middle = std::sqrt(passing * failing);
        (passes(middle) ? passing : failing) = middle;
    }
    return passing;
}

std::string refusalText(double bandwidthHz, ProposalLimit limit, double nearest) {
    std::ostringstream text;
    text.imbue(std::locale::classic());
    text.precision(3);
    text << "Not offered at " << bandwidthHz << " Hz: " << limitText(limit) << ". ";
    if (nearest == 0.0) {
        text << "No bandwidth passes every check.";
    } else {
        text << "The " << (nearest < bandwidthHz ? "highest" : "lowest")
             << " bandwidth that passes is " << nearest << " Hz.";
    }
    return text.str();
}

// The first check a bandwidth fails as the assistant's own choice: a proposal's checks, then
// the phase margin.
ProposalLimit choiceFailure(const AxisModel& model, const DriveLimits& limits,
                            double injectedCurrent, double bandwidthHz, double damping,
                            double integralShare) {
    const Proposal p =
        evaluate(model, limits, injectedCurrent, bandwidthHz, damping, integralShare);
    if (!p.offered()) {
        return p.limit;
    }
    const StabilityMargins margins = stabilityMargins(model, p.gains);
    return margins.crosses && margins.phaseMarginDeg >= kLeastPhaseMarginDeg
               ? ProposalLimit::None
               : ProposalLimit::PhaseMargin;
}

struct Edge {
    double passingHz = 0.0;  // 0: none passes
    ProposalLimit above = ProposalLimit::None;
    // When none passes: the highest bandwidth that failed for being too low (or the lowest of
    // the ladder), and what it failed.
    double refusedHz = kLowestBandwidthHz;
    ProposalLimit refused = ProposalLimit::None;
};

// The highest bandwidth of the ladder that passes as a choice, closed in on towards the rung
// above it, and what fails there.
Edge highestOnLadder(const Ladder& ladder, const std::function<ProposalLimit(double)>& failure) {
    Edge edge;
    for (int step = ladder.steps; step >= 0; --step) {
        const ProposalLimit failed = failure(ladder.at(step));
        if (failed != ProposalLimit::None) {
            if (!tooSlow(edge.refused)) {
                edge.refused = failed;
                edge.refusedHz = ladder.at(step);
            }
            continue;
        }
        if (step == ladder.steps) {
            edge.passingHz = ladder.at(step);
            return edge;
        }
        double failing = ladder.at(step + 1);
        edge.passingHz = closeIn(ladder.at(step), failing,
                                 [&](double hz) { return failure(hz) == ProposalLimit::None; });
        edge.above = failure(failing);
        return edge;
    }
    return edge;
}

// Where the axis allows only a narrow band (a gain that rounds away below it, the D term's
// noise above it), the band can fall between two rungs: a ladder four times as fine is tried
// before the choice gives up.
Edge highestChoice(const AxisModel& model, const DriveLimits& limits, double injectedCurrent,
                   double damping, double integralShare) {
    const auto failure = [&](double hz) {
        return choiceFailure(model, limits, injectedCurrent, hz, damping, integralShare);
    };
    Edge edge;
    for (int steps : {kSearchSteps, kFineSearchSteps}) {
        const Ladder ladder = ladderFor(model, steps);
        edge = highestOnLadder(ladder, failure);
        if (edge.passingHz > 0.0) {
            if (edge.passingHz == ladder.at(ladder.steps)) {
                fastestBandwidthHz(model, model.samplePeriod, edge.above);
            }
            return edge;
        }
    }
    return edge;
}
}  // namespace

Proposal proposeGains(const AxisModel& model, const DriveLimits& limits, double injectedCurrent,
                      double bandwidthHz, double damping, double integralShare) {
    Proposal asked = evaluate(model, limits, injectedCurrent, bandwidthHz, damping, integralShare);
    if (asked.offered()) {
        return asked;
    }
    // The passing rung nearest to the asked bandwidth, then the edge between it and the asked one.
    const Ladder ladder = ladderFor(model);
    const auto passes = [&](double hz) {
        return evaluate(model, limits, injectedCurrent, hz, damping, integralShare).offered();
    };
    double nearest = 0.0;
    for (int step = 0; step <= kSearchSteps; ++step) {
        const double hz = ladder.at(step);
        if (passes(hz) && (nearest == 0.0 || std::fabs(std::log(hz / bandwidthHz)) <
                                                 std::fabs(std::log(nearest / bandwidthHz)))) {
            nearest = hz;
        }
    }
    if (nearest > 0.0) {
        const double towards = bandwidthHz > nearest ? ladder.rung : 1.0 / ladder.rung;
        double failing = std::fabs(std::log(bandwidthHz / nearest)) < std::log(ladder.rung)
                             ? bandwidthHz
                             : nearest * towards;
        nearest = closeIn(nearest, failing, passes);
    }
    asked.passingBandwidthHz = nearest;
    asked.refusal = refusalText(bandwidthHz, asked.limit, nearest);
    return asked;
}

Proposal chooseGains(const AxisModel& model, const DriveLimits& limits, double injectedCurrent,
                     double damping) {
    Edge best;
    Edge atFirstShare;
    double bestShare = kIntegralPoleShares[0];
    for (double share : kIntegralPoleShares) {
        const Edge edge = highestChoice(model, limits, injectedCurrent, damping, share);
        if (share == kIntegralPoleShares[0]) {
            atFirstShare = edge;
        }
        // A slower integral only where it buys bandwidth: it recovers the load more slowly.
        if (edge.passingHz > best.passingHz * 1.01) {
            best = edge;
            bestShare = share;
        }
    }
    if (best.passingHz == 0.0) {
        // The highest bandwidth that failed for being too low says more than the lowest does.
        Proposal refused = evaluate(model, limits, injectedCurrent, atFirstShare.refusedHz, damping,
                                    kIntegralPoleShares[0]);
        if (refused.offered()) {
            refused.limit = ProposalLimit::PhaseMargin;
        }
        refused.limitedBy = refused.limit;
        refused.refusal = "No bandwidth passes every check with a phase margin of 45 deg.";
        return refused;
    }
    Proposal chosen = evaluate(model, limits, injectedCurrent,
                               kChosenBandwidthShare * best.passingHz, damping, bestShare);
    if (!chosen.offered()) {
        // Rare: a check that fails below the edge too (a peak error at a low bandwidth).
        chosen = evaluate(model, limits, injectedCurrent, best.passingHz, damping, bestShare);
    }
    chosen.allowedBandwidthHz = best.passingHz;
    chosen.limitedBy = best.above;
    return chosen;
}

Proposal gainsForPhaseMargin(const AxisModel& model, const DriveLimits& limits,
                             double injectedCurrent, double phaseMarginDeg, double damping) {
    const Ladder ladder = ladderFor(model);
    // The margin shrinks as the bandwidth grows and the loop's lags take more of the crossover's
    // phase; the rung where it first falls below the asked one brackets the bandwidth.
    const auto enough = [&](double hz) {
        const Proposal p = evaluate(model, limits, injectedCurrent, hz, damping, 1.0);
        const StabilityMargins margins = stabilityMargins(model, p.gains);
        return margins.crosses && margins.phaseMarginDeg >= phaseMarginDeg;
    };
    for (int step = 1; step <= kSearchSteps; ++step) {
        double failing = ladder.at(step);
        if (enough(failing)) {
            continue;
        }
        if (!enough(ladder.at(step - 1))) {
            break;
        }
        return proposeGains(model, limits, injectedCurrent,
                            closeIn(ladder.at(step - 1), failing, enough), damping);
    }
    Proposal refused = evaluate(model, limits, injectedCurrent, kLowestBandwidthHz, damping, 1.0);
    refused.limit = ProposalLimit::PhaseMargin;
    std::ostringstream text;
    text.imbue(std::locale::classic());
    text << "Not offered: no bandwidth the axis allows gives a phase margin of " << phaseMarginDeg
         << " deg.";
    refused.refusal = text.str();
    return refused;
}

}  // namespace tuning
