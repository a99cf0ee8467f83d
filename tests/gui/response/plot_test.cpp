// The Plot widget's scales and what it paints.
#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <limits>

#include "plot.h"
#include "response_test_support.h"

using namespace response;

namespace {
QImage render(Plot& plot) {
    plot.resize(500, 200);
    QImage image(500, 200, QImage::Format_ARGB32);
    image.fill(Qt::magenta);
    plot.render(&image);
    return image;
}

// The zero line and ticks: the curve colour at alpha 100.
bool isAxis(const QColor& c) {
    return std::abs(c.red() - 155) < 20 && c.blue() - c.red() > 40;
}
}  // namespace

TEST(PlotScales, WorkedExampleAndItsTicks) {
    Plot plot;
    for (int x = 0; x < 500; ++x) {
        plot.addFirstCurvePoint(float(x), x == 100 ? -2.0f : x == 300 ? 1.0f : -0.5f);
    }
    PlotScales scales;
    ASSERT_TRUE(plotScales(plot.firstCurve, 500, 200, scales));
    EXPECT_FLOAT_EQ(scales.range, 2.00001f);
    EXPECT_EQ(scales.halfHeight, 100);
    EXPECT_NEAR(scales.yScale, -38.46, 0.005);
    EXPECT_NEAR(scales.map(QPointF(499, 0)).x(), 500.0, 0.01);
    EXPECT_EQ(scales.upperTick(), 23);
    EXPECT_EQ(scales.lowerTick(), 176);

    QImage image = render(plot);
    EXPECT_TRUE(any(image, 4, 12, 23, 23, isAxis));
    EXPECT_TRUE(any(image, 4, 12, 176, 176, isAxis));
    EXPECT_FALSE(any(image, 20, 60, 23, 23, isAxis));     // ticks are 15 pixels long
    EXPECT_TRUE(any(image, 200, 210, 100, 100, isAxis));  // the zero line
    const int curveRow = int(scales.map(QPointF(200, -0.5)).y() + 0.5);
    EXPECT_TRUE(any(image, 195, 205, curveRow, curveRow, isBlue));
}

TEST(PlotScales, SymmetricAboutTheZeroLineAndDegenerateCurves) {
    PlotScales scales;
    ASSERT_TRUE(plotScales({{0, -3}, {1, 3}}, 400, 300, scales));
    EXPECT_NEAR(150 - scales.map(QPointF(0, 3)).y(), 150 / 1.3, 0.01);
    EXPECT_NEAR(scales.map(QPointF(0, -3)).y() - 150, 150 / 1.3, 0.01);

    ASSERT_TRUE(plotScales({{5, -1}, {5, 1}, {5, 0}}, 500, 200, scales));  // all at one x
    EXPECT_TRUE(std::isfinite(scales.xScale));
    EXPECT_EQ(scales.map(QPointF(5, 1)).x(), 0.0);
    ASSERT_TRUE(plotScales({{0, 0}, {1, 0}, {2, 0}}, 500, 200, scales));  // all zeros
    EXPECT_FLOAT_EQ(scales.range, 0.00001f);
    EXPECT_EQ(scales.upperTick(), 23);
    EXPECT_EQ(scales.lowerTick(), 176);

    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_FALSE(plotScales({}, 500, 200, scales));
    EXPECT_FALSE(plotScales({{1, 1}}, 500, 200, scales));
    EXPECT_FALSE(plotScales({{1, 1}, {nan, 2}, {3, inf}}, 500, 200, scales));
    ASSERT_TRUE(plotScales({{0, 1}, {1, nan}, {2, -inf}, {4, -2}}, 500, 200, scales));
    EXPECT_FLOAT_EQ(scales.range, 2.00001f);
    EXPECT_FLOAT_EQ(scales.xScale, 500.0f / (4.0f + 0.00001f));
}
