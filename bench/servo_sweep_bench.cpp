// The simulated axis's step disturbance figures with each setting varied alone around the
// factory values of axis 1, then the cases that stop the axis: a following-error trip and a
// disabled drive. A report for the reader; nothing is asserted.
#include <cstdio>
#include <functional>
#include <vector>

#include "servo_model.h"
#include "simulated_step.h"

namespace {
using drive_sim::ServoTuning;
using simulated_step::factoryAxis;

void printRow(const char* setting, int value, const ServoTuning& tuning) {
    // The figures look at 500 ms; record the same stretch once per millisecond for the end state.
    const drive_sim::StepRun run = drive_sim::runStepDisturbance(tuning, 20, 525, 25);
    const int32_t lastError = run.points.back().positionError;
    std::printf("| %-22s | %6d | %10d | %10d | %11d%s | %9d | %-7s |\n", setting, value,
                run.metrics.peakError, run.metrics.undershoot, run.metrics.settlingTimeMs,
                run.metrics.settlingTimeMs > 489 ? "+" : " ", lastError,
                run.tripped ? "tripped" : "");
}

struct Sweep {
    const char* setting;
    std::vector<int> values;
    std::function<void(ServoTuning&, int)> apply;
};
}  // namespace

int main() {
    std::printf(
        "Step disturbance of 75 %% of the continuous current, axis 1 factory values:\n"
        "P 650, I 120, D 700, continuous 2600 mA, peak 6000 mA, follow error limit 800,\n"
        "inductance 2.50 mH (375), resistance 0.85 Ohm; each row varies one setting.\n"
        "Settling times marked + never settled inside the 500 ms window. Peak currents below the\n"
        "continuous current are refused by the form; the model takes them to show the limit.\n\n");
    std::printf("| %-22s | %6s | %10s | %10s | %12s | %9s | %-7s |\n", "setting", "value",
                "peak error", "undershoot", "settling ms", "end error", "trip");
    std::printf("|%s|%s|%s|%s|%s|%s|%s|\n", "------------------------", "--------", "------------",
                "------------", "--------------", "-----------", "---------");
    const std::vector<Sweep> sweeps = {
        {"P gain",
         {160, 325, 650, 1300, 2600},
         [](ServoTuning& t, int v) { t.gainP = uint16_t(v); }},
        {"I gain", {0, 60, 120, 240, 480}, [](ServoTuning& t, int v) { t.gainI = uint16_t(v); }},
        {"D gain",
         {200, 350, 700, 1400, 2800},
         [](ServoTuning& t, int v) { t.gainD = uint16_t(v); }},
        {"peak current mA",
         {1000, 1500, 2600, 6000, 10000},
         [](ServoTuning& t, int v) { t.peakCurrentMa = uint16_t(v); }},
        {"inductance mH x 150",
         {15, 375, 1500, 3000, 7500},
         [](ServoTuning& t, int v) { t.inductance = uint16_t(v); }},
        {"follow error limit",
         {800, 100, 30},
         [](ServoTuning& t, int v) { t.followErrorLimit = uint16_t(v); }},
    };
    for (const Sweep& sweep : sweeps) {
        for (int value : sweep.values) {
            ServoTuning tuning = factoryAxis();
            sweep.apply(tuning, value);
            printRow(sweep.setting, value, tuning);
        }
    }
    ServoTuning disabled = factoryAxis();
    disabled.powerStageEnabled = false;
    printRow("power stage off", 0, disabled);
    return 0;
}
