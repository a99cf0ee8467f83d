// From one captured step disturbance test to a model of the axis: the current loop from achieved
// against target current, the controller's scaling from target current against position error,
// and the mechanics from achieved current against position, each by least squares.
#pragma once

#include <string>

#include "axis_model.h"
#include "step_record.h"

namespace tuning {

struct Identification {
    AxisModel model;
    // 100 x (1 - |y - y'| / |y - mean y|) of the model's error y' against the captured error y
    // after the step: 100 is a perfect match, 0 no better than the mean.
    double fitPercent = 0.0;
    bool usable = false;  // false: the capture shows no motion the model could be taken from
    // false: the model is shown, but gains taken from it would rest on what the capture hid (the
    // target current at its clamp) or on a fit below half; the warning says which.
    bool proposable = false;
    std::string warning;  // empty when the capture and the fit look sound
};

Identification identifyAxis(const StepRecord& record);

// The fit figure above of the model, run with the record's gains and injection, against the
// record's error: for the capture the model came from, or for a later one with other gains.
double modelFitPercent(const StepRecord& record, const AxisModel& model);

}  // namespace tuning
