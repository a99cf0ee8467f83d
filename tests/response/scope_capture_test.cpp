// Scope selection, capture start and the pipelined download with its checksum, against the
// simulated drive.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "drive_link.h"
#include "output_capture.h"
#include "response_test_support.h"
#include "scope_capture.h"

namespace {
class ScopeCapture : public ::testing::Test {
protected:
    ScopeCapture() : bench(installFerroxDrive()) {}
    void SetUp() override {
        resetScopeState();
        setLinkDialect(LinkDialect::Firmware);
    }
    // Connects and puts `words` in the drive's capture buffer, recorded on the first `channels`.
    void connectWithBuffer(std::vector<uint16_t> words, int channels) {
        EXPECT_TRUE(openLink(true));
        scopeOf(bench).setBuffer(std::move(words));
        for (int c = 0; c < channels; ++c) {
            addScopeChannel(c);
        }
    }
    // Downloads `count` samples with the trace captured; true when the checksum test failed.
    bool download(int count, float* samples) {
        scopeState.scopeSampleCount = count;
        start = bench.adapter.frameLog().size();
        OutputCapture capture;
        bool verdict = downloadScope(error, samples);
        out = capture.out();
        err = capture.err();
        return verdict;
    }
    FerroxBench bench;
    size_t start = 0;
    bool error = false;
    std::string out;
    std::string err;
};
}  // namespace

TEST_F(ScopeCapture, ChannelSelectionAndCaptureStartWriteTheirParameters) {
    ASSERT_TRUE(openLink(true));
    for (int channel : {6, 1, 2, 2, 32, -1}) {  // a repeat and two out of range change nothing
        addScopeChannel(channel);
    }
    EXPECT_EQ(scopeState.scopeChannelMask, 0x46u);
    EXPECT_EQ(scopeState.scopeChannelCount, 3);

    start = bench.adapter.frameLog().size();
    OutputCapture capture;
    sendScopeChannels(error);
    startScopeCapture(0x10003, 1500, 4, error);  // only the low 16 bits of the divider travel
    EXPECT_FALSE(error);
    EXPECT_EQ(scopeState.scopeSampleCount, 1500);
    const Frames expected = writeOf(5020, 70) + writeOf(5021, 0) + writeOf(5012, 3) +
                            writeOf(5011, 4) + Frames{{11, 0}};
    EXPECT_EQ(framesSince(bench.adapter, start), expected);
    EXPECT_TRUE(scopeOf(bench).armed());

    addScopeChannel(31);  // the top channel is the high half's top bit
    sendScopeChannels(error);
    EXPECT_EQ(bench.firmware.param(5021), 0x8000);
    clearScopeChannels();
    EXPECT_EQ(scopeState.scopeChannelMask, 0u);
    EXPECT_EQ(scopeState.scopeChannelCount, 0);
}

TEST_F(ScopeCapture, RawRepliesSplitIntoTwoSignedSamples) {
    connectWithBuffer({0x0001, 0xFFFE, 0x8000, 0x7FFF}, 2);
    std::vector<float> samples(4, 99.0f);
    EXPECT_FALSE(download(4, samples.data()));
    EXPECT_FALSE(error);
    EXPECT_EQ(framesSince(bench.adapter, start), scopeDownloadFrames(4));
    EXPECT_EQ(samples, (std::vector<float>{1.0f, -2.0f, -32768.0f, 32767.0f}));
    EXPECT_EQ(out, ".Scope OK\n");
    EXPECT_EQ(err, " 1  -2  \n  -32768  32767  \n ");
    EXPECT_FALSE(quietTrace);

    transactRaw(13, 0, error);  // the low word comes first in the reply
    transactRaw(2, 0, error);
    EXPECT_EQ(transactRaw(2, 0, error), 0xFFFE0001u);
}

