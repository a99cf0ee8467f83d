#include "motion_fit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <utility>
#include <vector>

#include "friction.h"
#include "least_squares.h"

namespace tuning {

namespace {
constexpr int kSubstepsPerCycle = 2;
constexpr int kIterations = 15;
constexpr int kStepHalvings = 8;
constexpr size_t kRefinedStarts = 3;
constexpr double kStartInertias[] = {1e-9, 1e-8, 1e-7, 1e-6, 1e-5, 1e-4};  // A s^2 per count

// The unknowns: log of the inertia (it is positive and spans decades), viscous and Coulomb
// friction, the load, and where in its count the encoder sat at the step.
using Unknowns = std::array<double, 5>;

Unknowns unknownsOf(const Mechanics& m) {
    return {std::log(m.inertia), m.viscous, m.coulomb, m.load, 0.0};
}

// The friction cannot push: a negative share is clipped.
Mechanics mechanicsOf(const Unknowns& u) {
    return {std::exp(u[0]), std::max(0.0, u[1]), std::max(0.0, u[2]), u[3]};
}

struct Capture {
    const StepRecord& r;
    size_t start;  // the last point at rest
    int cyclesPerPoint;
    std::vector<double> moved;  // counts from the position at `start`
};

// The captured position less the run's, at every point from `start` on. Each point's current
// drives the servo cycle its error opens, and the current moves evenly towards the next point's.
std::vector<double> misses(const Capture& c, const Unknowns& u) {
    const Mechanics m = mechanicsOf(u);
    const double dt = c.r.servoCycle / kSubstepsPerCycle;
    const size_t n = c.r.achievedCurrent.size();
    std::vector<double> miss;
    miss.reserve(n - c.start);
    double position = 0.0, velocity = 0.0;
    for (size_t k = c.start; k < n; ++k) {
        miss.push_back(c.moved[k - c.start] - position - u[4]);
        const double now = c.r.achievedCurrent[k];
        const double next = k + 1 < n ? c.r.achievedCurrent[k + 1] : now;
        for (int cycle = 0; cycle < c.cyclesPerPoint; ++cycle) {
            const double current = now + (next - now) * cycle / c.cyclesPerPoint;
            for (int s = 0; s < kSubstepsPerCycle; ++s) {
                const double force = current - m.load - m.viscous * velocity -
                                     m.coulomb * std::tanh(velocity / kFrictionSpeed);
                velocity += force / m.inertia * dt;
                position += velocity * dt;
            }
        }
    }
    return miss;
}

double cost(const std::vector<double>& miss) {
    double sum = 0.0;
    for (double m : miss) {
        sum += m * m;
    }
    return std::isfinite(sum) ? sum : INFINITY;
}

// One Gauss-Newton step from `u`, its Jacobian by differences; the step is halved until the
// run matches better. False when no step does.
bool improve(const Capture& c, Unknowns& u, double& best) {
    const std::vector<double> base = misses(c, u);
    const Mechanics m = mechanicsOf(u);
    const Unknowns nudge = {1e-4, 1e-3 * (m.viscous + 100.0 * m.inertia), 1e-3 * (m.coulomb + 0.01),
                            1e-4 + 1e-3 * std::fabs(m.load), 1e-3};
    std::vector<std::vector<double>> rows(base.size(), std::vector<double>(u.size()));
    for (size_t j = 0; j < u.size(); ++j) {
        Unknowns moved = u;
        moved[j] += nudge[j];
        const std::vector<double> shifted = misses(c, moved);
        for (size_t k = 0; k < base.size(); ++k) {
            rows[k][j] = (base[k] - shifted[k]) / nudge[j];
        }
    }
    const std::optional<LeastSquaresFit> fit = leastSquares(rows, base);
    if (!fit) {
        return false;
    }
    double share = 1.0;
    for (int halving = 0; halving < kStepHalvings; ++halving, share /= 2.0) {
        Unknowns tried = u;
        for (size_t j = 0; j < u.size(); ++j) {
            tried[j] += share * fit->coefficients[j];
        }
        const double tried_cost = cost(misses(c, tried));
        if (tried_cost < best) {
            best = tried_cost;
            u = tried;
            return true;
        }
    }
    return false;
}
}  // namespace

Mechanics fitMotion(const StepRecord& record, const Mechanics& first) {
    const size_t n = record.positionError.size();
    Capture c{record,
              size_t(std::max(0, record.stepIndex - 1)),
              std::max(1, int(std::lround(record.samplePeriod / record.servoCycle))),
              {}};
    if (n < c.start + 10 || record.achievedCurrent.size() != n) {
        return first;
    }
    for (size_t k = c.start; k < n; ++k) {
        c.moved.push_back(record.positionError[c.start] - record.positionError[k]);
    }
    // The run is far from linear in the inertia: each start is refined, and the best kept.
    std::vector<Unknowns> starts;
    if (first.inertia > 0.0) {
        starts.push_back(unknownsOf(first));
    }
    for (double inertia : kStartInertias) {
        Mechanics start = first;
        start.inertia = inertia;
        starts.push_back(unknownsOf(start));
    }
    const double firstCost = first.inertia > 0.0 ? cost(misses(c, starts.front())) : INFINITY;
    // Only the most promising starts are refined: each refinement runs the axis many times.
    std::vector<std::pair<double, Unknowns>> ranked;
    for (const Unknowns& u : starts) {
        const double startCost = cost(misses(c, u));
        if (std::isfinite(startCost)) {
            ranked.push_back({startCost, u});
        }
    }
    std::sort(ranked.begin(), ranked.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    ranked.resize(std::min(ranked.size(), kRefinedStarts));
    Unknowns bestUnknowns{};
    double best = INFINITY;
    for (auto [reached, u] : ranked) {
        for (int iteration = 0; iteration < kIterations && improve(c, u, reached); ++iteration) {
        }
        if (reached < best) {
            best = reached;
            bestUnknowns = u;
        }
    }
    const Unknowns& u = bestUnknowns;
    return best < firstCost ? mechanicsOf(u) : first;
}

}  // namespace tuning
