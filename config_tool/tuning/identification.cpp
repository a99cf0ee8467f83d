#include "identification.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>
#include <optional>

#include "friction.h"
#include "least_squares.h"
#include "motion_fit.h"

namespace tuning {

namespace {
constexpr double kPoorFitPercent = 80.0;
constexpr double kUnusableFitPercent = 50.0;  // below it no gains are taken from the model
constexpr double kSaturationShare = 0.98;     // of the peak current: the target sits at the clamp
constexpr double kFlatShare = 0.05;           // of the injection: no current moved at all
// Candidate time constants of the derivative filter; the one that explains the target current
// best is taken.
constexpr double kFilterCandidates[] = {0.0,    0.1e-3, 0.2e-3, 0.3e-3, 0.4e-3, 0.5e-3,
                                        0.7e-3, 1.0e-3, 1.5e-3, 2.0e-3, 3.0e-3};
constexpr size_t kDirectionSpan = 3;  // points
// The I scalings whose integral clamps are tried: four octaves either side of the first fit's.
constexpr int kClampStepsPerOctave = 8;
constexpr int kClampSteps = 4 * kClampStepsPerOctave;
constexpr double kClampNearShare = 0.8;  // of the peak current

double meanBefore(const std::vector<double>& values, int end) {
    if (end <= 0) {
        return 0.0;
    }
    return std::accumulate(values.begin(), values.begin() + end, 0.0) / end;
}

CurrentLoop identifyCurrentLoop(const StepRecord& r) {
    std::vector<std::vector<double>> rows;
    std::vector<double> y;
    for (size_t k = 1; k < r.achievedCurrent.size(); ++k) {
        rows.push_back({r.achievedCurrent[k - 1], r.targetCurrent[k], r.targetCurrent[k - 1]});
        y.push_back(r.achievedCurrent[k]);
    }
    CurrentLoop loop;
    const auto fit = leastSquares(rows, y);
    if (!fit) {
        return loop;
    }
    const double pole = std::max(1e-6, std::min(0.9999, fit->coefficients[0]));
    loop.timeConstant = -r.samplePeriod / std::log(pole);
    loop.gain = (fit->coefficients[1] + fit->coefficients[2]) / (1.0 - pole);
    return loop;
}

// The controller's integral and filtered rate as the firmware forms them every servo cycle,
// rebuilt from the capture's coarser points with the error taken as changing evenly in between.
// The firmware's integral starts where it held the load and stops at its clamp (the integral
// alone asks at most the peak current); the integral is given from its start.
struct ControllerSignals {
    std::vector<double> integral;  // count s
    std::vector<double> rate;      // counts/s, filtered
};

struct IntegralClamp {
    double start = 0.0;       // count s
    double limit = INFINITY;  // count s
};

ControllerSignals controllerSignals(const StepRecord& r, double filter,
                                    const IntegralClamp& clamp) {
    const int cyclesPerPoint = std::max(1, int(std::lround(r.samplePeriod / r.servoCycle)));
    const double filterStep = r.servoCycle / (filter + r.servoCycle);
    ControllerSignals s;
    double integral = clamp.start;
    double rate = 0.0;
    double previous = r.positionError.empty() ? 0.0 : r.positionError.front();
    for (double error : r.positionError) {
        const double change = error - previous;
        for (int c = cyclesPerPoint - 1; c >= 0; --c) {
            integral += (error - change * c / cyclesPerPoint) * r.servoCycle;
            integral = std::max(-clamp.limit, std::min(clamp.limit, integral));
            rate += (change / cyclesPerPoint / r.servoCycle - rate) * filterStep;
        }
        previous = error;
        s.integral.push_back(integral - clamp.start);
        s.rate.push_back(rate);
    }
    return s;
}

// Target = P sP e + I sI (integral) + D sD (filtered rate) + injection + what held the load.
struct ControllerFit {
    ControllerScaling scaling;
    double residual = INFINITY;
};

ControllerFit identifyControllerWith(const StepRecord& r, const IntegralClamp& clamp) {
    const double held = meanBefore(r.targetCurrent, r.stepIndex);
    const bool used[] = {r.gains.p > 0, r.gains.i > 0, r.gains.d > 0};
    ControllerScaling best;
    double bestResidual = INFINITY;
    for (double filter : kFilterCandidates) {
        const ControllerSignals s = controllerSignals(r, filter, clamp);
        std::vector<std::vector<double>> rows;
        std::vector<double> y;
        for (size_t k = 0; k < r.targetCurrent.size(); ++k) {
            if (std::fabs(r.targetCurrent[k]) >= kSaturationShare * r.limits.peakCurrent) {
                continue;  // the clamp hides the controller's demand
            }
            const double terms[] = {r.gains.p * r.positionError[k], r.gains.i * s.integral[k],
                                    r.gains.d * s.rate[k]};
            std::vector<double> row;
            for (int t = 0; t < 3; ++t) {
                if (used[t]) {
                    row.push_back(terms[t]);
                }
            }
            rows.push_back(row);
            const double injected = int(k) >= r.stepIndex ? r.injectedCurrent : 0.0;
            y.push_back(r.targetCurrent[k] - injected - held);
        }
        const auto fit = leastSquares(rows, y);
        if (!fit || fit->residualNorm >= bestResidual) {
            continue;
        }
        bestResidual = fit->residualNorm;
        double scales[3] = {0.0, 0.0, 0.0};
        for (int t = 0, c = 0; t < 3; ++t) {
            if (used[t]) {
                scales[t] = fit->coefficients[size_t(c++)];
            }
        }
        best = {scales[0], scales[1], scales[2], filter};
    }
    return {best, bestResidual};
}

// Where the load and the injection together ask more than the peak current, the firmware's
// integral stops at its clamp and the P term carries the rest. Where the clamp lies depends on
// the I scaling the fit is after, so the clamps of scalings around the first fit's are tried
// and the one that explains the target current best is kept.
ControllerScaling identifyController(const StepRecord& r) {
    ControllerFit best = identifyControllerWith(r, {});
    const double first = r.gains.i * best.scaling.ampsPerCountSecondI;
    if (!(first > 0.0)) {
        return best.scaling;
    }
    const double held = meanBefore(r.targetCurrent, r.stepIndex);
    // Far from the clamp the first fit stands; the search is for captures that came near it.
    const ControllerSignals unclamped = controllerSignals(r, best.scaling.derivativeFilter, {});
    double nearest = 0.0;
    for (double integral : unclamped.integral) {
        nearest = std::max(nearest, std::fabs(held + first * integral));
    }
    if (nearest < kClampNearShare * r.limits.peakCurrent) {
        return best.scaling;
    }
    for (int step = -kClampSteps; step <= kClampSteps; ++step) {
        const double ki = first * std::pow(2.0, double(step) / kClampStepsPerOctave);
        const ControllerFit fit = identifyControllerWith(r, {held / ki, r.limits.peakCurrent / ki});
        if (fit.residual < best.residual) {
            best = fit;
        }
    }
    return best.scaling;
}

// Twice integrated from the last point at rest, the motion's equation reads
//   double integral of (current - load) = J' x + b' (integral of x) + C (double integral of
//   direction),
// with x the position moved: no differentiation of the counts. The error is measured at the
// start of a servo cycle and the current at its end, so the current's integral is taken one
// cycle earlier.
Mechanics identifyMechanics(const StepRecord& r) {
    Mechanics m;
    m.load = meanBefore(r.achievedCurrent, r.stepIndex);
    const size_t start = size_t(std::max(0, r.stepIndex - 1));
    const size_t n = r.positionError.size();
    if (n < start + 4) {
        return m;
    }
    const double rest = meanBefore(r.positionError, r.stepIndex);
    const double h = r.samplePeriod;
    std::vector<double> x(n), direction(n, 0.0);
    for (size_t k = 0; k < n; ++k) {
        x[k] = rest - r.positionError[k];
    }
    // The direction from the position a few points either side, so that a single count of
    // dither at standstill does not count as motion.
    for (size_t k = start + kDirectionSpan; k + kDirectionSpan < n; ++k) {
        const double speed =
            (x[k + kDirectionSpan] - x[k - kDirectionSpan]) / (2 * kDirectionSpan * h);
        direction[k] = std::tanh(speed / kFrictionSpeed);
    }
    double a1 = 0.0, a2 = 0.0, x1 = 0.0, d1 = 0.0, d2 = 0.0;
    // Columns: moved, its integral (viscous), the direction's double integral (Coulomb), then
    // what the capture cannot pin down: the speed and offset the integration starts from and
    // the load's error.
    std::vector<std::array<double, 6>> columns;
    std::vector<double> y;
    for (size_t k = start + 1; k < n; ++k) {
        const double a1Before = a1, d1Before = d1;
        a1 += h * ((r.achievedCurrent[k - 1] + r.achievedCurrent[k]) / 2 - m.load);
        a2 += h * (a1Before + a1) / 2;
        x1 += h * (x[k - 1] + x[k] - 2 * x[start]) / 2;
        d1 += h * (direction[k - 1] + direction[k]) / 2;
        d2 += h * (d1Before + d1) / 2;
        const double t = double(k - start) * h;
        columns.push_back({x[k] - x[start], x1, d2, t, 1.0, t * t / 2});
        y.push_back(a2 - r.servoCycle * a1);
    }
    // Friction cannot push: a negative share is noise, and the fit is taken again without it.
    bool withViscous = true, withCoulomb = true;
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::vector<std::vector<double>> rows;
        for (const auto& c : columns) {
            std::vector<double> row{c[0]};
            if (withViscous) {
                row.push_back(c[1]);
            }
            if (withCoulomb) {
                row.push_back(c[2]);
            }
            row.insert(row.end(), c.begin() + 3, c.end());
            rows.push_back(row);
        }
        const std::optional<LeastSquaresFit> fit = leastSquares(rows, y);
        if (!fit) {
            return m;
        }
        const double viscous = withViscous ? fit->coefficients[1] : 0.0;
        const double coulomb = withCoulomb ? fit->coefficients[withViscous ? 2 : 1] : 0.0;
        if (viscous < 0.0 || coulomb < 0.0) {
            withViscous = withViscous && viscous >= 0.0;
            withCoulomb = withCoulomb && coulomb >= 0.0;
            continue;
        }
        m.inertia = fit->coefficients[0];
        m.viscous = viscous;
        m.coulomb = coulomb;
        m.load += fit->coefficients.back();
        break;
    }
    return m;
}

}  // namespace

