#include "response_curves.h"

#include "plot.h"

namespace response {

void fillResponseCurves(const std::vector<CapturePoint>& points, Plot& posPlot, Plot& torqPlot) {
    posPlot.firstCurve = QList<QPointF>();
    posPlot.secondCurve = QList<QPointF>();
    torqPlot.firstCurve = QList<QPointF>();
    torqPlot.secondCurve = QList<QPointF>();
    for (size_t t = 0; t < points.size(); ++t) {
        const float x = float(t);
        torqPlot.addFirstCurvePoint(x, points[t].targetAmps);
        torqPlot.addSecondCurvePoint(x, points[t].achievedAmps);
        posPlot.addFirstCurvePoint(x, points[t].errorCounts);
    }
}

}  // namespace response
