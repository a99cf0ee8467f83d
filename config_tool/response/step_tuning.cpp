#include "step_tuning.h"

#include <algorithm>
#include <cmath>

#include "step_response.h"

namespace response {

namespace {
double meanBefore(const std::vector<double>& values, size_t end) {
    double sum = 0.0;
    for (size_t k = 0; k < end; ++k) {
        sum += values[k];
    }
    return end > 0 ? sum / double(end) : 0.0;
}
}  // namespace

tuning::StepFigures figuresOf(const StepCapture& capture) {
    return {capture.peakError, capture.undershoot, capture.settlingTimeMs};
}

tuning::StepRecord stepRecordOf(const StepCapture& capture) {
    using namespace step_response;
    tuning::StepRecord record;
    const size_t points = capture.points.size();
    record.servoCycle = kServoCycleSeconds;
    record.samplePeriod = points > 0 ? capture.spanMs * 1e-3 / double(points) : kServoCycleSeconds;
    for (const CapturePoint& point : capture.points) {
        record.targetCurrent.push_back(point.targetAmps);
        record.achievedCurrent.push_back(point.achievedAmps);
        record.positionError.push_back(point.errorCounts);
    }
    record.stepIndex = int(std::min<size_t>(points, size_t(kPointsBeforeStep)));
    // The controller has barely answered at the first point of the step, so the jump of the
    // target current there shows which way the drive pushed.
    const double held = meanBefore(record.targetCurrent, size_t(record.stepIndex));
    const bool pushedDown =
        size_t(record.stepIndex) < points && record.targetCurrent[size_t(record.stepIndex)] < held;
    const double injected = kInjectedShare * capture.continuousCurrentMa / 1000.0;
    record.injectedCurrent = pushedDown ? -injected : injected;
    record.gains = {capture.gainP, capture.gainI, capture.gainD};
    record.limits = {capture.peakCurrentMa / 1000.0, capture.continuousCurrentMa / 1000.0,
                     double(capture.followErrorLimit)};
    return record;
}

bool TuningProposal::presentBetter() const {
    return identified.usable && tuning::worseFigure(proposal.prediction.figures,
                                                    presentPredicted) != tuning::Figure::None;
}

TuningProposal proposeForRun(const StepCapture& capture, const BandwidthChoice& choice) {
    TuningProposal tuned;
    const tuning::StepRecord record = stepRecordOf(capture);
    tuned.identified = tuning::identifyAxis(record);
    if (tuned.identified.usable) {
        tuned.presentPredicted = tuning::predictStep(tuned.identified.model, record.gains,
                                                     record.injectedCurrent, record.limits)
                                     .figures;
        tuned.presentMargins = tuning::stabilityMargins(tuned.identified.model, record.gains);
    }
    tuned.proposal = reproposed(tuned, capture, choice);
    return tuned;
}

tuning::Proposal reproposed(const TuningProposal& tuned, const StepCapture& capture,
                            const BandwidthChoice& choice) {
    if (!tuned.identified.usable) {
        return {};
    }
    const tuning::StepRecord record = stepRecordOf(capture);
    const tuning::AxisModel& model = tuned.identified.model;
    tuning::Proposal proposal;
    switch (choice.way) {
        case BandwidthChoice::Way::Automatic:
            proposal =
                tuning::chooseGains(model, record.limits, record.injectedCurrent, choice.damping);
            break;
        case BandwidthChoice::Way::Forced:
            proposal = tuning::proposeGains(model, record.limits, record.injectedCurrent,
                                            choice.value, choice.damping);
            break;
        case BandwidthChoice::Way::PhaseMargin:
            proposal = tuning::gainsForPhaseMargin(model, record.limits, record.injectedCurrent,
                                                   choice.value, choice.damping);
            break;
    }
    if (!tuned.identified.proposable) {
        // Shown with its prediction, but no bandwidth would make gains from this capture sound.
        proposal.limit = tuning::ProposalLimit::Capture;
        proposal.passingBandwidthHz = 0.0;
        proposal.refusal = tuned.identified.warning;
    }
    return proposal;
}

QString fixedText(double value, int decimals) {
    // Rounded first, so that the text of a value a hair below zero carries no sign; the sum
    // turns a rounded -0 into +0.
    const double scale = std::pow(10.0, decimals);
    return QString::number(std::round(value * scale) / scale + 0.0, 'f', decimals);
}

QString identifiedText(const tuning::Identification& identified) {
    const tuning::AxisModel& m = identified.model;
    if (!identified.usable) {
        return QString::fromStdString(identified.warning);
    }
    const QString values =
        QString(
            "inertia %1 A s^2/count, viscous %2 A s/count, Coulomb %3 A, load %4 A, "
            "current lag %5 ms, fit %6 %")
            .arg(m.mechanics.inertia, 0, 'g', 3)
            .arg(m.mechanics.viscous, 0, 'g', 3)
            .arg(fixedText(m.mechanics.coulomb, 3))
            .arg(fixedText(m.mechanics.load, 3))
            .arg(m.currentLoop.timeConstant * 1e3, 0, 'f', 3)
            .arg(identified.fitPercent, 0, 'f', 1);
    // A clamped capture or a poor fit still gives a model, but the user must see the doubt.
    return identified.warning.empty() ? values
                                      : values + ". " + QString::fromStdString(identified.warning);
}

QString proposalText(const tuning::Proposal& proposal) {
    QString text = QString("Kp %1 Ki %2 Kd %3 at %4 Hz, damping %5")
                       .arg(proposal.gains.p)
                       .arg(proposal.gains.i)
                       .arg(proposal.gains.d)
                       .arg(proposal.bandwidthHz, 0, 'f', 1)
                       .arg(proposal.damping, 0, 'f', 2);
    const QString allowance = bandwidthAllowanceText(proposal);
    return allowance.isEmpty() ? text : text + " (" + allowance + ")";
}

QString bandwidthAllowanceText(const tuning::Proposal& proposal) {
    if (!(proposal.allowedBandwidthHz > 0.0)) {
        return {};
    }
    return QString(
               "%1 % of the %2 Hz the axis allows: above it %3; integral pole at %4 of the "
               "bandwidth")
        .arg(proposal.bandwidthHz / proposal.allowedBandwidthHz * 100.0, 0, 'f', 0)
        .arg(proposal.allowedBandwidthHz, 0, 'f', 1)
        .arg(tuning::limitText(proposal.limitedBy))
        .arg(proposal.integralPoleShare, 0, 'f', 2);
}

QString figuresText(const tuning::StepFigures& figures) {
    return QString("peak error %1 counts, undershoot %2 counts, settling time %3 ms")
        .arg(figures.peakError)
        .arg(figures.undershoot)
        .arg(figures.settlingTimeMs);
}

QString marginsText(const tuning::StabilityMargins& margins) {
    if (!margins.crosses) {
        return "none: the loop's gain never passes 1";
    }
    const QString gain = std::isfinite(margins.gainMarginDb)
                             ? QString("%1 dB").arg(margins.gainMarginDb, 0, 'f', 1)
                             : QString("unbounded");
    return QString("phase margin %1 deg, gain margin %2, crossover %3 Hz, sensitivity peak %4")
        .arg(margins.phaseMarginDeg, 0, 'f', 1)
        .arg(gain)
        .arg(margins.crossoverHz, 0, 'f', 1)
        .arg(margins.sensitivityPeak, 0, 'f', 2);
}

QString figureName(tuning::Figure figure) {
    switch (figure) {
        case tuning::Figure::PeakError:
            return "peak error";
        case tuning::Figure::Undershoot:
            return "undershoot";
        case tuning::Figure::SettlingTime:
            return "settling time";
        case tuning::Figure::None:
            break;
    }
    return {};
}

QString worseFigureText(const tuning::StepFigures& now, const tuning::StepFigures& present,
                        const QString& sentence) {
    const tuning::Figure worse = tuning::worseFigure(now, present);
    if (worse == tuning::Figure::None) {
        return {};
    }
    return sentence.arg(figureName(worse), figureAmount(now, worse),
                        QString::number(tuning::figureValue(present, worse)));
}

QString presentBetterText(const tuning::StepFigures& proposed, const tuning::StepFigures& present) {
    return worseFigureText(
        proposed, present,
        "the present gains are better: the proposal would give a %1 of %2, they give %3");
}

QString figureAmount(const tuning::StepFigures& figures, tuning::Figure figure) {
    return QString("%1 %2")
        .arg(tuning::figureValue(figures, figure))
        .arg(figure == tuning::Figure::SettlingTime ? "ms" : "counts");
}

}  // namespace response