TEST_F(ScopeCapture, FullCaptureIsQuietWithADotEveryFiftyRepliesAndATableOfRows) {
    std::vector<uint16_t> words(1500);
    for (size_t k = 0; k < words.size(); ++k) {
        words[k] = uint16_t(int16_t(int(k % 3) * 100 - int(k / 3)));
    }
    connectWithBuffer(words, 3);
    std::vector<float> samples(1500);
    EXPECT_FALSE(download(1500, samples.data()));
    EXPECT_FALSE(error);
    EXPECT_EQ(bench.adapter.frameLog().size() - start, 756u);
    EXPECT_EQ(framesSince(bench.adapter, start), scopeDownloadFrames(1500));
    EXPECT_EQ(out, std::string(15, '.') + "Scope OK\n");
    EXPECT_EQ(tableRows(err), 500u);
    EXPECT_EQ(err.substr(0, 17), " 0  100  200  \n  ");
    EXPECT_NE(err.find(" -499  -399  -299  \n "), std::string::npos);
    for (size_t k = 0; k < words.size(); ++k) {
        ASSERT_EQ(samples[k], float(int16_t(words[k]))) << k;
    }
}

TEST_F(ScopeCapture, CorruptedDataWordFailsTheChecksumButEverySampleArrives) {
    connectWithBuffer(std::vector<uint16_t>(1500, 0x1234), 3);
    bench.adapter.faults().seed = 7;
    bench.adapter.faults().bitErrorRate = 2e-4;  // a few flipped bits in 48000
    std::vector<float> samples(1500, std::nanf(""));
    EXPECT_TRUE(download(1500, samples.data()));
    EXPECT_NE(out.find("Scope data checksum error\n"), std::string::npos);
    EXPECT_EQ(out.find("Scope OK"), std::string::npos);
    EXPECT_EQ(tableRows(err), 500u);
    EXPECT_TRUE(
        std::all_of(samples.begin(), samples.end(), [](float v) { return std::isfinite(v); }));
    long intact = std::count(samples.begin(), samples.end(), float(0x1234));
    EXPECT_GT(intact, 1400);  // most words came through; the verdict caught the rest
    EXPECT_LT(intact, 1500);
    EXPECT_FALSE(quietTrace);
}

TEST_F(ScopeCapture, RefusesWhatTheBufferCannotTakeWithoutTraffic) {
    connectWithBuffer({}, 3);
    struct Case {
        int count;
        bool withChannels;
    };
    for (Case c :
         {Case{0, true}, Case{1, true}, Case{7, true}, Case{10002, true}, Case{6, false}}) {
        SCOPED_TRACE(c.count);
        if (!c.withChannels) {
            clearScopeChannels();
        }
        float untouched[8] = {5, 5, 5, 5, 5, 5, 5, 5};
        EXPECT_TRUE(download(c.count, untouched));
        EXPECT_FALSE(error);
        EXPECT_EQ(bench.adapter.frameLog().size(), start);
        EXPECT_EQ(untouched[0], 5.0f);
        EXPECT_EQ(out, "");
        EXPECT_NE(err.find("Scope download refused"), std::string::npos);
        EXPECT_FALSE(quietTrace);
    }
    addScopeChannel(0);  // the whole buffer is accepted
    std::vector<float> samples(kScopeBufferSamples);
    EXPECT_FALSE(download(kScopeBufferSamples, samples.data()));
}

TEST_F(ScopeCapture, NoConnectionGivesZeroSamplesAndAFailedVerdict) {
    addScopeChannel(1);  // the link was never opened
    addScopeChannel(2);
    float samples[6] = {7, 7, 7, 7, 7, 7};
    EXPECT_TRUE(download(6, samples));
    EXPECT_TRUE(error);  // from the opening checksum request
    EXPECT_TRUE(std::all_of(samples, samples + 6, [](float v) { return v == 0.0f; }));
    EXPECT_EQ(out, ".Scope data checksum error\n");  // no "Not conencted" lines
    EXPECT_FALSE(quietTrace);
}