double modelFitPercent(const StepRecord& r, const AxisModel& model) {
    const int cyclesPerPoint = std::max(1, int(std::lround(r.samplePeriod / r.servoCycle)));
    const int points = int(r.positionError.size()) - r.stepIndex;
    if (points <= 1) {
        return 0.0;
    }
    DriveLimits limits = r.limits;
    limits.followErrorLimit = 0.0;  // compare the motion, not the trip
    const ClosedLoopRun run =
        runClosedLoop(model, r.gains, r.injectedCurrent, limits, points * cyclesPerPoint);
    const double mean =
        std::accumulate(r.positionError.begin() + r.stepIndex, r.positionError.end(), 0.0) / points;
    double miss = 0.0, spread = 0.0;
    for (int k = 0; k < points; ++k) {
        const double captured = r.positionError[size_t(r.stepIndex + k)];
        const double modelled = run.error[size_t(k * cyclesPerPoint)];
        miss += (captured - modelled) * (captured - modelled);
        spread += (captured - mean) * (captured - mean);
    }
    return spread > 0.0 ? 100.0 * (1.0 - std::sqrt(miss / spread)) : 0.0;
}

namespace {

double largestMagnitude(const std::vector<double>& values) {
    double largest = 0.0;
    for (double v : values) {
        largest = std::max(largest, std::fabs(v));
    }
    return largest;
}

std::string formatPercent(double percent) {
    return std::to_string(int(std::lround(percent)));
}

// The motion's fit can match the position driven by the captured current better with a model
// whose closed loop misses the captured error (a light axis, whose current changes faster than
// the capture samples it): of it and the equation's fit, the one whose closed loop comes closer
// is kept, with that closed-loop fit.
struct FittedMechanics {
    Mechanics mechanics;
    double fitPercent = 0.0;  // 0 without inertia: nothing to run the closed loop on
};

FittedMechanics closerInClosedLoop(const StepRecord& record, AxisModel model,
                                   const Mechanics& regressed) {
    const auto fitted = [&](const Mechanics& mechanics) {
        model.mechanics = mechanics;
        return FittedMechanics{mechanics,
                               mechanics.inertia > 0.0 ? modelFitPercent(record, model) : 0.0};
    };
    const FittedMechanics refined = fitted(fitMotion(record, regressed));
    if (!(regressed.inertia > 0.0)) {
        return refined;
    }
    const FittedMechanics kept = fitted(regressed);
    return refined.mechanics.inertia > 0.0 && refined.fitPercent > kept.fitPercent ? refined : kept;
}
}  // namespace

