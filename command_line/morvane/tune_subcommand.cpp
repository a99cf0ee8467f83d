// tune: the tuning assistant on one axis, from a 100 ms step test at the drive's present gains.
#include "morvane_subcommands.h"

#include <cmath>
#include <optional>

#include "axis_options.h"
#include "connect_then.h"
#include "margins.h"
#include "progress.h"
#include "scope_capture.h"
#include "settings_transfer.h"
#include "step_test.h"
#include "step_tuning.h"
#include "tuning_trial.h"

namespace command_line {

using drive_link::Failure;
using drive_link::Outcome;
using response::runCheckedStepTest;
using response::runTuningTrial;

namespace {
const QCommandLineOption kBandwidthOption(
    "bandwidth", "the closed loop's bandwidth (Hz); by default 80 % of the highest the axis allows",
    "HZ");
const QCommandLineOption kPhaseMarginOption(
    "phase-margin", "the bandwidth that leaves this phase margin (20 to 80 degrees)", "DEG");
const QCommandLineOption kDampingOption("damping", "the closed loop's damping (default 1)", "Z",
                                        "1");
const QCommandLineOption kApplyOption(
    "apply", "apply the gains, test again and keep them only when the test matches");
constexpr int kTuningSpanMs = 100;

// The value of an option as a number within its range, or NaN.
double numberIn(const QCommandLineParser& parser, const QCommandLineOption& option, double lowest,
                double highest) {
    bool isNumber = false;
    const double value = parser.value(option).toDouble(&isNumber);
    return isNumber && value >= lowest && value <= highest ? value : NAN;
}

response::BandwidthChoice bandwidthChoice(const QCommandLineParser& parser) {
    response::BandwidthChoice choice;
    choice.damping = parser.value(kDampingOption).toDouble();
    if (parser.isSet(kBandwidthOption)) {
        choice.way = response::BandwidthChoice::Way::Forced;
        choice.value = numberIn(parser, kBandwidthOption, 0.1, 1000);
    } else if (parser.isSet(kPhaseMarginOption)) {
        choice.way = response::BandwidthChoice::Way::PhaseMargin;
        choice.value = numberIn(parser, kPhaseMarginOption, 20, 80);
    }
    return choice;
}

QString tuneRefusal(const QCommandLineParser& parser) {
    const response::BandwidthChoice choice = bandwidthChoice(parser);
    if (parser.value(kAxisOption) != "1" && parser.value(kAxisOption) != "2") {
        return "tune needs --axis=1 or --axis=2";
    }
    if (parser.isSet(kBandwidthOption) && parser.isSet(kPhaseMarginOption)) {
        return "--bandwidth and --phase-margin each choose the bandwidth: give one of them";
    }
    if (std::isnan(choice.value) && choice.way == response::BandwidthChoice::Way::Forced) {
        return "--bandwidth takes a number of Hz from 0.1 to 1000";
    }
    if (std::isnan(choice.value)) {
        return "--phase-margin takes a number of degrees from 20 to 80";
    }
    if (std::isnan(numberIn(parser, kDampingOption, 0.3, 3))) {
        return "--damping takes a number from 0.3 to 3";
    }
    return {};
}

QJsonObject figuresObject(const tuning::StepFigures& figures) {
    return {{"peak_error", figures.peakError},
            {"undershoot", figures.undershoot},
            {"settling_ms", figures.settlingTimeMs}};
}

QJsonValue finite(double value) {
    return std::isfinite(value) ? QJsonValue(value) : QJsonValue();  // JSON has no infinity
}

QJsonObject marginsObject(const tuning::StabilityMargins& margins) {
    if (!margins.crosses) {
        return {};
    }
    return {{"phase_margin_deg", margins.phaseMarginDeg},
            {"gain_margin_db", finite(margins.gainMarginDb)},
            {"crossover_hz", margins.crossoverHz},
            {"sensitivity_peak", finite(margins.sensitivityPeak)}};
}

QJsonObject tuningDetails(const response::TuningProposal& tuned,
                          const tuning::DriveGains& present) {
    const tuning::AxisModel& m = tuned.identified.model;
    const tuning::Proposal& p = tuned.proposal;
    QJsonObject details{
        {"identified", QJsonObject{{"inertia_a_s2_per_count", m.mechanics.inertia},
                                   {"viscous_a_s_per_count", m.mechanics.viscous},
                                   {"coulomb_a", m.mechanics.coulomb},
                                   {"load_a", m.mechanics.load},
                                   {"current_lag_ms", m.currentLoop.timeConstant * 1e3},
                                   {"fit_percent", tuned.identified.fitPercent}}}};
    if (tuned.identified.usable) {
        details["present"] = QJsonObject{{"p", present.p},
                                         {"i", present.i},
                                         {"d", present.d},
                                         {"predicted", figuresObject(tuned.presentPredicted)},
                                         {"margins", marginsObject(tuned.presentMargins)}};
        details["proposed"] =
            QJsonObject{{"p", p.gains.p},
                        {"i", p.gains.i},
                        {"d", p.gains.d},
                        {"bandwidth_hz", p.bandwidthHz},
                        {"damping", p.damping},
                        {"predicted", figuresObject(p.prediction.figures)},
                        {"margins", marginsObject(tuning::stabilityMargins(m, p.gains))},
                        {"integral_pole_share", p.integralPoleShare}};
        if (p.allowedBandwidthHz > 0.0) {
            QJsonObject proposed = details["proposed"].toObject();
            proposed["allowed_bandwidth_hz"] = p.allowedBandwidthHz;
            proposed["limited_by"] = tuning::limitName(p.limitedBy);
            details["proposed"] = proposed;
        }
        details["present_better"] = tuned.presentBetter();
    }
    return details;
}

SubcommandResult tune(const SubcommandCall& call) {
    const int axis = call.parser.value(kAxisOption).toInt() - 1;
    const response::BandwidthChoice choice = bandwidthChoice(call.parser);
    const bool apply = call.parser.isSet(kApplyOption);
    MorvaneCommandLine frontEnd(call.powerCycleWaitSeconds);
    frontEnd.axis = axis;
    frontEnd.spanMs = kTuningSpanMs;
    response::TuningProposal tuned;
    QString refusal;
    response::TuningTrial trial;
    bool tried = false;
    bool keptPresent = false;  // the present gains' prediction beat the assistant's own choice
    tuning::DriveGains present;
    SubcommandResult result = connectThen(call.link, frontEnd, [&](MorvaneCommandLine& connected) {
        const response::CheckedStepTest first = runCheckedStepTest(call.link, connected);
        if (!first.outcome.succeeded()) {
            refusal = first.refusal;
            return first.outcome;
        }
        const response::StepCapture& before = first.tested.capture;
        present = {before.gainP, before.gainI, before.gainD};
        tuned = response::proposeForRun(before, choice);
        if (!tuned.identified.usable || !tuned.proposal.offered()) {
            refusal = QString::fromStdString(tuned.identified.usable ? tuned.proposal.refusal
                                                                     : tuned.identified.warning);
            return Outcome::failed(Failure::DriveFailed);
        }
        if (!apply) {
            return first.outcome;
        }
        // The assistant's own choice is not even tried when the model says the present gains do
        // better; a bandwidth the user forced is tried against its prediction only.
        if (choice.byAssistant() && tuned.presentBetter()) {
            keptPresent = true;
            return Outcome::failed(Failure::DriveFailed);
        }
        const std::optional<tuning::StepFigures> presentFigures =
            choice.byAssistant() ? std::optional(response::figuresOf(before)) : std::nullopt;
        trial = runTuningTrial(call.link, connected, axis, tuned, present, presentFigures);
        tried = trial.verdict.kept || !trial.verdict.why.isEmpty();
        return trial.outcome;
    });
    result.details = tuningDetails(tuned, present);
    if (tried) {
        if (trial.tested) {
            result.details["measured"] = figuresObject(trial.measurement.measured);
            result.details["validation_fit_percent"] = trial.validationFitPercent;
        }
        result.details["kept"] = trial.verdict.kept;
    } else if (keptPresent) {
        result.details["kept"] = false;
    }
    const QString better =
        response::presentBetterText(tuned.proposal.prediction.figures, tuned.presentPredicted);
    const QString found =
        "axis " + QString::number(axis + 1) + ": " + response::identifiedText(tuned.identified) +
        "; proposed " + response::proposalText(tuned.proposal) + ", predicted " +
        response::figuresText(tuned.proposal.prediction.figures) +
        "; predicted for the present gains: " + response::figuresText(tuned.presentPredicted) +
        (better.isEmpty() ? QString() : "; " + better) +
        "; margins of the present gains: " + response::marginsText(tuned.presentMargins) +
        ", of the proposed: " +
        response::marginsText(
            tuning::stabilityMargins(tuned.identified.model, tuned.proposal.gains));
    if (!refusal.isEmpty()) {
        result.line = "failed: " + refusal;
    } else if (keptPresent) {
        result.line = "failed: " + better + "; the drive keeps them; " + found;
    } else if (tried && !trial.verdict.kept) {
        result.line = "failed: " + trial.verdict.why +
                      (trial.putBack ? "; the old gains are back; " : "; ") + found;
    } else if (result.exitCode == kExitDone) {
        result.line = found;
        if (tried) {
            result.line +=
                "; kept, measured " + response::figuresText(trial.measurement.measured) +
                QString(", validation fit %1 %").arg(trial.validationFitPercent, 0, 'f', 1);
        }
    }
    return result;
}
}  // namespace

Subcommand tuneSubcommand() {
    return {"tune",
            nullptr,
            "connect, step-test one axis, identify it and propose P, I and D",
            tune,
            {kAxisOption, kBandwidthOption, kPhaseMarginOption, kDampingOption, kApplyOption},
            tuneRefusal};
}

}  // namespace command_line
