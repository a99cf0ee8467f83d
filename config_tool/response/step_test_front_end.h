// What the step-response test needs of its front end beyond the common one: the shown axis, the
// chosen time span, and where the downloaded capture goes.
#pragma once

#include "front_end.h"

class StepTestFrontEnd : public FrontEnd {
public:
    // 0 for "Axis 1", 1 for "Axis 2".
    virtual int shownAxis() = 0;
    // The first span choice that is on, in the order 100, 500, 2000 ms; 0 when none is.
    virtual int chosenSpanMs() = 0;
    // The last status text must be seen before the blocking download: a window paints it now.
    virtual void paintStatusNow() = 0;
    // The run with graphs: the span's label, then the 1500 downloaded samples (three slots per
    // time point) with the drive's current scale.
    virtual void showSpanLabel(const QString& label) = 0;
    virtual void showResponse(const float* samples, float currentScale) = 0;

protected:
    ~StepTestFrontEnd() = default;
};
