// Where the labels of a plot's axes go: steps of 1, 2 or 5 times a power of ten, written with
// as many decimals as the step needs.
#pragma once

#include <vector>

namespace response {

// The smallest such step that puts at most `maxSteps` steps into `extent` (0 for no extent).
double niceStep(double extent, int maxSteps);

// Decimals that tell the multiples of `step` apart: 0 for 5 or 20, 1 for 0.5, 2 for 0.05.
int stepDecimals(double step);

// The multiples of `step` from `from` to `to`, both included (within a hair).
std::vector<double> stepMultiples(double from, double to, double step);

}  // namespace response