Identification identifyAxis(const StepRecord& record) {
    Identification result;
    result.model.servoCycle = record.servoCycle;
    result.model.samplePeriod = record.samplePeriod;
    const size_t n = record.positionError.size();
    if (n < 10 || record.targetCurrent.size() != n || record.achievedCurrent.size() != n ||
        record.stepIndex < 0 || size_t(record.stepIndex) + 10 > n) {
        result.warning = "The capture is too short to identify the axis.";
        return result;
    }
    const double flat = kFlatShare * std::fabs(record.injectedCurrent);
    if (largestMagnitude(record.targetCurrent) <= flat &&
        largestMagnitude(record.achievedCurrent) <= flat) {
        result.warning =
            "The currents stayed flat: the drive is disabled, so the capture shows no response.";
        return result;
    }
    if (record.limits.followErrorLimit > 0.0 &&
        largestMagnitude(record.positionError) > record.limits.followErrorLimit) {
        result.warning =
            "The error passed the following-error limit: the drive tripped during the test.";
        return result;
    }
    result.model.currentLoop = identifyCurrentLoop(record);
    result.model.controller = identifyController(record);
    const FittedMechanics fitted =
        closerInClosedLoop(record, result.model, identifyMechanics(record));
    result.model.mechanics = fitted.mechanics;
    if (!(result.model.mechanics.inertia > 0.0)) {
        result.warning = "The axis barely moved: no inertia can be taken from the capture.";
        return result;
    }
    result.usable = true;
    result.fitPercent = fitted.fitPercent;
    result.proposable = false;
    if (largestMagnitude(record.targetCurrent) >= kSaturationShare * record.limits.peakCurrent) {
        result.warning =
            "The target current reached the peak-current clamp: the model may miss what the "
            "clamp hid, so no gains are proposed from it.";
    } else if (!(result.fitPercent >= kUnusableFitPercent)) {
        result.warning = "The model matches the captured error only to " +
                         formatPercent(result.fitPercent) +
                         " %: too poorly to propose gains from it.";
    } else if (result.fitPercent < kPoorFitPercent) {
        result.proposable = true;
        result.warning = "The model matches the captured error only to " +
                         formatPercent(result.fitPercent) +
                         " %: resonance, backlash or friction the model lacks may be at work.";
    } else {
        result.proposable = true;
    }
    return result;
}

}  // namespace tuning
