// What the response tests share: the wire sequence of a scope download, the capture the
// simulated drive holds, the form's start values, and the curve colours of a rendered plot.
#pragma once

#include <QColor>
#include <string>

#include "ferrox_factory.h"
#include "morvane_test_support.h"
#include "scope_bench.h"

// The frames a download of `samples` samples sends: checksum request, pipelined reads of two
// samples each, two no-ops collecting the last replies, then the checksum read.
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

// Gains, currents and follow-error limit of a freshly set-up drive, on both axes.
inline void setStartValues(FerroxBench& bench) {
    for (uint16_t offset : {uint16_t(0), drive_sim::ferrox::kAxis2Offset}) {
        for (auto [number, value] : {std::pair<int, uint16_t>{200, 500},
                                     {201, 100},
                                     {202, 500},
                                     {410, 2000},
                                     {411, 4000},
                                     {20, 500}}) {
            bench.firmware.setParam(uint16_t(number + offset), value);
        }
    }
}

// The first curve's dark blue and the second curve's green, antialiased on the white base.
inline bool isBlue(const QColor& c) {
    return c.red() < 140 && c.blue() - c.red() > 60;
}
inline bool isGreen(const QColor& c) {
    return c.green() - c.red() > 40 && c.green() - c.blue() > 40;
}
