#include "step_test.h"

#include <array>

#include "drive_link.h"
#include "ferrox_operations.h"
#include "link_error_report.h"
#include "scope_capture.h"
#include "step_response.h"
#include "step_test_front_end.h"

namespace response {

using drive_link::getParam;
using drive_link::linkOutcome;
using drive_link::Outcome;

StepTestOutcome runStepTest(drive_link::Link& link, StepTestFrontEnd& frontEnd) {
    using namespace step_response;
    bool error = false;
    frontEnd.showStatus(frontEnd.translate("Running test response test..."), 3000);
    const float currentScale = float(int16_t(getParam(link, kCurrentScale, error)));

    const int spanMs = frontEnd.chosenSpanMs();
    const ResponseSpan& span = chooseResponseSpan(spanMs == 100, spanMs == 500, spanMs == 2000);
    if (span.label) {
        frontEnd.showSpanLabel(frontEnd.translate(span.label));
    }

    Scope scope(frontEnd.sampleTables());
    scope.addChannel(kPositionErrorChannel);
    scope.addChannel(kTargetCurrentChannel);
    scope.addChannel(kAchievedCurrentChannel);
    scope.sendChannels(link, error);
    scope.startCapture(link, span.divider, kSamples, kCaptureSetting, error);
    const int axis = frontEnd.shownAxis();
    ferrox::startStepTest(link, axis, error);
    frontEnd.waitMilliseconds(span.firstWaitMs);

    StepCapture capture;
    bool corrupted = false;
    if (span.label) {
        frontEnd.showStatus(frontEnd.translate("Downloading scope data..."), 3000);
        frontEnd.paintStatusNow();  // no events run during the download
        frontEnd.downloadingScope();
        std::array<float, kSamples> samples{};
        // The graphs are drawn whatever the checksum; a link already down proves nothing.
        const bool linkWasUp = !error;
        corrupted = !scope.download(link, error, samples.data()) && linkWasUp && !error;
        capture = frontEnd.runSettings(axis);
        capture.spanMs = (span.divider + 1) * kSpanMsPerDividerStep;
        capture.points = capturePoints(samples.data(), kTimePoints, currentScale);
        capture.curvesSaturated = samplesSaturated(samples.data(), kSamples);
        frontEnd.showCapture(capture);
    }
    frontEnd.waitMilliseconds(span.secondWaitMs);

    StepFigures figures;
    figures.peakError = getParam(link, kPeakError, error);
    figures.settlingTimeMs = getParam(link, kSettlingTime, error);
    figures.undershoot = getParam(link, kUndershoot, error);
    if (span.label) {
        capture.figuresRead = !error;
        capture.peakError = figures.peakError;
        capture.undershoot = figures.undershoot;
        capture.settlingTimeMs = figures.settlingTimeMs;
        frontEnd.keepCapture(capture);
    }
    const Outcome outcome = linkOutcome(link, frontEnd, error);
    if (outcome.succeeded()) {
        frontEnd.showStatus(
            stepResultText(figures.peakError, figures.undershoot, figures.settlingTimeMs), 0);
    }
    return {outcome, figures, corrupted, std::move(capture)};
}

}  // namespace response
