// A small graph of up to two curves. The first curve sets the scales; the second is drawn with
// them, so two curves of the same quantity (target and achieved current) can be compared.
#pragma once

#include <QBrush>
#include <QList>
#include <QPen>
#include <QPointF>
#include <QWidget>

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

protected:
    void paintEvent(QPaintEvent* event) override;
};
