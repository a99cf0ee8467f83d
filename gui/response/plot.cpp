#include "plot.h"

#include <QFontMetrics>
#include <QLine>
#include <QLineF>
#include <QPainter>
#include <QPolygonF>
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "plot_axes.h"

namespace response {

namespace {
bool isFinite(const QPointF& point) {
    return std::isfinite(point.x()) && std::isfinite(point.y());
}

// Segments between neighbouring points; a non-finite point breaks the curve instead of
// sending the painter to infinity.
// Each stretch of finite points is one polyline, so that a dashed pen keeps its pattern along
// the curve instead of starting it anew at every sample.
void drawCurve(QPainter& painter, const QList<QPointF>& curve, const PlotScales& scales) {
    QPolygonF stretch;
    auto drawStretch = [&] {
        if (stretch.size() >= 2) {
            painter.drawPolyline(stretch);
        }
        stretch.clear();
    };
    for (const QPointF& point : curve) {
        if (isFinite(point)) {
            stretch << scales.map(point);
        } else {
            drawStretch();
        }
    }
    drawStretch();
}

float largestMagnitude(const QList<QPointF>& curve) {
    float largest = 0;
    for (const QPointF& point : curve) {
        if (isFinite(point)) {
            largest = std::max(largest, float(std::fabs(point.y())));
        }
    }
    return largest;
}

const QColor kGridColour(0, 0, 0, 28);
constexpr int kFadedAlpha = 90;
constexpr int kPixelsPerValueLabel = 22;
constexpr int kPixelsPerTimeLabel = 60;
constexpr float kSmallestLabelledRange = 0.001f;
// Pixels between neighbouring labels' text, so that each reads as a number of its own.
constexpr int kLabelGap = 4;

template <typename Labels>
std::vector<QRect> rectsOf(const Labels& labels) {
    std::vector<QRect> rects;
    for (const auto& label : labels) {
        rects.push_back(label.rect);
    }
    return rects;
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

double PlotScales::xAt(double pixelX) const {
    return pixelX / double(xScale) + double(smallestX);
}

double PlotScales::yAt(double pixelY) const {
    return (pixelY - double(halfHeight)) / double(yScale);
}

void PlotScales::cover(float magnitude) {
    if (magnitude + 0.00001f > range) {
        range = magnitude + 0.00001f;
        yScale = -(float(halfHeight) / range) / 1.3f;
    }
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

bool Plot::currentScales(PlotScales& scales) const {
    if (!plotScales(firstCurve, width(), height(), scales)) {
        return false;
    }
    for (const FadedRun& run : fadedRuns) {
        scales.cover(largestMagnitude(run.first));
    }
    scales.cover(largestMagnitude(predictedCurve));
    return true;
}

double Plot::timeAtPixel(double pixelX) const {
    PlotScales scales;
    return currentScales(scales) ? scales.xAt(pixelX) * msPerX : 0.0;
}

QString Plot::readoutAt(const QPointF& pixel) const {
    PlotScales scales;
    if (!currentScales(scales)) {
        return QString();
    }
    const int decimals = stepDecimals(niceStep(double(scales.range), 3)) + 1;
    const QString value = QString::number(scales.yAt(pixel.y()), 'f', decimals) + ' ' + unit;
    if (msPerX <= 0) {
        return value.trimmed();
    }
    return QString("%1 ms, %2").arg(scales.xAt(pixel.x()) * msPerX, 0, 'f', 1).arg(value).trimmed();
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
    if (currentScales(scales)) {
        const AxisSteps steps = axisSteps(scales);
        drawGrid(painter, scales, steps);
        for (const FadedRun& run : fadedRuns) {
            QColor colour = run.colour;
            colour.setAlpha(kFadedAlpha);
            QPen faded(colour, 0);
            painter.setPen(faded);
            drawCurve(painter, run.first, scales);
            faded.setStyle(Qt::DashLine);
            painter.setPen(faded);
            drawCurve(painter, run.second, scales);
        }
        painter.setPen(curvePen);
        drawCurve(painter, firstCurve, scales);
        painter.setPen(QPen(Qt::black, 0, Qt::DashLine));
        drawCurve(painter, predictedCurve, scales);
        if (secondCurve.size() >= 2) {
            painter.setPen(secondCurvePen);
            drawCurve(painter, secondCurve, scales);
        }

        painter.setPen(axisPen);
        const int h = scales.halfHeight;
        painter.drawLine(QLine(0, h, width(), h));
        const int upper = scales.upperTick();
        painter.drawLine(QLine(0, upper, 15, upper));
        const int lower = scales.lowerTick();
        painter.drawLine(QLine(0, lower, 15, lower));
        for (const AxisLabel& label : axisLabels(scales, steps)) {
            painter.drawText(label.baseline, label.text);
        }
    }

    painter.setPen(palette().color(QPalette::Dark));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(0, 0, width() - 1, height() - 1);
}

Plot::AxisLabel Plot::labelAt(int left, int baseline, const QString& text) const {
    return {QPoint(left, baseline), text,
            fontMetrics().boundingRect(text).translated(left, baseline)};
}

std::vector<Plot::AxisLabel> Plot::valueLabels(const PlotScales& scales, double step) const {
    // The zero line's label, then values at round steps in the plot's unit.
    std::vector<AxisLabel> labels{labelAt(2, scales.halfHeight - 3, tr("0"))};
    const double range = double(scales.range);
    for (double value : stepMultiples(-range, range, step)) {
        if (std::fabs(value) > step / 2) {
            const int row = int(scales.map(QPointF(0, value)).y());
            labels.push_back(labelAt(2, row - 3, QString::number(value, 'f', stepDecimals(step))));
        }
    }
    return labels;
}

std::vector<Plot::AxisLabel> Plot::timeLabels(const PlotScales& scales, double step) const {
    // Times along the bottom, the last one with its unit and kept inside the frame.
    std::vector<AxisLabel> labels;
    const std::vector<double> times = stepMultiples(step, scales.xAt(width()) * msPerX, step);
    for (size_t i = 0; i < times.size(); ++i) {
        QString text = QString::number(times[i], 'f', stepDecimals(step));
        if (i + 1 == times.size()) {
            text += " ms";
        }
        const int advance = fontMetrics().horizontalAdvance(text);
        const int column = int(scales.map(QPointF(times[i] / msPerX, 0)).x());
        labels.push_back(
            labelAt(std::min(column - advance / 2, width() - 3 - advance), height() - 4, text));
    }
    return labels;
}

Plot::AxisSteps Plot::axisSteps(const PlotScales& scales) const {
    AxisSteps steps;
    if (msPerX > 0) {
        steps.time =
            spacedStep(scales.xAt(width()) * msPerX, std::max(2, width() / kPixelsPerTimeLabel),
                       kLabelGap, [&](double step) { return rectsOf(timeLabels(scales, step)); });
    }
    // A curve of zeros has only the hair of a range: no steps inside it are worth a label.
    if (scales.range >= kSmallestLabelledRange) {
        // The values keep clear of the times, which are placed first.
        const std::vector<QRect> times = rectsOf(timeLabels(scales, steps.time));
        steps.value =
            spacedStep(double(scales.range), std::max(1, scales.halfHeight / kPixelsPerValueLabel),
                       kLabelGap, [&](double step) {
                           std::vector<QRect> all = rectsOf(valueLabels(scales, step));
                           all.insert(all.end(), times.begin(), times.end());
                           return all;
                       });
    }
    return steps;
}

std::vector<Plot::AxisLabel> Plot::axisLabels(const PlotScales& scales,
                                              const AxisSteps& steps) const {
    std::vector<AxisLabel> labels = valueLabels(scales, steps.value);
    const std::vector<AxisLabel> times = timeLabels(scales, steps.time);
    labels.insert(labels.end(), times.begin(), times.end());
    return labels;
}

std::vector<QRect> Plot::labelRects() const {
    PlotScales scales;
    return currentScales(scales) ? rectsOf(axisLabels(scales, axisSteps(scales)))
                                 : std::vector<QRect>();
}

void Plot::drawGrid(QPainter& painter, const PlotScales& scales, const AxisSteps& steps) const {
    painter.setPen(QPen(kGridColour, 0));
    const double range = double(scales.range);
    for (double value : stepMultiples(-range, range, steps.value)) {
        if (std::fabs(value) > steps.value / 2) {  // the zero line has its own pen
            const double row = scales.map(QPointF(0, value)).y();
            painter.drawLine(QLineF(0, row, width(), row));
        }
    }
    for (double ms : stepMultiples(steps.time, scales.xAt(width()) * msPerX, steps.time)) {
        const double column = scales.map(QPointF(ms / msPerX, 0)).x();
        painter.drawLine(QLineF(column, 0, column, height()));
    }
}

}  // namespace response
