// What the response dialog's frequency response view costs the GUI thread after a run of the
// simulated factory axis: the curves of the present gains with their margins and the measured
// disturbance response (once per identified run), the proposal's curves (at every move of the
// bandwidth or damping), and one paint of each view. A report; nothing is asserted.
//   frequency_response_bench [REPEATS]
#include <QApplication>
#include <QImage>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "bode_plot.h"
#include "identification.h"
#include "offscreen.h"
#include "proposal.h"
#include "simulated_step.h"

namespace {
// Median and largest time of `repeats` calls, in ms.
std::pair<double, double> time(int repeats, const std::function<void()>& work) {
    std::vector<double> ms;
    for (int k = 0; k < repeats; ++k) {
        const auto start = std::chrono::steady_clock::now();
        work();
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms.back()};
}
}  // namespace

int main(int argc, char** argv) {
    chooseOffscreenUnlessAsked();
    QApplication app(argc, argv);
    const int repeats = argc > 1 ? std::max(1, std::stoi(argv[1])) : 200;
    const tuning::StepRecord run =
        simulated_step::runStepTest(simulated_step::factoryAxis(), {}, 9).record;
    const tuning::AxisModel model = tuning::identifyAxis(run).model;
    const tuning::DriveGains proposed =
        tuning::chooseGains(model, run.limits, run.injectedCurrent).gains;
    const std::vector<double> hz = tuning::frequencyGrid(run.samplePeriod);
    response::BodePlot plot;
    plot.resize(plot.sizeHint());
    const tuning::StabilityMargins presentMargins = tuning::stabilityMargins(model, run.gains);
    const tuning::StabilityMargins proposedMargins = tuning::stabilityMargins(model, proposed);
    plot.showAxis(model, run.gains, presentMargins, run);
    plot.showProposal(proposed, proposedMargins);
    QImage picture(plot.size(), QImage::Format_ARGB32_Premultiplied);

    struct Row {
        const char* what;
        std::function<void()> work;
    };
    const Row rows[] = {
        {"loop curves and margins, one gain set",
         [&] {
             tuning::loopResponse(model, run.gains, hz, tuning::stabilityMargins(model, run.gains));
         }},
        {"measured disturbance response", [&] { tuning::measuredDisturbance(run, hz); }},
        {"new run: showAxis + showProposal",
         [&] {
             plot.showAxis(model, run.gains, presentMargins, run);
             plot.showProposal(proposed, proposedMargins);
         }},
        {"new proposal: showProposal", [&] { plot.showProposal(proposed, proposedMargins); }},
        {"paint, position loop view",
         [&] {
             plot.setView(response::BodePlot::Loop);
             plot.render(&picture);
         }},
        {"paint, disturbance view",
         [&] {
             plot.setView(response::BodePlot::Disturbance);
             plot.render(&picture);
         }},
    };
    std::printf(
        "Factory axis, %zu frequencies from 1 Hz to %.0f Hz, view %d x %d px, %d repeats\n\n",
        hz.size(), hz.back(), plot.width(), plot.height(), repeats);
    std::printf("| %-40s | %10s | %10s |\n", "work on the GUI thread", "median ms", "largest ms");
    std::printf("|%s|%s|%s|\n", std::string(42, '-').c_str(), std::string(12, '-').c_str(),
                std::string(12, '-').c_str());
    for (const Row& row : rows) {
        const auto [median, largest] = time(repeats, row.work);
        std::printf("| %-40s | %10.2f | %10.2f |\n", row.what, median, largest);
    }
    return 0;
}
