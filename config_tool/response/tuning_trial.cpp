#include "tuning_trial.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "ferrox_protocol.h"
#include "link_error_report.h"
#include "morvane_front_end.h"
#include "morvane_workflows.h"
#include "settings_table.h"
#include "step_response.h"

namespace response {

using drive_link::Failure;
using drive_link::getParam;
using drive_link::Link;
using drive_link::linkOutcome;
using drive_link::Outcome;

namespace {
constexpr double kPeakErrorTolerance = 0.15;  // of the predicted peak error
constexpr int kDitherCounts = 2;              // the encoder's own unrest
constexpr double kSettlingTolerance = 0.15;   // of the predicted settling time
constexpr int kSettlingSlackMs = 5;           // the band is entered within a few cycles of noise
constexpr double kTargetBeyondPeak = 1.02;    // the current scale's rounding
constexpr double kAchievedBeyondPeak = 1.5;   // what a current loop may overshoot its target
constexpr double kCurrentNoiseAmps = 0.05;    // the current sensor's noise, several sigma

double allowance(int reference, double share, int least) {
    return std::max(share * reference, double(least));
}

QString hex(uint16_t value) {
    return QString("%1").arg(value, 4, 16, QChar('0'));
}

// "P 700 of the 1499 sent, D ...": what the drive kept otherwise than sent.
QString keptOtherwise(const tuning::DriveGains& sent, const tuning::DriveGains& held) {
    QStringList differences;
    const auto compare = [&](const char* name, int s, int h) {
        if (s != h) {
            differences << QString("%1 %2 of the %3 sent").arg(name).arg(h).arg(s);
        }
    };
    compare("P", sent.p, held.p);
    compare("I", sent.i, held.i);
    compare("D", sent.d, held.d);
    return differences.join(", ");
}

// A sample the drive cannot have recorded. The checksum sums what the drive sent, so a request
// that the line spoiled on its way in comes back as the drive's rejection of it, summed like any
// other reply: the checksum passes, and two samples hold the rejection's bits. The drive clamps its
// target current at the peak current, its current loop follows that target, and it switches off
// before the error passes the following-error limit; a capture beyond these is no measurement.
bool impossibleSample(const StepCapture& capture) {
    const double peak = capture.peakCurrentMa / 1000.0;
    for (const CapturePoint& point : capture.points) {
        if (std::fabs(point.targetAmps) > kTargetBeyondPeak * peak + kCurrentNoiseAmps ||
            std::fabs(point.achievedAmps) > kAchievedBeyondPeak * peak + kCurrentNoiseAmps ||
            (capture.followErrorLimit > 0 &&
             std::fabs(point.errorCounts) > capture.followErrorLimit)) {
            return true;
        }
    }
    return false;
}

tuning::DriveGains gainsOnDrive(Link& link, int axis, bool& error) {
    const auto number = [axis](int index) {
        return config_tool::axisSettings()[size_t(axis * config_tool::kSettingsPerAxis + index)]
            .number;
    };
    tuning::DriveGains held;
    held.p = getParam(link, number(config_tool::kGainPIndex), error);
    held.i = getParam(link, number(config_tool::kGainIIndex), error);
    held.d = getParam(link, number(config_tool::kGainDIndex), error);
    return held;
}

// Sends the settings with the axis's gains replaced; the faults are cleared before the store, so
// that a trip of the last test never reaches the settings memory.
Outcome sendGains(Link& link, config_tool::MorvaneFrontEnd& frontEnd, int axis,
                  const tuning::DriveGains& gains) {
    frontEnd.showSettings(
        config_tool::withGains(frontEnd.settings(), axis, gains.p, gains.i, gains.d));
    return config_tool::applySettingsClearingFaultsFirst(link, frontEnd);
}
}  // namespace

CheckedStepTest runCheckedStepTest(Link& link, StepTestFrontEnd& frontEnd) {
    CheckedStepTest checked;
    // One bad bit on the line spoils a capture; twice in a row says the line is too noisy.
    for (int attempt = 0; attempt < 2; ++attempt) {
        checked.tested = runStepTest(link, frontEnd);
        checked.outcome = checked.tested.outcome;
        if (!checked.outcome.succeeded()) {
            return checked;
        }
        bool error = false;
        checked.faultRegister = getParam(link, ferrox_param::kFaultRegister, error);
        checked.outcome = linkOutcome(link, frontEnd, error);
        if (!checked.outcome.succeeded()) {
            return checked;
        }
        checked.corrupted = checked.tested.captureCorrupted ||
                            (!checked.tripped() && impossibleSample(checked.tested.capture));
        if (checked.tripped() || !checked.corrupted) {
            break;
        }
    }
    if (checked.tripped()) {
        checked.refusal =
            "the drive tripped during the test (fault register " + hex(checked.faultRegister) + ")";
    } else if (checked.corrupted) {
        checked.refusal = "the capture was corrupted on the line";
    }
    if (!checked.refusal.isEmpty()) {
        checked.outcome = Outcome::failed(Failure::DriveFailed);
    }
    return checked;
}

TrialVerdict judgeTrial(const TrialMeasurement& trial, const tuning::StepFigures& predicted,
                        const std::optional<tuning::StepFigures>& present) {
    const tuning::StepFigures& m = trial.measured;
    QString why;
    if (trial.faultRegister != 0) {
        why = "the drive tripped during the test (fault register " + hex(trial.faultRegister) + ")";
    } else if (trial.held.p != trial.sent.p || trial.held.i != trial.sent.i ||
               trial.held.d != trial.sent.d) {
        why = "the drive kept " + keptOtherwise(trial.sent, trial.held);
    } else if (std::abs(m.peakError - predicted.peakError) >
               allowance(predicted.peakError, kPeakErrorTolerance, kDitherCounts)) {
        why = QString("the peak error was %1 counts, %2 were predicted")
                  .arg(m.peakError)
                  .arg(predicted.peakError);
    } else if (m.settlingTimeMs > step_response::kLongestSettlingTime) {
        why = QString("the error did not settle within %1 ms")
                  .arg(step_response::kShownForLongSettling);
    } else if (m.settlingTimeMs >
               predicted.settlingTimeMs +
                   allowance(predicted.settlingTimeMs, kSettlingTolerance, kSettlingSlackMs)) {
        why = QString("the settling time was %1 ms, %2 were predicted")
                  .arg(m.settlingTimeMs)
                  .arg(predicted.settlingTimeMs);
    } else if (present) {
        why = worseFigureText(m, *present, "the %1 got worse: %2, the present gains gave %3");
    }
    return {why.isEmpty(), why};
}

TuningTrial runTuningTrial(Link& link, config_tool::MorvaneFrontEnd& frontEnd, int axis,
                           const TuningProposal& tuned, const tuning::DriveGains& present,
                           const std::optional<tuning::StepFigures>& presentFigures) {
    TuningTrial trial;
    TrialMeasurement& measurement = trial.measurement;
    measurement.sent = tuned.proposal.gains;
    trial.outcome = sendGains(link, frontEnd, axis, measurement.sent);
    if (!trial.outcome.succeeded()) {
        return trial;
    }
    bool error = false;
    measurement.held = gainsOnDrive(link, axis, error);
    trial.outcome = linkOutcome(link, frontEnd, error);
    if (!trial.outcome.succeeded()) {
        return trial;
    }
    const bool held = measurement.held.p == measurement.sent.p &&
                      measurement.held.i == measurement.sent.i &&
                      measurement.held.d == measurement.sent.d;
    // Gains the drive changed on the way in are not what was predicted: no test is run with them.
    if (held) {
        const CheckedStepTest checked = runCheckedStepTest(link, frontEnd);
        if (!checked.outcome.succeeded() && checked.refusal.isEmpty()) {
            trial.outcome = checked.outcome;
            return trial;
        }
        measurement.faultRegister = checked.faultRegister;
        measurement.measured =
            tuning::StepFigures{checked.tested.figures.peakError, checked.tested.figures.undershoot,
                                checked.tested.figures.settlingTimeMs};
        trial.tested = checked.refusal.isEmpty();
        trial.run = checked.tested.capture;
        if (checked.corrupted && !checked.tripped()) {
            trial.verdict = {false, checked.refusal};
        }
    }
    if (trial.verdict.why.isEmpty()) {
        trial.verdict = judgeTrial(measurement, tuned.proposal.prediction.figures, presentFigures);
    }
    if (trial.tested) {
        // How well the model foresaw the run with the new gains: the user's measure of trust.
        trial.validationFitPercent =
            tuning::modelFitPercent(stepRecordOf(trial.run), tuned.identified.model);
    }
    if (trial.verdict.kept) {
        return trial;
    }
    trial.outcome = sendGains(link, frontEnd, axis, present);
    trial.putBack = trial.outcome.succeeded();
    if (trial.putBack) {
        trial.outcome = Outcome::failed(Failure::DriveFailed);
    }
    return trial;
}

}  // namespace response
