// What the plot tests share: the curve colours of a rendered plot.
#pragma once

#include <QColor>
#include <QImage>

// The first curve's dark blue, antialiased on the white base.
inline bool isBlue(const QColor& c) {
    return c.red() < 140 && c.blue() - c.red() > 60;
}

// Whether any pixel of columns x0..x1, rows y0..y1 passes the test.
template <typename Test>
bool any(const QImage& image, int x0, int x1, int y0, int y1, Test test) {
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            if (test(image.pixelColor(x, y))) {
                return true;
            }
        }
    }
    return false;
}
