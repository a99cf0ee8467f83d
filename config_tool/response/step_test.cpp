// The step disturbance test behind the Test button: the drive injects a torque step on the
// shown axis while it holds position, records the scope, and computes its figures itself.
#include <QStatusBar>
#include <array>

#include "drive_link.h"
#include "morvane.h"
#include "plot.h"
#include "scope_capture.h"
#include "step_response.h"
#include "ui_plot_dialog.h"

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
    transact(kStartStepTest, uint16_t(ui.axisTabs->currentIndex()), error);
    responseSleep(span.firstWaitMs);

    if (span.label) {
        ui.statusbar->showMessage(tr("Downloading scope data..."), 3000);
        repaint();  // no events run during the download, so paint the text now
        std::array<float, kSamples> samples{};
        downloadScope(error, samples.data());  // the graphs are drawn whatever the checksum
        fillResponseCurves(samples.data(), currentScale, *plotForm->posPlot, *plotForm->torqPlot);
        plotDialog.show();
        plotForm->posPlot->repaint();
        plotForm->torqPlot->repaint();
    }
    responseSleep(span.secondWaitMs);

    const uint16_t peakError = getParam(kPeakError, error);
    const uint16_t settlingTime = getParam(kSettlingTime, error);
    const uint16_t undershoot = getParam(kUndershoot, error);
    if (reportLinkError(*this, error)) {
        return;
    }
    ui.statusbar->showMessage(stepResultText(peakError, undershoot, settlingTime));
}
