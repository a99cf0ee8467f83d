// The response dialog's curves from a captured step test.
#pragma once

#include <vector>

#include "step_capture.h"

namespace response {

class Plot;

// Empties all four curves and refills them from a capture, x the time point's index: the
// position error on `posPlot`, target and achieved current on `torqPlot`.
void fillResponseCurves(const std::vector<CapturePoint>& points, Plot& posPlot, Plot& torqPlot);

}  // namespace response
