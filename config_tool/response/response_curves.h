// The response dialog's curves from the downloaded samples of a step test.
#pragma once

class Plot;

// Empties all four curves and refills them from the downloaded samples: the position error on
// `posPlot`, target and achieved current in amperes on `torqPlot`. A current scale of 0 (a
// drive that reports none) leaves the currents in the drive's counts instead of dividing by 0.
void fillResponseCurves(const float* samples, float currentScale, Plot& posPlot, Plot& torqPlot);
