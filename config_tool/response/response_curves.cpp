#include "response_curves.h"

#include "plot.h"
#include "step_response.h"

void fillResponseCurves(const float* samples, float currentScale, Plot& posPlot, Plot& torqPlot) {
    posPlot.firstCurve = QList<QPointF>();
    posPlot.secondCurve = QList<QPointF>();
    torqPlot.firstCurve = QList<QPointF>();
    torqPlot.secondCurve = QList<QPointF>();

    const float divisor = currentScale == 0.0f ? 1.0f : currentScale;
    for (int k = 0; k < step_response::kSamples; ++k) {
        const float x = float(k / step_response::kSlots);
        const float v = samples[k];
        switch (k % step_response::kSlots) {
            case 0:
                torqPlot.addFirstCurvePoint(x, v / divisor);
                break;
            case 1:
                torqPlot.addSecondCurvePoint(x, v / divisor);
                break;
            default:
                posPlot.addFirstCurvePoint(x, v);
                break;
        }
    }
}
