// What `morvane tune --apply` keeps on harder axes than the factory's: heavy and light, strong dry
// friction, a hanging load, weak and strong motors, a firmware that scales its gains otherwise.
// Each seeded axis gets the step test at its factory gains, the assistant's own choice from it,
// and, where the choice is tried, the trial's run judged by the product's verdict. First a table
// of the identification at the hard end of friction and load on the factory axis. A report for
// the reader; nothing is asserted.
//
// Usage: tuning_apply_bench [AXES]   (25 by default; 400 for the full sweep)
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "margins.h"
#include "simulated_step.h"
#include "step_tuning.h"
#include "tuning_trial.h"

namespace {
constexpr int kDefaultAxes = 25;
constexpr uint16_t kTripFault = 0x1000;  // what the simulated drive's fault register shows

double logUniform(std::mt19937_64& random, double low, double high) {
    return low * std::pow(high / low, std::uniform_real_distribution<double>(0.0, 1.0)(random));
}

double quantile(std::vector<double> values, double q) {
    if (values.empty()) {
        return NAN;
    }
    std::sort(values.begin(), values.end());
    return values[size_t(std::lround(q * double(values.size() - 1)))];
}

// Friction and load as currents, the rest as multiples of the factory axis's.
drive_sim::AxisMechanics axisWith(double inertia, double coulombAmps, double loadAmps, double kt,
                                  double gainScale) {
    drive_sim::AxisMechanics m;
    m.inertia *= inertia;
    m.torqueConstant *= kt;
    m.coulombFriction = coulombAmps * m.torqueConstant;
    m.load = loadAmps * m.torqueConstant;
    m.gainScale = gainScale;
    return m;
}

double inertiaErrorPercent(const tuning::Identification& id, const drive_sim::AxisMechanics& m) {
    return 100.0 * (id.model.mechanics.inertia / simulated_step::inertiaInDriveUnits(m) - 1.0);
}

void printIdentificationTable(double peakAmps) {
    std::printf(
        "Identification on the factory axis (factory gains) with dry friction and a load, as "
        "currents:\n\n| Coulomb (A) | load (%% of peak) | J' error | Coulomb found (A) | fit "
        "|\n|---|---|---|---|---|\n");
    for (double coulomb : {0.0, 0.5, 1.0, 1.5, 2.0}) {
        for (double loadShare : {0.0, 0.4, 0.8}) {
            const drive_sim::AxisMechanics m =
                axisWith(1.0, coulomb, loadShare * peakAmps, 1.0, 1.0);
            const auto capture = simulated_step::runStepTest(simulated_step::factoryAxis(), m, 7);
            const tuning::Identification id = tuning::identifyAxis(capture.record);
            std::printf("| %.1f | %.0f | %+.1f %% | %.3f | %.1f %% |\n", coulomb, 100 * loadShare,
                        inertiaErrorPercent(id, m), id.model.mechanics.coulomb, id.fitPercent);
        }
    }
}

// The first words of a verdict or a refusal, to tally them: "the peak error was 40 counts, 31
// were predicted" counts as "the peak error was".
std::string reasonOf(const std::string& why) {
    size_t end = why.find_first_of(",:(");
    for (const char* cut : {" was ", " were "}) {
        const size_t at = why.find(cut);
        if (at != std::string::npos && at < end) {
            end = at + std::string(cut).size() - 1;
        }
    }
    return why.substr(0, end);
}

struct Sweep {
    int axes = 0;
    int kept = 0;                // the assistant's gains stayed on the drive
    int noWorseThanFactory = 0;  // what stayed is no worse than the factory gains on any figure
    int presentBetter = 0;       // the choice predicted worse: the factory gains stayed untried
    int trips = 0;               // during a trial
    int keptNeverSettling = 0;
    std::map<std::string, int> declined;  // why the factory gains stayed
    std::vector<double> inertiaErrors, coulombErrors, keptMargins;
    std::vector<double> proposableInertiaErrors;  // of the captures gains may be taken from
};

void runAxis(Sweep& sweep, std::mt19937_64& random, uint64_t seed) {
    const drive_sim::ServoTuning factory = simulated_step::factoryAxis();
    const double peakAmps = factory.peakCurrentMa / 1000.0;
    const drive_sim::AxisMechanics m =
        axisWith(logUniform(random, 0.1, 10.0), std::uniform_real_distribution(0.0, 2.0)(random),
                 std::uniform_real_distribution(0.0, 0.8)(random) * peakAmps,
                 logUniform(random, 0.2, 10.0), logUniform(random, 0.1, 10.0));
    ++sweep.axes;
    const auto before = simulated_step::runStepTest(factory, m, seed);
    if (before.run.tripped) {
        ++sweep.declined["the drive tripped during the test at the factory gains"];
        ++sweep.noWorseThanFactory;
        return;
    }
    const response::StepCapture capture = simulated_step::responseCapture(factory, before);
    const response::TuningProposal tuned = response::proposeForRun(capture, {});
    const tuning::Proposal& p = tuned.proposal;
    if (tuned.identified.usable) {
        sweep.inertiaErrors.push_back(std::fabs(inertiaErrorPercent(tuned.identified, m)));
        if (tuned.identified.proposable) {
            sweep.proposableInertiaErrors.push_back(sweep.inertiaErrors.back());
        }
        sweep.coulombErrors.push_back(std::fabs(tuned.identified.model.mechanics.coulomb -
                                                m.coulombFriction / m.torqueConstant));
    }
    ++sweep.noWorseThanFactory;  // until a kept trial shows otherwise
    if (!tuned.identified.usable) {
        ++sweep.declined[reasonOf(tuned.identified.warning)];
        return;
    }
    if (!p.offered()) {
        ++sweep.declined[std::string("not offered: ") + tuning::limitText(p.limit)];
        return;
    }
    if (tuned.presentBetter()) {
        ++sweep.declined["the present gains are better"];
        return;
    }
    const auto applied =
        simulated_step::runStepTest(simulated_step::withGains(factory, p.gains), m, seed + 1);
    response::TrialMeasurement trial;
    trial.sent = p.gains;
    trial.held = simulated_step::gainsOf(simulated_step::withGains(factory, p.gains));
    trial.faultRegister = applied.run.tripped ? kTripFault : 0;
    trial.measured = {applied.run.metrics.peakError, applied.run.metrics.undershoot,
                      applied.run.metrics.settlingTimeMs};
    sweep.trips += applied.run.tripped ? 1 : 0;
    const response::TrialVerdict verdict =
        response::judgeTrial(trial, p.prediction.figures, response::figuresOf(capture));
    if (!verdict.kept) {
        ++sweep.declined["tried, put back: " + reasonOf(verdict.why.toStdString())];
        return;
    }
    ++sweep.kept;
    sweep.keptMargins.push_back(
        tuning::stabilityMargins(tuned.identified.model, p.gains).phaseMarginDeg);
    sweep.keptNeverSettling += trial.measured.settlingTimeMs > tuning::kLongestSettlingMs ? 1 : 0;
    // The verdict compared the trial with the test it started from; a later test of both gains,
    // with other noise, says whether the axis is better off.
    const auto later = [&](const drive_sim::ServoTuning& axis) {
        const drive_sim::StepMetrics f = simulated_step::runStepTest(axis, m, seed + 2).run.metrics;
        return tuning::StepFigures{f.peakError, f.undershoot, f.settlingTimeMs};
    };
    if (tuning::worseFigure(later(simulated_step::withGains(factory, p.gains)), later(factory)) !=
        tuning::Figure::None) {
        --sweep.noWorseThanFactory;
    }
}

void printSweep(const Sweep& s, double seconds, double processorSeconds) {
    const auto share = [&](int count) { return 100.0 * count / std::max(1, s.axes); };
    std::printf(
        "\n`tune --apply` at the automatic bandwidth over %d seeded axes: inertia x0.1-x10, "
        "Coulomb 0-2 A,\nload 0-80 %% of the peak current, kt x0.2-x10, firmware gain scale "
        "x0.1-x10.\n\n",
        s.axes);
    std::printf("| outcome | axes | share |\n|---|---|---|\n");
    std::printf("| the assistant's gains kept | %d | %.1f %% |\n", s.kept, share(s.kept));
    std::printf(
        "| what stays no worse than the factory gains on every figure of a later test | %d | "
        "%.1f %% |\n",
        s.noWorseThanFactory, share(s.noWorseThanFactory));
    for (const auto& [why, count] : s.declined) {
        std::printf("| factory gains stay: %s | %d | %.1f %% |\n", why.c_str(), count,
                    share(count));
    }
    std::printf("| trips in a trial | %d | |\n| kept gains that never settle | %d | |\n", s.trips,
                s.keptNeverSettling);
    std::printf("\n| figure | n | median | p90 | p95 | worst |\n|---|---|---|---|---|---|\n");
    const auto row = [](const char* name, const std::vector<double>& values, const char* format,
                        bool lowIsBad) {
        std::printf("| %s | %zu |", name, values.size());
        for (double q : {0.5, 0.9, 0.95, 1.0}) {
            std::printf(format, quantile(values, lowIsBad ? 1.0 - q : q));
        }
        std::printf("\n");
    };
    row("J' error (%, magnitude), usable captures", s.inertiaErrors, " %.1f |", false);
    row("J' error (%, magnitude), captures gains are taken from", s.proposableInertiaErrors,
        " %.1f |", false);
    row("Coulomb error (A, magnitude)", s.coulombErrors, " %.3f |", false);
    row("phase margin of kept gains (deg; p10, p5, least)", s.keptMargins, " %.1f |", true);
    std::printf("\n%d axes and the table in %.1f s (%.1f s of processor time).\n", s.axes, seconds,
                processorSeconds);
}
}  // namespace

int main(int argc, char** argv) {
    const int axes = argc > 1 ? std::max(1, std::atoi(argv[1])) : kDefaultAxes;
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t processorStart = std::clock();
    printIdentificationTable(simulated_step::factoryAxis().peakCurrentMa / 1000.0);
    std::mt19937_64 random(2026);
    Sweep sweep;
    for (int n = 0; n < axes; ++n) {
        runAxis(sweep, random, uint64_t(n) * 10 + 1);
    }
    printSweep(sweep,
               std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
               double(std::clock() - processorStart) / CLOCKS_PER_SEC);
    return 0;
}
