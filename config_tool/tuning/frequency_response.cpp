#include "frequency_response.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numeric>

#include "least_squares.h"
#include "open_loop.h"

namespace tuning {

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr double kLowestHz = 1.0;
// Magnitudes within this many times the noise's own are the noise's.
constexpr double kTrustedAboveNoise = 5.0;
// What the encoder's rounding alone leaves of an error that moves: a uniform count.
constexpr double kRoundingVariance = 1.0 / 12.0;
// The last quarter of the capture after the step, where the answer has died away on an axis that
// settles: what still moves there is the loop's own unrest (a count of dither, a limit cycle).
constexpr size_t kTailShare = 4;

// The mean square of `count` points from `first` about the straight line through them: what is
// left of the error once a slow drift is taken out.
double scatterAboutLine(const std::vector<double>& points, size_t first, size_t count) {
    std::vector<std::vector<double>> rows;
    for (size_t k = 0; k < count; ++k) {
        rows.push_back({1.0, double(k)});
    }
    const auto line = leastSquares(rows, std::vector<double>(points.begin() + long(first),
                                                             points.begin() + long(first + count)));
    return line && count > 2 ? line->residualNorm * line->residualNorm / double(count) : 0.0;
}

double decibels(double magnitude) {
    return 20.0 * std::log10(magnitude);
}
}  // namespace

std::vector<double> frequencyGrid(double samplePeriod, int points) {
    std::vector<double> hz;
    if (!(samplePeriod > 0.0) || points < 2) {
        return hz;
    }
    const double highest = 0.5 / samplePeriod;
    const double ratio = std::pow(highest / kLowestHz, 1.0 / (points - 1));
    for (int k = 0; k < points; ++k) {
        hz.push_back(kLowestHz * std::pow(ratio, k));
    }
    return hz;
}

LoopResponse loopResponse(const AxisModel& model, const DriveGains& gains,
                          const std::vector<double>& hz, const StabilityMargins& margins) {
    LoopResponse response;
    if (!(model.mechanics.inertia > 0.0)) {
        return response;
    }
    response.hz = hz;
    for (double f : hz) {
        const LoopAt at = loopAt(model, gains, 2.0 * kPi * f);
        const std::complex<double> sensitivity = 1.0 / (1.0 + at.openLoop);
        response.openLoopDb.push_back(decibels(std::abs(at.openLoop)));
        response.openLoopPhaseDeg.push_back(at.phase * 180.0 / kPi);
        response.sensitivityDb.push_back(decibels(std::abs(sensitivity)));
        response.disturbanceCountsPerAmp.push_back(std::abs(at.plant * sensitivity));
    }
    response.margins = margins;
    return response;
}

MeasuredDisturbance measuredDisturbance(const StepRecord& record, const std::vector<double>& hz) {
    MeasuredDisturbance measured;
    const std::vector<double>& error = record.positionError;
    const size_t step = size_t(std::max(0, record.stepIndex));
    if (record.injectedCurrent == 0.0 || step == 0 || step >= error.size() ||
        !(record.samplePeriod > 0.0)) {
        return measured;
    }
    const double rest = std::accumulate(error.begin(), error.begin() + long(step), 0.0) / step;
    const size_t after = error.size() - step;
    const size_t tail = after / kTailShare;
    measured.noiseCounts = std::sqrt(
        std::max({scatterAboutLine(error, 0, step),
                  scatterAboutLine(error, error.size() - tail, tail), kRoundingVariance}));
    const double T = record.samplePeriod;
    measured.lowestTrustedHz = 1.0 / (double(after) * T);
    const double amps = std::fabs(record.injectedCurrent);
    measured.hz = hz;
    for (double f : hz) {
        const double w = 2.0 * kPi * f;
        // The step response's differences are the impulse response; its sum at e^(-jwkT) is the
        // discrete transfer function from the injection to the error.
        const std::complex<double> turn = std::polar(1.0, -w * T);
        std::complex<double> phasor = 1.0;
        std::complex<double> sum = 0.0;
        double previous = 0.0;  // the error at rest, about its mean
        for (size_t k = step; k < error.size(); ++k) {
            const double answer = error[k] - rest;
            sum += (answer - previous) * phasor;
            previous = answer;
            phasor *= turn;
        }
        // White noise of variance s^2 on every point gives the sum the variance
        // s^2 (1 + (N - 1) |1 - e^(-jwT)|^2): differencing lifts it towards high frequencies.
        const double differencing = 2.0 * std::sin(w * T / 2.0);
        const double noise =
            measured.noiseCounts * std::sqrt(1.0 + double(after - 1) * differencing * differencing);
        measured.countsPerAmp.push_back(std::abs(sum) / amps);
        measured.noiseCountsPerAmp.push_back(noise / amps);
        measured.trusted.push_back(f >= measured.lowestTrustedHz &&
                                   std::abs(sum) > kTrustedAboveNoise * noise);
    }
    return measured;
}

}  // namespace tuning
