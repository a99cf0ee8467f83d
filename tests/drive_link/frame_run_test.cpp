// Runs of frames on the fast link: the bytes of a stream, its gaps and padding, and a stop
// request in the middle of a run.
#include <gtest/gtest.h>

#include <vector>

#include "drive_link.h"
#include "ferrox_protocol.h"
#include "frame_run.h"
#include "sim_fixture.h"

using namespace drive_link;

namespace {
// The 33 bytes of a word, as the standard link writes them.
std::vector<uint8_t> wordBytes(uint16_t word) {
    std::vector<uint8_t> bytes;
    for (int bit = 0; bit < 16; ++bit) {
        const bool one = (word >> bit) & 1;
        bytes.push_back(one ? 9 : 8);
        bytes.push_back(one ? 1 : 0);
    }
    bytes.push_back(0);
    return bytes;
}

std::vector<uint8_t> frameWords(uint16_t command, uint16_t value, size_t gapBytes) {
    const uint8_t crc = frameCrc(uint8_t(command), value);
    std::vector<uint8_t> bytes = wordBytes(uint16_t(((value & 0xFF) << 8) | crc));
    bytes.insert(bytes.end(), gapBytes, 0);
    const std::vector<uint8_t> high = wordBytes(uint16_t((command << 8) | (value >> 8)));
    bytes.insert(bytes.end(), high.begin(), high.end());
    return bytes;
}
}  // namespace

// Three frames in one write: the words back to back with the gap between them, the end padded
// with idle bytes to whole 62-byte IN packets, and the latency timer at 1 ms. The gap is counted
// in the quick reading of the byte clock (6.25 us at 10000 baud) unless a long stream the link
// timed earlier was at least as slow as the slow reading (400 us), whatever USB added on top.
TEST(FastRun, OneWriteOfTheWordsWithTheirGapsPaddedToWholePackets) {
    const struct {
        int gapMicroseconds;
        double timedStreamMs;  // 0: nothing timed yet
        size_t gapBytes;
    } cases[] = {{0, 0, 0}, {7, 0, 2}, {100, 0, 16}, {100, 40, 16}, {100, 2000, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.gapMicroseconds << " us after " << c.timedStreamMs);
        FerroxBench bench = installFerroxDrive();
        Link link(LinkDialect::Firmware, {LinkMode::Fast, c.gapMicroseconds});
        link.setTraceSink(discardingTrace());
        ASSERT_TRUE(link.open(true));
        EXPECT_EQ(bench.adapter.callLog()[3].arg1, 1u) << "the latency timer";
        bool error = false;
        if (c.timedStreamMs > 0) {
            bench.adapter.setLatencyMs(c.timedStreamMs);
            FrameRun longRun(link);
            for (int i = 0; i < 70; ++i) {
                longRun.addNoOp(error);
            }
            link.run(longRun);
            bench.adapter.setLatencyMs(0);
            ASSERT_TRUE(link.byteTimeMeasured());
        }
        bench.adapter.clearCallLog();
        bench.adapter.clearFrameLog();
        FrameRun run(link);
        run.add(52, 6020, error);
        run.addNoOp(error);
        run.addNoOp(error);
        link.run(run);
        EXPECT_FALSE(error);

        std::vector<uint8_t> expected;
        for (const auto& frame : {std::pair<uint16_t, uint16_t>{52, 6020}, {2, 0}, {2, 0}}) {
            if (!expected.empty()) {
                expected.insert(expected.end(), c.gapBytes, 0);
            }
            const std::vector<uint8_t> bytes = frameWords(frame.first, frame.second, c.gapBytes);
            expected.insert(expected.end(), bytes.begin(), bytes.end());
        }
        expected.resize((expected.size() + 61) / 62 * 62, 0);
        ASSERT_EQ(bench.adapter.callLog().size(), 2u);
        EXPECT_EQ(bench.adapter.callLog()[0].call, drive_sim::AdapterCall::Write);
        EXPECT_EQ(bench.adapter.callLog()[0].bytes, expected);
        EXPECT_EQ(bench.adapter.callLog()[1].arg1, expected.size()) << "one read of as many";
        EXPECT_EQ(bench.adapter.frameLog().size(), 3u);
    }
}

// A stop asked for in the middle of a run ends it at the next stream, as the standard link ends
// it at the next word: what was not sent reads as a failed reply, and the error is set.
TEST(FastRun, AStopRequestEndsTheRunAtTheNextStream) {
    for (LinkMode mode : {LinkMode::Standard, LinkMode::Fast}) {
        SCOPED_TRACE(mode == LinkMode::Fast ? "fast" : "standard");
        FerroxBench bench = installFerroxDrive();
        Link link(LinkDialect::Firmware, {mode, 0});
        link.setTraceSink(discardingTrace());
        ASSERT_TRUE(link.open(true));
        const size_t before = bench.adapter.frameLog().size();
        bool error = false;
        int checked = 0;
        FrameRun run(link);
        for (int i = 0; i < 600; ++i) {
            run.addNoOp(error, [&link, &checked, i](const Reply& reply) {
                checked += reply.checked ? 1 : 0;
                if (i == 10) {
                    link.requestStop();
                }
                return true;
            });
        }
        link.run(run);
        EXPECT_TRUE(error);
        EXPECT_FALSE(link.state().linkGood);
        // Standard: frame 11 is not sent. Fast: the first stream of 256 frames was out already.
        const size_t sent = mode == LinkMode::Fast ? 256 : 11;
        EXPECT_EQ(bench.adapter.frameLog().size() - before, sent);
        EXPECT_EQ(checked, int(sent));
    }
}
