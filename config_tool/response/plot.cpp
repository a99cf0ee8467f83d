#include "plot.h"

#include <QLine>
#include <QLineF>
#include <QPainter>
#include <cmath>
#include <cstdlib>

namespace {
bool isFinite(const QPointF& point) {
    return std::isfinite(point.x()) && std::isfinite(point.y());
}

// Segments between neighbouring points; a non-finite point breaks the curve instead of
// sending the painter to infinity.
void drawCurve(QPainter& painter, const QList<QPointF>& curve, const PlotScales& scales) {
    for (int i = 1; i < curve.size(); ++i) {
        if (isFinite(curve[i - 1]) && isFinite(curve[i])) {
            painter.drawLine(QLineF(scales.map(curve[i - 1]), scales.map(curve[i])));
        }
    }
}
}  // namespace

QPointF PlotScales::map(const QPointF& point) const {
    return QPointF((point.x() - double(smallestX)) * double(xScale),
                   double(halfHeight) + double(yScale) * point.y());
}

int PlotScales::upperTick() const {
    return int(float(halfHeight) + yScale * range);
}

int PlotScales::lowerTick() const {
    return int(float(halfHeight) - yScale * range);
}

bool plotScales(const QList<QPointF>& curve, int width, int height, PlotScales& scales) {
    float largestY = -9999999.0f;
    float smallestY = 9999999.0f;
    float largestX = -999999.0f;
    float smallestX = 9999999.0f;
    int finitePoints = 0;
    for (const QPointF& point : curve) {
        if (!isFinite(point)) {
            continue;
        }
        ++finitePoints;
        const float x = float(point.x());
        const float y = float(point.y());
        if (y > largestY)
            largestY = y;
        if (y < smallestY)
            smallestY = y;
        if (x > largestX)
            largestX = x;
        if (x < smallestX)
            smallestX = x;
    }
    if (finitePoints < 2) {
        return false;
    }
    scales.smallestX = smallestX;
    scales.xScale = float(width) / (largestX - smallestX + 0.00001f);
    scales.halfHeight = height / 2;
    scales.range = std::max(std::fabs(smallestY), std::fabs(largestY)) + 0.00001f;
    scales.yScale = -(float(scales.halfHeight) / scales.range) / 1.3f;
    return true;
}

Plot::Plot(QWidget* parent) : QWidget(parent) {
    // One pixel wide whatever the painter's transformation, as the toolkit's pens once were.
    curvePen.setWidth(0);
    secondCurvePen.setWidth(0);
    axisPen.setWidth(0);
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
}

void Plot::addFirstCurvePoint(float x, float y) {
    firstCurve.append(QPointF(x, y));
}

void Plot::addSecondCurvePoint(float x, float y) {
    secondCurve.append(QPointF(x, y));
}

QSize Plot::sizeHint() const {
    return QSize(500, 200);
}

QSize Plot::minimumSizeHint() const {
    return QSize(100, 100);
}

void Plot::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    curvePen.setColor(QColor(0, 0, 160, 255));
    secondCurvePen.setColor(QColor(0, 128, 0, 255));
    axisPen.setColor(QColor(0, 0, 160, 100));

    painter.setPen(curvePen);
    painter.setBrush(brush);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.translate(0.5, 0.5);

    // Without two points there is no scale, and so no zero line or ticks either: just the frame.
    PlotScales scales;
    if (plotScales(firstCurve, width(), height(), scales)) {
        drawCurve(painter, firstCurve, scales);
        if (secondCurve.size() >= 2) {
            painter.setPen(secondCurvePen);
            drawCurve(painter, secondCurve, scales);
        }

        painter.setPen(axisPen);
        const int h = scales.halfHeight;
        painter.drawLine(QLine(0, h, width(), h));
        painter.drawText(2, h - 3, tr("0"));
        const int upper = scales.upperTick();
        painter.drawLine(QLine(0, upper, 15, upper));
        painter.drawText(2, upper - 3, QString::number(double(scales.range), 'f', 3));
        const int lower = scales.lowerTick();
        painter.drawLine(QLine(0, lower, 15, lower));
        painter.drawText(2, lower - 3, QString::number(-double(scales.range), 'f', 3));
    }

    painter.setPen(palette().color(QPalette::Dark));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(0, 0, width() - 1, height() - 1);
}
