#include "proposal.h"

#include <algorithm>
#include <cmath>
#include <locale>
#include <sstream>
#include <vector>

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
constexpr int kEdgeHalvings = 8;

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

PlacedGains placePoles(const AxisModel& model, double bandwidthHz, double damping) {
    const double w = 2.0 * kPi * bandwidthHz;
    const Mechanics& m = model.mechanics;
    const double g = model.currentLoop.gain > 0.0 ? model.currentLoop.gain : 1.0;
    // J' s^3 + (b' + Kd) s^2 + Kp s + Ki against J' (s^2 + 2 zeta w s + w^2)(s + w).
    const double kd = (m.inertia * (2.0 * damping + 1.0) * w - m.viscous) / g;
    const double kp = m.inertia * (1.0 + 2.0 * damping) * w * w / g;
    const double ki = m.inertia * w * w * w / g;
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
                  double bandwidthHz, double damping) {
    Proposal p;
    p.bandwidthHz = bandwidthHz;
    p.damping = damping;
    const PlacedGains placed = placePoles(model, bandwidthHz, damping);
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
        // Named last: a gain that rounds to 0 comes with a bandwidth that fails the others first.
        p.limit = ProposalLimit::ZeroGain;
    }
    return p;
}

const char* limitText(ProposalLimit limit) {
    switch (limit) {
        case ProposalLimit::PeakCurrent:
            return "the target current would reach the peak current";
        case ProposalLimit::PeakError:
            return "the peak error would pass half the following-error limit";
        case ProposalLimit::DerivativeNoise:
            return "the D gain would move the motor current by more than a tenth of the "
                   "continuous current for one count";
        case ProposalLimit::CurrentLoop:
            return "the bandwidth is more than a third of the current loop's";
        case ProposalLimit::SampleRate:
            return "the bandwidth is too high for the capture's sample rate";
        case ProposalLimit::GainRange:
            return "a gain would pass the drive's largest value";
        case ProposalLimit::ZeroGain:
            return "a gain would round to 0";
        case ProposalLimit::Capture:
            return "the capture cannot carry a proposal";
        case ProposalLimit::None:
            break;
    }
    return "";
}
}  // namespace

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

Proposal proposeGains(const AxisModel& model, const DriveLimits& limits, double injectedCurrent,
                      double bandwidthHz, double damping) {
    Proposal asked = evaluate(model, limits, injectedCurrent, bandwidthHz, damping);
    if (asked.offered()) {
        return asked;
    }
    // Search a logarithmic ladder of bandwidths for the passing one nearest to the asked one,
    // then close in on the edge between it and the asked one by halving.
    ProposalLimit unused = ProposalLimit::None;
    const double fastest = fastestBandwidthHz(model, model.samplePeriod, unused);
    const double rung = std::pow(fastest / kLowestBandwidthHz, 1.0 / kSearchSteps);
    const auto passes = [&](double hz) {
        return evaluate(model, limits, injectedCurrent, hz, damping).offered();
    };
    double nearest = 0.0;
    for (int step = 0; step <= kSearchSteps; ++step) {
        const double hz = kLowestBandwidthHz * std::pow(rung, step);
        if (passes(hz) && (nearest == 0.0 || std::fabs(std::log(hz / bandwidthHz)) <
                                                 std::fabs(std::log(nearest / bandwidthHz)))) {
            nearest = hz;
        }
    }
    if (nearest > 0.0) {
        const double towards = bandwidthHz > nearest ? rung : 1.0 / rung;
        double failing = std::fabs(std::log(bandwidthHz / nearest)) < std::log(rung)
                             ? bandwidthHz
                             : nearest * towards;
        for (int halving = 0; halving < kEdgeHalvings; ++halving) {
            const double middle = std::sqrt(nearest * failing);
            (passes(middle) ? nearest : failing) = middle;
        }
    }
    asked.passingBandwidthHz = nearest;
    std::ostringstream text;
    text.imbue(std::locale::classic());
    text.precision(3);
    text << "Not offered at " << bandwidthHz << " Hz: " << limitText(asked.limit) << ". ";
    if (nearest == 0.0) {
        text << "No bandwidth passes every check.";
    } else {
        text << "The " << (nearest < bandwidthHz ? "highest" : "lowest")
             << " bandwidth that passes is " << nearest << " Hz.";
    }
    asked.refusal = text.str();
    return asked;
}

}  // namespace tuning
