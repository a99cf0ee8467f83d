// The Plot widget's scales and what it paints.
#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "plot.h"

namespace {
QList<QPointF> curveOf(std::initializer_list<QPointF> points) {
    return QList<QPointF>(points);
}

QImage render(Plot& plot, int width = 500, int height = 200) {
    plot.resize(width, height);
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(Qt::magenta);
    plot.render(&image);
    return image;
}

// The first curve (0, 0, 160), antialiased on the white base.
bool isBlue(const QColor& c) {
    return c.red() < 140 && c.blue() - c.red() > 60;
}
// The zero line and ticks: the curve colour at alpha 100.
bool isAxis(const QColor& c) {
    return std::abs(c.red() - 155) < 20 && c.blue() - c.red() > 40;
}
bool isGreen(const QColor& c) {
    return c.green() - c.red() > 40 && c.green() - c.blue() > 40;
}
// Whether any pixel of a column range of one row passes the test.
template <typename Test>
bool rowHas(const QImage& image, int y, int x0, int x1, Test test) {
    for (int x = x0; x <= x1; ++x) {
        if (test(image.pixelColor(x, y))) {
            return true;
        }
    }
    return false;
}
}  // namespace

TEST(PlotScales, WorkedExample) {
    QList<QPointF> curve;
    for (int x = 0; x < 500; ++x) {
        curve << QPointF(x, x == 100 ? -2.0 : x == 300 ? 1.0 : -0.5);
    }
    PlotScales scales;
    ASSERT_TRUE(plotScales(curve, 500, 200, scales));
    EXPECT_FLOAT_EQ(scales.range, 2.00001f);
    EXPECT_EQ(scales.halfHeight, 100);
    EXPECT_NEAR(scales.yScale, -38.46, 0.005);
    EXPECT_FLOAT_EQ(scales.xScale, 500.0f / (499.0f + 0.00001f));
    EXPECT_EQ(scales.upperTick(), 23);
    EXPECT_EQ(scales.lowerTick(), 176);
    EXPECT_EQ(QString::number(double(scales.range), 'f', 3), "2.000");
    EXPECT_EQ(QString::number(-double(scales.range), 'f', 3), "-2.000");
    EXPECT_NEAR(scales.map(QPointF(499, 0)).x(), 500.0, 0.01);

    // The ticks are drawn where the scales say, in the axis colour.
    Plot plot;
    plot.firstCurve = curve;
    QImage image = render(plot);
    EXPECT_TRUE(rowHas(image, 23, 4, 12, isAxis));
    EXPECT_TRUE(rowHas(image, 176, 4, 12, isAxis));
    EXPECT_TRUE(rowHas(image, 100, 200, 210, isAxis));  // the zero line
    EXPECT_FALSE(rowHas(image, 23, 20, 60, isAxis));    // ticks are 15 pixels long
    const int curveRow = int(scales.map(QPointF(200, -0.5)).y() + 0.5);
    EXPECT_TRUE(rowHas(image, curveRow, 195, 205, isBlue));
    EXPECT_EQ(plot.curvePen.color(), QColor(0, 0, 160, 255));
    EXPECT_EQ(plot.secondCurvePen.color(), QColor(0, 128, 0, 255));
    EXPECT_EQ(plot.axisPen.color(), QColor(0, 0, 160, 100));
}

TEST(PlotScales, SymmetricAboutTheZeroLine) {
    PlotScales scales;
    ASSERT_TRUE(plotScales(curveOf({{0, -3}, {1, 3}}), 400, 300, scales));
    const double upper = scales.map(QPointF(0, 3)).y();
    const double lower = scales.map(QPointF(0, -3)).y();
    EXPECT_NEAR(150 - upper, lower - 150, 1e-9);
    EXPECT_NEAR(150 - upper, 150 / 1.3, 0.01);

    // Positive values alone use the upper half only.
    ASSERT_TRUE(plotScales(curveOf({{0, 1}, {1, 2}, {2, 3}}), 400, 300, scales));
    for (double y : {1.0, 2.0, 3.0}) {
        EXPECT_LT(scales.map(QPointF(0, y)).y(), 150);
    }
    EXPECT_NEAR(scales.map(QPointF(0, 3)).y(), 150 - 150 / 1.3, 0.01);
}

TEST(PlotScales, AllPointsAtOneXLandAtTheLeftEdge) {
    PlotScales scales;
    ASSERT_TRUE(plotScales(curveOf({{5, -1}, {5, 1}, {5, 0}}), 500, 200, scales));
    EXPECT_TRUE(std::isfinite(scales.xScale));
    EXPECT_EQ(scales.map(QPointF(5, 1)).x(), 0.0);
}

TEST(PlotScales, AllZerosStillPutTheTicksOffTheZeroLine) {
    PlotScales scales;
    ASSERT_TRUE(plotScales(curveOf({{0, 0}, {1, 0}, {2, 0}}), 500, 200, scales));
    EXPECT_FLOAT_EQ(scales.range, 0.00001f);
    EXPECT_EQ(scales.upperTick(), 23);  // 100 - 100 / 1.3, truncated
    EXPECT_EQ(scales.lowerTick(), 176);
}

