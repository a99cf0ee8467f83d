// Where the labels of a plot's axes go: steps of 1, 2 or 5 times a power of ten, written with
// as many decimals as the step needs, and never so close that one label runs into the next.
#pragma once

#include <QRect>
#include <functional>
#include <vector>

namespace response {

// The smallest such step that puts at most `maxSteps` steps into `extent` (0 for no extent).
double niceStep(double extent, int maxSteps);

// Decimals that tell the multiples of `step` apart: 0 for 5 or 20, 1 for 0.5, 2 for 0.05.
int stepDecimals(double step);

// The multiples of `step` from `from` to `to`, both included (within a hair).
std::vector<double> stepMultiples(double from, double to, double step);

// Whether every two of the rectangles keep at least `gap` pixels between them.
bool keepGap(const std::vector<QRect>& labels, int gap);

// The step of an axis's labels: niceStep(extent, maxSteps), grown to the next round step until
// the label rectangles that `labelsFor` gives for a step keep `gap` pixels apart. The rectangles
// are the text's as drawn (from its font metrics); `labelsFor` may add labels that do not move
// with the step, another axis's, to keep clear of. A step beyond the extent leaves no labels to
// collide: the growth ends there.
double spacedStep(double extent, int maxSteps, int gap,
                  const std::function<std::vector<QRect>(double step)>& labelsFor);

}  // namespace response
