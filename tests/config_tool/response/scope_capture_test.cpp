// Scope selection, capture start and the pipelined download with its checksum, against the
// simulated drive; and the test's result text at its limits.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "drive_link.h"
#include "output_capture.h"
#include "scope_bench.h"
#include "scope_capture.h"
#include "sim_fixture.h"
#include "step_response.h"

using namespace drive_link;
using namespace response;

namespace {
class ScopeCapture : public ::testing::Test {
protected:
    ScopeCapture() : bench(installFerroxDrive()) {}
    // Opens the link and puts `words` in the drive's capture buffer, on the first `channels`.
    void connectWithBuffer(std::vector<uint16_t> words, int channels) {
        ASSERT_TRUE(link.open(true));
        dynamic_cast<drive_sim::ScopeBench&>(*bench.firmware.extension())
            .setBuffer(std::move(words));
        for (int c = 0; c < channels; ++c) {
            scope.addChannel(c);
        }
    }
    // Downloads `count` samples with the trace captured; true when the checksum test passed.
    bool download(int count, float* samples) {
        scope.state.scopeSampleCount = count;
        start = bench.adapter.frameLog().size();
        OutputCapture capture;
        const bool verified = scope.download(link, error, samples);
        out = capture.out();
        err = capture.err();
        return verified;
    }
    std::vector<drive_sim::FrameRecord> frames() const {
        const auto& log = bench.adapter.frameLog();
        return {log.begin() + long(start), log.end()};
    }
    FerroxBench bench;
    Link link;
    Scope scope;
    size_t start = 0;
    bool error = false;
    std::string out;
    std::string err;
};
}  // namespace

// Two signed samples per reply, the low word first; the addresses run two by two, the last two
// reads are no-ops that collect the last replies, and the checksum request closes the download.
TEST_F(ScopeCapture, DownloadSplitsRepliesIntoSignedSamplesAndChecksTheSum) {
    std::vector<uint16_t> words(1500);
    for (size_t k = 0; k < words.size(); ++k) {
        words[k] = uint16_t(int16_t(int(k % 3) * 100 - int(k / 3)));
    }
    words[0] = 0x8000;
    words[1] = 0x7FFF;
    connectWithBuffer(words, 3);
    std::vector<float> samples(1500);
    EXPECT_TRUE(download(1500, samples.data()));
    EXPECT_FALSE(error);
    const auto sent = frames();
    ASSERT_EQ(sent.size(), 756u);
    for (size_t i = 1; i <= 750; ++i) {
        ASSERT_EQ(sent[i].value, 2 * (i - 1)) << i;
    }
    // The frames' order and the trace's "Scope OK" are in tests/golden/morvane_step_test.txt.
    EXPECT_EQ(err.substr(0, 24), " -32768  32767  200  \n  ");
    for (size_t k = 0; k < words.size(); ++k) {
        ASSERT_EQ(samples[k], float(int16_t(words[k]))) << k;
    }

    // A few flipped bits in the 48000 of the data words: the verdict fails, every sample arrives.
    bench.adapter.faults().seed = 7;
    bench.adapter.faults().bitErrorRate = 2e-4;
    EXPECT_FALSE(download(1500, samples.data()));
    EXPECT_EQ(out, std::string(15, '.') + "Scope data checksum error\n");
    EXPECT_FALSE(link.quietTrace());
}

TEST(StepResultText, SettlingLimitAndFullWords) {
    EXPECT_EQ(stepResultText(65535, 0, 489),
              "Peak error 65535 counts, undershoot 0 counts, settling time 489 ms.");
    EXPECT_EQ(stepResultText(1, 65535, 490),
              "Peak error 1 counts, undershoot 65535 counts, settling time>500 ms.");
}