TEST(PlotScales, NonFinitePointsAreSkippedAndTooFewGiveNoScale) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    PlotScales scales;
    EXPECT_FALSE(plotScales(curveOf({}), 500, 200, scales));
    EXPECT_FALSE(plotScales(curveOf({{1, 1}}), 500, 200, scales));
    EXPECT_FALSE(plotScales(curveOf({{1, 1}, {nan, 2}, {3, inf}}), 500, 200, scales));
    ASSERT_TRUE(plotScales(curveOf({{0, 1}, {1, nan}, {2, -inf}, {4, -2}}), 500, 200, scales));
    EXPECT_FLOAT_EQ(scales.range, 2.00001f);
    EXPECT_FLOAT_EQ(scales.smallestX, 0.0f);
    EXPECT_FLOAT_EQ(scales.xScale, 500.0f / (4.0f + 0.00001f));
}

TEST(PlotWidget, SizeHintsAndEmptyCurves) {
    Plot plot;
    EXPECT_EQ(plot.sizeHint(), QSize(500, 200));
    EXPECT_EQ(plot.minimumSizeHint(), QSize(100, 100));
    EXPECT_TRUE(plot.firstCurve.isEmpty());
    EXPECT_TRUE(plot.secondCurve.isEmpty());
    EXPECT_TRUE(plot.autoFillBackground());
    EXPECT_EQ(plot.backgroundRole(), QPalette::Base);
    plot.addFirstCurvePoint(1.5f, -2.25f);
    plot.addSecondCurvePoint(3.0f, 4.0f);
    EXPECT_EQ(plot.firstCurve, curveOf({{1.5, -2.25}}));
    EXPECT_EQ(plot.secondCurve, curveOf({{3.0, 4.0}}));
}

TEST(PlotWidget, FewerThanTwoPointsDrawOnlyTheFrame) {
    Plot plot;
    plot.addFirstCurvePoint(10, 1);
    plot.addSecondCurvePoint(0, 0);
    plot.addSecondCurvePoint(499, 0);
    QImage image = render(plot);
    const QRgb background = plot.palette().color(QPalette::Base).rgb();
    for (int y = 1; y < 199; ++y) {
        ASSERT_FALSE(
            rowHas(image, y, 1, 498, [&](const QColor& c) { return c.rgb() != background; }))
            << "row " << y;
    }
    const QRgb frame = plot.palette().color(QPalette::Dark).rgb();
    EXPECT_EQ(image.pixel(0, 100), frame);
    EXPECT_EQ(image.pixel(499, 100), frame);
    EXPECT_EQ(image.pixel(250, 0), frame);
    EXPECT_EQ(image.pixel(250, 199), frame);
}

TEST(PlotWidget, SecondCurveRunsOffTheBandOfTheFirst) {
    Plot plot;
    for (int x = 0; x < 500; ++x) {
        plot.addFirstCurvePoint(float(x), x % 2 ? 1.0f : -1.0f);
        plot.addSecondCurvePoint(float(x), 1.2f);
    }
    QImage image = render(plot);
    PlotScales scales;
    ASSERT_TRUE(plotScales(plot.firstCurve, 500, 200, scales));
    const int secondRow = int(scales.map(QPointF(0, 1.2)).y() + 0.5);
    EXPECT_LT(secondRow, scales.upperTick());  // above the top of the band
    EXPECT_TRUE(rowHas(image, secondRow, 200, 300, isGreen) ||
                rowHas(image, secondRow - 1, 200, 300, isGreen));

    // Twice the first curve's size leaves the widget altogether, scales unchanged.
    PlotScales before = scales;
    plot.secondCurve.clear();
    for (int x = 0; x < 500; ++x) {
        plot.addSecondCurvePoint(float(x), 2.0f);
    }
    ASSERT_TRUE(plotScales(plot.firstCurve, 500, 200, scales));
    EXPECT_EQ(scales.yScale, before.yScale);
    EXPECT_LT(scales.map(QPointF(0, 2.0)).y(), 0.0);
    image = render(plot);
    for (int y = 1; y < 199; ++y) {
        ASSERT_FALSE(rowHas(image, y, 20, 480, isGreen)) << "row " << y;
    }
}

TEST(PlotWidget, NonFiniteCurvesPaintWithoutTrouble) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    Plot plot;
    plot.addFirstCurvePoint(0, 1);
    plot.addFirstCurvePoint(1, nan);
    plot.addFirstCurvePoint(2, -1);
    plot.addFirstCurvePoint(3, 1);
    plot.addFirstCurvePoint(inf, 0);
    plot.addSecondCurvePoint(0, -inf);
    plot.addSecondCurvePoint(3, nan);
    QImage image = render(plot);
    PlotScales scales;
    ASSERT_TRUE(plotScales(plot.firstCurve, 500, 200, scales));
    EXPECT_FLOAT_EQ(scales.xScale, 500.0f / (3.0f + 0.00001f));
    // The segment between the two good neighbours (x 2 to 3) is drawn ...
    const QPointF drawn = scales.map(QPointF(2.5, 0)) + QPointF(0.5, 0.5);
    EXPECT_TRUE(
        rowHas(image, int(drawn.y()) - 10, int(drawn.x()) - 20, int(drawn.x()) + 20, isBlue));
    // ... those touching the bad point at x 1 are not.
    const int column = int(scales.map(QPointF(0.5, 0)).x());
    for (int y = 1; y < 199; ++y) {
        ASSERT_FALSE(isBlue(image.pixelColor(column, y))) << "row " << y;
    }
}
