// A small graph of up to two curves. The first curve sets the scales; the second is drawn with
// them, so two curves of the same quantity (target and achieved current) can be compared.
// Earlier runs may be drawn faded behind them, a light grid with labels at round steps marks
// the values and, once the time per x unit is known, the time in ms along the bottom.
#pragma once

#include <QBrush>
#include <QColor>
#include <QList>
#include <QPen>
#include <QPointF>
#include <QRect>
#include <QString>
#include <QWidget>
#include <vector>

class QPainter;

namespace response {

// Where the first curve's points land in a widget of the given size.
struct PlotScales {
    float smallestX = 0;
    float xScale = 0;
    int halfHeight = 0;
    float range = 0;  // the largest magnitude of y, plus a hair so it is never zero
    float yScale = 0;

    QPointF map(const QPointF& point) const;
    int upperTick() const;
    int lowerTick() const;
    // The x and the y that land on a pixel column and row.
    double xAt(double pixelX) const;
    double yAt(double pixelY) const;
    // Widens the value range so that a magnitude fits into the band too.
    void cover(float magnitude);
};

// The scales for a curve; false when it has fewer than two finite points.
bool plotScales(const QList<QPointF>& curve, int width, int height, PlotScales& scales);

class Plot : public QWidget {
    Q_OBJECT

public:
    explicit Plot(QWidget* parent = nullptr);

    void addFirstCurvePoint(float x, float y);
    void addSecondCurvePoint(float x, float y);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    QPen curvePen;
    QPen secondCurvePen;
    QPen axisPen;
    QBrush brush;
    QList<QPointF> firstCurve;
    QList<QPointF> secondCurve;

    // An earlier run, drawn faded with the scales of the curves above: its first curve solid,
    // its second dashed. Its x are in the same time units as the first curve's.
    struct FadedRun {
        QList<QPointF> first;
        QList<QPointF> second;
        QColor colour;
    };
    QList<FadedRun> fadedRuns;
    // A prediction drawn dashed in black over the first curve, with the same x.
    QList<QPointF> predictedCurve;
    double msPerX = 0;  // time per x unit; 0 leaves out the time axis
    QString unit;       // of y, for the readout

    // The scales of the present size: the first curve's, widened for the faded runs' first
    // curves and the prediction so that every shown curve stays in the band. False without two
    // finite points.
    bool currentScales(PlotScales& scales) const;
    double timeAtPixel(double pixelX) const;
    // "12.4 ms, 20.5 counts" for the point under a pixel; empty when there are no scales.
    QString readoutAt(const QPointF& pixel) const;
    // Where the axes' labels are drawn at the present size, the values' and the times'.
    std::vector<QRect> labelRects() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct AxisLabel {
        QPoint baseline;
        QString text;
        QRect rect;  // as the widget's font draws the text at its baseline
    };
    struct AxisSteps {
        double value = 0.0;
        double time = 0.0;  // 0 without a time axis
    };
    AxisSteps axisSteps(const PlotScales& scales) const;
    std::vector<AxisLabel> valueLabels(const PlotScales& scales, double step) const;
    std::vector<AxisLabel> timeLabels(const PlotScales& scales, double step) const;
    std::vector<AxisLabel> axisLabels(const PlotScales& scales, const AxisSteps& steps) const;
    AxisLabel labelAt(int left, int baseline, const QString& text) const;
    void drawGrid(QPainter& painter, const PlotScales& scales, const AxisSteps& steps) const;
};

}  // namespace response
