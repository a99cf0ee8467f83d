// The check a trial of gains must pass before they stay on the drive: its boundaries and the
// condition each failure names.
#include <gtest/gtest.h>

#include "step_tuning.h"
#include "tuning_trial.h"

using response::judgeTrial;
using response::TrialMeasurement;
using tuning::StepFigures;

TEST(TuningTrial, KeepsOnlyGainsTheDriveHoldsAndTheTestBearsOut) {
    const StepFigures predicted{100, 10, 50};
    const StepFigures present{120, 12, 50};
    const tuning::DriveGains sent{900, 300, 800};
    struct Case {
        const char* what;
        StepFigures measured;
        tuning::DriveGains held;
        uint16_t faultRegister;
        bool againstPresent;  // the assistant chose the gains itself
        const char* why;      // empty: kept
    };
    const Case cases[] = {
        {"as predicted", {100, 10, 50}, sent, 0, true, ""},
        {"15 % over the prediction", {115, 10, 50}, sent, 0, false, ""},
        {"past 15 %", {116, 10, 50}, sent, 0, false, "the peak error was 116 counts, 100 were"},
        {"15 % under", {85, 10, 50}, sent, 0, false, ""},
        {"past 15 % under", {84, 10, 50}, sent, 0, false, "the peak error was 84 counts"},
        {"tripped",
         {100, 10, 50},
         sent,
         0x1000,
         true,
         "tripped during the test (fault register 1000)"},
        {"clamped P",
         {100, 10, 50},
         {700, 300, 800},
         0,
         true,
         "the drive kept P 700 of the 900 sent"},
        {"never settled", {100, 10, 500}, sent, 0, false, "did not settle within 500 ms"},
        {"settled at 489 ms", {100, 10, 489}, sent, 0, false, "the settling time was 489 ms, 50"},
        {"settled within 15 %", {100, 10, 57}, sent, 0, false, ""},
        {"settled past 15 %", {100, 10, 58}, sent, 0, false, "the settling time was 58 ms"},
        {"settling 5 % worse than present", {100, 10, 52}, sent, 0, true, ""},
        {"settling past 5 % worse",
         {100, 10, 53},
         sent,
         0,
         true,
         "the settling time got worse: 53 ms, the present gains gave 50"},
        {"undershoot 1 count worse", {100, 13, 50}, sent, 0, true, ""},
        {"undershoot 2 counts worse",
         {100, 14, 50},
         sent,
         0,
         true,
         "the undershoot got worse: 14 counts, the present gains gave 12"},
        {"the same, the user's choice", {100, 14, 50}, sent, 0, false, ""},
    };
    for (const Case& c : cases) {
        TrialMeasurement trial;
        trial.sent = sent;
        trial.held = c.held;
        trial.faultRegister = c.faultRegister;
        trial.measured = c.measured;
        const auto verdict =
            judgeTrial(trial, predicted, c.againstPresent ? std::optional(present) : std::nullopt);
        EXPECT_EQ(verdict.kept, std::string(c.why).empty()) << c.what;
        EXPECT_TRUE(verdict.why.contains(c.why)) << c.what << ": " << verdict.why.toStdString();
    }
}

// The identified values as the panel and `morvane tune` print them: no "-0.000" for a load the
// identification found a hair below zero.
TEST(TuningText, ValuesThatRoundToZeroHaveNoSign) {
    const std::pair<double, const char*> cases[] = {
        {-0.0004, "0.000"}, {0.0004, "0.000"}, {-0.0126, "-0.013"}, {2.0, "2.000"}};
    for (const auto& [value, text] : cases) {
        EXPECT_EQ(response::fixedText(value, 3), text) << value;
    }
}
