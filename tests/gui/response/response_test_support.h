// What the dialog's tests share: the curve colours of a rendered plot, and a run of the
// simulated drive as the dialog keeps it.
#pragma once

#include <QColor>
#include <QImage>

#include "simulated_step.h"
#include "step_capture.h"

// The first curve's dark blue, antialiased on the white base.
inline bool isBlue(const QColor& c) {
    return c.red() < 140 && c.blue() - c.red() > 60;
}

// Whether any pixel of columns x0..x1, rows y0..y1 passes the test.
template <typename Test>
bool any(const QImage& image, int x0, int x1, int y0, int y1, Test test) {
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            if (test(image.pixelColor(x, y))) {
                return true;
            }
        }
    }
    return false;
}

// The run as the dialog keeps it, from the simulated drive's step test.
inline response::StepCapture dialogRun(
    const tuning::DriveGains& gains,
    const drive_sim::ServoTuning& servo = simulated_step::factoryAxis()) {
    const auto axis = simulated_step::withGains(servo, gains);
    return simulated_step::responseCapture(axis, simulated_step::runStepTest(axis, {}, 9));
}
