#include "plot_axes.h"

#include <algorithm>
#include <cmath>

namespace response {

double niceStep(double extent, int maxSteps) {
    if (!(extent > 0) || !std::isfinite(extent)) {
        return 0.0;
    }
    const double raw = extent / std::max(1, maxSteps);
    const double decade = std::pow(10.0, std::floor(std::log10(raw)));
    for (double multiple : {1.0, 2.0, 5.0}) {
        if (multiple * decade >= raw * (1 - 1e-9)) {
            return multiple * decade;
        }
    }
    return 10.0 * decade;
}

int stepDecimals(double step) {
    if (!(step > 0)) {
        return 0;
    }
    return std::max(0, int(std::ceil(-std::log10(step) - 1e-9)));
}

std::vector<double> stepMultiples(double from, double to, double step) {
    std::vector<double> multiples;
    if (!(step > 0) || !std::isfinite(from) || !std::isfinite(to)) {
        return multiples;
    }
    const double hair = step * 1e-6;
    for (long k = long(std::ceil((from - hair) / step)); k * step <= to + hair; ++k) {
        multiples.push_back(double(k) * step);
    }
    return multiples;
}

bool keepGap(const std::vector<QRect>& labels, int gap) {
    for (size_t a = 0; a < labels.size(); ++a) {
        const QRect grown = labels[a].adjusted(-gap, -gap, gap, gap);
        for (size_t b = a + 1; b < labels.size(); ++b) {
            if (grown.intersects(labels[b])) {
                return false;
            }
        }
    }
    return true;
}

double spacedStep(double extent, int maxSteps, int gap,
                  const std::function<std::vector<QRect>(double step)>& labelsFor) {
    double step = niceStep(extent, maxSteps);
    while (step > 0 && step <= extent && !keepGap(labelsFor(step), gap)) {
        step = niceStep(step * 1.5, 1);  // 1 -> 2 -> 5 -> 10
    }
    return step;
}

}  // namespace response
