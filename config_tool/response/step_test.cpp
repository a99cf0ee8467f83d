// The step disturbance test behind the Test button: the drive injects a torque step on the
// shown axis while it holds position, records the scope, and computes its figures itself.
#include <QStatusBar>
#include <array>

#include "drive_link.h"
#include "morvane.h"
#include "plot.h"
#include "scope_capture.h"
#include "step_response.h"
#include "step_test_view.h"
#include "ui_plot_dialog.h"

namespace {
// The run's settings as the form holds them for the shown axis: what Apply last sent, unless
// the user has edited them since (reading them back would add traffic to the test).
StepCapture captureSettings(const Ui::MainWindowForm& ui, int axis, int spanMs) {
    const bool first = axis == 0;
    StepCapture capture;
    capture.axis = axis;
    capture.spanMs = spanMs;
    capture.gainP = (first ? ui.gainPM1 : ui.gainPM2)->value();
    capture.gainI = (first ? ui.gainIM1 : ui.gainIM2)->value();
    capture.gainD = (first ? ui.gainDM1 : ui.gainDM2)->value();
    capture.peakCurrentMa = (first ? ui.peakcurrM1 : ui.peakcurrM2)->value();
    capture.continuousCurrentMa = (first ? ui.contcurrM1 : ui.contcurrM2)->value();
    return capture;
}
}  // namespace

void Morvane::on_testButton_clicked() {
    using namespace step_response;
    bool error = false;
    ui.statusbar->showMessage(tr("Running test response test..."), 3000);
    const float currentScale = float(int16_t(getParam(kCurrentScale, error)));

    const ResponseSpan& span = chooseResponseSpan(
        ui.span_100_ms->isChecked(), ui.span_500_ms->isChecked(), ui.span_2000_ms->isChecked());
    if (span.label) {
        plotForm->timespan->setText(tr(span.label));
    }

    clearScopeChannels();
    addScopeChannel(kPositionErrorChannel);
    addScopeChannel(kTargetCurrentChannel);
    addScopeChannel(kAchievedCurrentChannel);
    sendScopeChannels(error);
    startScopeCapture(span.divider, kSamples, kCaptureSetting, error);
    const int axis = ui.axisTabs->currentIndex();
    transact(kStartStepTest, uint16_t(axis), error);
    responseSleep(span.firstWaitMs);

    StepCapture capture;
    if (span.label) {
        ui.statusbar->showMessage(tr("Downloading scope data..."), 3000);
        repaint();  // no events run during the download, so paint the text now
        std::array<float, kSamples> samples{};
        downloadScope(error, samples.data());  // the graphs are drawn whatever the checksum
        capture = captureSettings(ui, axis, (span.divider + 1) * kSpanMsPerDividerStep);
        capture.points = capturePoints(samples.data(), kTimePoints, currentScale);
        responseView->showCapture(capture);
        plotDialog.show();
        plotForm->posPlot->repaint();
        plotForm->torqPlot->repaint();
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
        responseView->keep(std::move(capture));
    }
    if (reportLinkError(*this, error)) {
        return;
    }
    ui.statusbar->showMessage(stepResultText(peakError, undershoot, settlingTime));
}
