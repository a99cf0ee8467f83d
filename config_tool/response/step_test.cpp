#include "step_test.h"

#include <array>

#include "drive_link.h"
#include "link_error_report.h"
#include "scope_capture.h"
#include "step_response.h"
#include "step_test_front_end.h"

void runStepTest(StepTestFrontEnd& frontEnd) {
    using namespace step_response;
    bool error = false;
    frontEnd.showStatus(frontEnd.translate("Running test response test..."), 3000);
    const float currentScale = float(int16_t(getParam(kCurrentScale, error)));

    const int spanMs = frontEnd.chosenSpanMs();
    const ResponseSpan& span = chooseResponseSpan(spanMs == 100, spanMs == 500, spanMs == 2000);
    if (span.label) {
        frontEnd.showSpanLabel(frontEnd.translate(span.label));
    }

    clearScopeChannels();
    addScopeChannel(kPositionErrorChannel);
    addScopeChannel(kTargetCurrentChannel);
    addScopeChannel(kAchievedCurrentChannel);
    sendScopeChannels(error);
    startScopeCapture(span.divider, kSamples, kCaptureSetting, error);
    const int axis = frontEnd.shownAxis();
    transact(kStartStepTest, uint16_t(axis), error);
    responseSleep(span.firstWaitMs);

    StepCapture capture;
    if (span.label) {
        frontEnd.showStatus(frontEnd.translate("Downloading scope data..."), 3000);
        frontEnd.paintStatusNow();  // no events run during the download
        std::array<float, kSamples> samples{};
        downloadScope(error, samples.data());  // the graphs are drawn whatever the checksum
        capture = frontEnd.runSettings(axis);
        capture.spanMs = (span.divider + 1) * kSpanMsPerDividerStep;
        capture.points = capturePoints(samples.data(), kTimePoints, currentScale);
        frontEnd.showCapture(capture);
    }
    responseSleep(span.secondWaitMs);

    const uint16_t peakError = getParam(kPeakError, error);
    const uint16_t settlingTime = getParam(kSettlingTime, error);
    const uint16_t undershoot = getParam(kUndershoot, error);
    if (span.label) {
        capture.figuresRead = !error;
        capture.peakError = peakError;
        capture.undershoot = undershoot;
        capture.settlingTimeMs = settlingTime;
        frontEnd.keepCapture(std::move(capture));
    }
    if (reportLinkError(frontEnd, error)) {
        return;
    }
    frontEnd.showStatus(stepResultText(peakError, undershoot, settlingTime), 0);
}
