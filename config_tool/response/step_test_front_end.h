// What the step-response test needs of its front end beyond the common one: the shown axis, the
// chosen time span, and where the captured runs go.
#pragma once

#include <QThread>

#include "front_end.h"
#include "scope_capture.h"
#include "step_capture.h"

namespace response {

class StepTestFrontEnd : public drive_link::FrontEnd {
public:
    // 0 for "Axis 1", 1 for "Axis 2".
    virtual int shownAxis() = 0;
    // The first span choice that is on, in the order 100, 500, 2000 ms; 0 when none is.
    virtual int chosenSpanMs() = 0;
    // The last status text must be seen before the blocking download: a window paints it now.
    virtual void paintStatusNow() = 0;
    // The run with graphs: the span's label, then the capture as soon as it is downloaded, and
    // the same capture with the drive's figures once they are read.
    virtual void showSpanLabel(const QString& label) = 0;
    // The settings the run went with on that axis, as the front end holds them.
    virtual StepCapture runSettings(int axis) = 0;
    virtual void showCapture(const StepCapture& capture) = 0;
    virtual void keepCapture(StepCapture capture) = 0;
    // The scope download begins, the long part of a run with graphs; the window's status text
    // already covers it, a command line names the phase.
    virtual void downloadingScope() {}
    // Where the download's sample table goes: a window's user has no trace, a script's standard
    // error is for its messages.
    virtual SampleTables sampleTables() { return SampleTables::OnStandardError; }
    // The test's waits for the drive to capture: the real time on a drive, a line in a
    // transcript.
    virtual void waitMilliseconds(unsigned long milliseconds) { QThread::msleep(milliseconds); }

protected:
    ~StepTestFrontEnd() = default;
};

}  // namespace response
