// What the response tests share: the wire sequence of a scope download, the capture the
// simulated drive holds, and the curve colours of a rendered plot.
#pragma once

#include <QColor>
#include <QImage>
#include <string>

#include "morvane_test_support.h"
#include "scope_bench.h"

// The frames a download of `samples` samples sends: the opening checksum request, pipelined
// reads of two samples each whose last two are no-ops collecting the last replies, then the
// closing checksum request and the two no-ops that bring its answer.
inline Frames scopeDownloadFrames(int samples) {
    Frames frames{{120, 10}, {13, 0}, {13, 2}};
    for (int i = 0; i < samples / 2; ++i) {
        frames.push_back(i < samples / 2 - 2 ? Frame{13, 2 * i + 4} : Frame{2, 0});
    }
    return frames + Frames{{120, 10}, {2, 0}, {2, 0}};
}

// Rows of the sample table a download dumps on standard error.
inline size_t tableRows(const std::string& err) {
    size_t rows = 0;
    for (size_t at = err.find(" \n "); at != std::string::npos; at = err.find(" \n ", at + 1)) {
        ++rows;
    }
    return rows;
}

inline drive_sim::ScopeBench& scopeOf(FerroxBench& bench) {
    return *dynamic_cast<drive_sim::ScopeBench*>(bench.firmware.extension());
}

// The first curve's dark blue and the second curve's green, antialiased on the white base.
inline bool isBlue(const QColor& c) {
    return c.red() < 140 && c.blue() - c.red() > 60;
}
inline bool isGreen(const QColor& c) {
    return c.green() - c.red() > 40 && c.green() - c.blue() > 40;
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
