// Parameter access over the two-frame answer lag.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "drive_link.h"
#include "output_capture.h"
#include "sim_fixture.h"

namespace {
using Frames = std::vector<std::pair<int, int>>;

Frames framesOf(const drive_sim::SimulatedAdapter& adapter, size_t from) {
    Frames frames;
    for (size_t i = from; i < adapter.frameLog().size(); ++i) {
        frames.emplace_back(adapter.frameLog()[i].command, adapter.frameLog()[i].value);
    }
    return frames;
}
}  // namespace

TEST(GetParam, ReturnsTheThirdReplyNotTheEarlierOnes) {
    FerroxBench bench = installFerroxDrive();
    bench.firmware.setParam(6010, 2210);
    bench.firmware.setParam(6012, 1990);
    bench.firmware.setParam(6020, 250);
    ASSERT_TRUE(openLink(true));
    bool error = false;
    // Two requests in flight, so the first two replies of the read carry other values.
    transact(52, 6010, error);
    transact(52, 6012, error);
    size_t start = bench.adapter.frameLog().size();
    OutputCapture capture;
    EXPECT_EQ(getParam(6020, error), 250);
    EXPECT_FALSE(error);
    EXPECT_EQ(framesOf(bench.adapter, start), (Frames{{52, 6020}, {2, 0}, {2, 0}}));
    EXPECT_EQ(uint16_t(bench.adapter.frameLog()[start].reply >> 8), 2210);
    EXPECT_EQ(uint16_t(bench.adapter.frameLog()[start + 1].reply >> 8), 1990);
    std::string out = capture.out();
    EXPECT_EQ(out.substr(out.size() - 9), "6020=250\n");
}

TEST(SetParam, SendsContentThenNumberAndTracesTheWriteEvenWhenQuietButNotForTheFlasher) {
    FerroxBench bench = installFerroxDrive();
    ASSERT_TRUE(openLink(true));
    size_t start = bench.adapter.frameLog().size();
    bool error = false;
    quietTrace = true;
    OutputCapture capture;
    setParam(410, 2600, error);
    quietTrace = false;
    EXPECT_EQ(capture.out(), "Setparam 410 = 2600\n");
    EXPECT_EQ(framesOf(bench.adapter, start), (Frames{{50, 2600}, {51, 410}}));
    EXPECT_EQ(bench.firmware.param(410), 2600);
    EXPECT_FALSE(error);

    setLinkDialect(LinkDialect::Bootloader);
    setParam(410, 1, error);
    setLinkDialect(LinkDialect::Firmware);
    EXPECT_EQ(capture.out().find("Setparam", 1), std::string::npos);
}
