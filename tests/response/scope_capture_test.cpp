// Scope selection, capture start and the pipelined download with its checksum, against the
// simulated drive.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "drive_link.h"
#include "output_capture.h"
#include "scope_bench.h"
#include "scope_capture.h"
#include "sim_fixture.h"

namespace {
using FrameList = std::vector<std::pair<int, int>>;

FrameList framesFrom(const drive_sim::SimulatedAdapter& adapter, size_t from) {
    FrameList frames;
    for (size_t i = from; i < adapter.frameLog().size(); ++i) {
        frames.emplace_back(adapter.frameLog()[i].command, adapter.frameLog()[i].value);
    }
    return frames;
}

// The frames a download of `n` samples must send.
FrameList downloadFrames(int n) {
    FrameList frames{{120, 10}, {13, 0}, {13, 2}};
    for (int i = 0; i < n / 2; ++i) {
        frames.push_back(i < n / 2 - 2 ? std::make_pair(13, 2 * i + 4) : std::make_pair(2, 0));
    }
    frames.insert(frames.end(), {{120, 10}, {2, 0}, {2, 0}});
    return frames;
}

drive_sim::ScopeBench& scopeOf(FerroxBench& bench) {
    return *dynamic_cast<drive_sim::ScopeBench*>(bench.firmware.extension());
}

size_t countOf(const std::string& text, const std::string& piece) {
    size_t count = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) {
        ++count;
    }
    return count;
}

class ScopeCapture : public ::testing::Test {
protected:
    void SetUp() override {
        resetScopeState();
        setLinkDialect(LinkDialect::Firmware);
    }
    // A connected drive whose capture buffer holds `words`, ready for a download of them.
    FerroxBench benchWithBuffer(std::vector<uint16_t> words, int channels) {
        FerroxBench bench = installFerroxDrive();
        EXPECT_TRUE(openLink(true));
        scopeOf(bench).setBuffer(std::move(words));
        clearScopeChannels();
        for (int c = 0; c < channels; ++c) {
            addScopeChannel(c);
        }
        return bench;
    }
};
}  // namespace

TEST_F(ScopeCapture, ChannelSelectionAndItsParameters) {
    FerroxBench bench = installFerroxDrive();
    ASSERT_TRUE(openLink(true));
    addScopeChannel(6);
    addScopeChannel(1);
    addScopeChannel(2);
    EXPECT_EQ(scopeState.scopeChannelMask, 0x46u);
    EXPECT_EQ(scopeState.scopeChannelCount, 3);

    // A channel already selected changes nothing; one out of range is ignored.
    addScopeChannel(2);
    addScopeChannel(32);
    addScopeChannel(-1);
    EXPECT_EQ(scopeState.scopeChannelMask, 0x46u);
    EXPECT_EQ(scopeState.scopeChannelCount, 3);

    size_t start = bench.adapter.frameLog().size();
    bool error = false;
    OutputCapture capture;
    sendScopeChannels(error);
    EXPECT_FALSE(error);
    EXPECT_EQ(framesFrom(bench.adapter, start),
              (FrameList{{50, 70}, {51, 5020}, {50, 0}, {51, 5021}}));
    EXPECT_EQ(bench.firmware.param(5020), 70);
    EXPECT_EQ(bench.firmware.param(5021), 0);

    addScopeChannel(31);
    sendScopeChannels(error);
    EXPECT_EQ(bench.firmware.param(5021), 0x8000);

    clearScopeChannels();
    EXPECT_EQ(scopeState.scopeChannelMask, 0u);
    EXPECT_EQ(scopeState.scopeChannelCount, 0);
}

TEST_F(ScopeCapture, StartWritesDividerAndSettingThenStarts) {
    FerroxBench bench = installFerroxDrive();
    ASSERT_TRUE(openLink(true));
    size_t start = bench.adapter.frameLog().size();
    bool error = false;
    OutputCapture capture;
    startScopeCapture(0x10003, 1500, 4, error);  // only the low 16 bits travel
    EXPECT_FALSE(error);
    EXPECT_EQ(scopeState.scopeSampleCount, 1500);
    EXPECT_EQ(framesFrom(bench.adapter, start),
              (FrameList{{50, 3}, {51, 5012}, {50, 4}, {51, 5011}, {11, 0}}));
    EXPECT_TRUE(scopeOf(bench).armed());
}

TEST_F(ScopeCapture, RawReplySplitsIntoTwoSignedSamples) {
    FerroxBench bench = benchWithBuffer({0x0001, 0xFFFE, 0x8000, 0x7FFF}, 2);
    (void)bench;
    scopeState.scopeSampleCount = 4;
    std::vector<float> samples(4, 99.0f);
    bool error = false;
    OutputCapture capture;
    EXPECT_FALSE(downloadScope(error, samples.data()));
    EXPECT_FALSE(error);
    EXPECT_EQ(samples, (std::vector<float>{1.0f, -2.0f, -32768.0f, 32767.0f}));
    EXPECT_EQ(capture.err(), " 1  -2  \n  -32768  32767  \n ");
}

TEST_F(ScopeCapture, WorkedSequenceOfSixSamples) {
    FerroxBench bench = benchWithBuffer({10, 11, 20, 21, 30, 31}, 2);
    scopeState.scopeSampleCount = 6;
    size_t start = bench.adapter.frameLog().size();
    std::vector<float> samples(6);
    bool error = false;
    OutputCapture capture;
    EXPECT_FALSE(downloadScope(error, samples.data()));
    EXPECT_EQ(framesFrom(bench.adapter, start), downloadFrames(6));
    EXPECT_EQ(samples, (std::vector<float>{10, 11, 20, 21, 30, 31}));
    EXPECT_EQ(capture.out(), ".Scope OK\n");
    EXPECT_FALSE(quietTrace);
}

TEST_F(ScopeCapture, FullCaptureIsQuietDotsEveryFiftyAndATableOfRows) {
    std::vector<uint16_t> words(1500);
    for (size_t k = 0; k < words.size(); ++k) {
        words[k] = uint16_t(int16_t(int(k % 3) * 100 - int(k / 3)));
    }
    FerroxBench bench = benchWithBuffer(words, 3);
    scopeState.scopeSampleCount = 1500;
    size_t start = bench.adapter.frameLog().size();
    std::vector<float> samples(1500);
    bool error = false;
    OutputCapture capture;
    EXPECT_FALSE(downloadScope(error, samples.data()));
    EXPECT_FALSE(error);
    EXPECT_EQ(bench.adapter.frameLog().size() - start, 756u);
    EXPECT_EQ(framesFrom(bench.adapter, start), downloadFrames(1500));
    EXPECT_EQ(capture.out(), std::string(15, '.') + "Scope OK\n");

    const std::string table = capture.err();
    EXPECT_EQ(countOf(table, " \n "), 500u);
    EXPECT_EQ(table.substr(0, 17), " 0  100  200  \n  ");
    EXPECT_NE(table.find(" -499  -399  -299  \n "), std::string::npos);
    for (size_t k = 0; k < words.size(); ++k) {
        ASSERT_EQ(samples[k], float(int16_t(words[k]))) << k;
    }
}

TEST_F(ScopeCapture, CorruptedDataWordFailsTheChecksumButEverySampleArrives) {
    std::vector<uint16_t> words(1500, 0x1234);
    FerroxBench bench = benchWithBuffer(words, 3);
    scopeState.scopeSampleCount = 1500;
    bench.adapter.faults().seed = 7;
    bench.adapter.faults().bitErrorRate = 2e-4;  // a few flipped bits in 48000
    std::vector<float> samples(1500, std::nanf(""));
    bool error = false;
    OutputCapture capture;
    EXPECT_TRUE(downloadScope(error, samples.data()));
    const std::string out = capture.out();
    EXPECT_NE(out.find("Scope data checksum error\n"), std::string::npos);
    EXPECT_EQ(out.find("Scope OK"), std::string::npos);
    EXPECT_EQ(countOf(capture.err(), " \n "), 500u);
    EXPECT_TRUE(
        std::all_of(samples.begin(), samples.end(), [](float v) { return std::isfinite(v); }));
    long intact = std::count(samples.begin(), samples.end(), float(0x1234));
    EXPECT_GT(intact, 1400);  // most words came through; the verdict caught the rest
    EXPECT_LT(intact, 1500);
    EXPECT_FALSE(quietTrace);
}

TEST_F(ScopeCapture, RefusesSampleCountsTheBufferCannotTakeWithoutTraffic) {
    FerroxBench bench = benchWithBuffer({}, 3);
    for (int count : {0, 1, 7, 10002}) {
        scopeState.scopeSampleCount = count;
        size_t start = bench.adapter.frameLog().size();
        float untouched[8] = {5, 5, 5, 5, 5, 5, 5, 5};
        bool error = false;
        OutputCapture capture;
        EXPECT_TRUE(downloadScope(error, untouched)) << count;
        EXPECT_FALSE(error);
        EXPECT_EQ(bench.adapter.frameLog().size(), start);
        EXPECT_EQ(untouched[0], 5.0f);
        EXPECT_EQ(capture.out(), "");
        EXPECT_NE(capture.err().find("Scope download refused"), std::string::npos);
        EXPECT_FALSE(quietTrace);
    }
    // The largest buffer is accepted.
    scopeState.scopeSampleCount = kScopeBufferSamples;
    std::vector<float> samples(kScopeBufferSamples);
    bool error = false;
    OutputCapture capture;
    EXPECT_FALSE(downloadScope(error, samples.data()));
}

TEST_F(ScopeCapture, RefusesADownloadWithoutChannels) {
    FerroxBench bench = benchWithBuffer({}, 0);
    scopeState.scopeSampleCount = 6;
    size_t start = bench.adapter.frameLog().size();
    float samples[6] = {};
    bool error = false;
    OutputCapture capture;
    EXPECT_TRUE(downloadScope(error, samples));
    EXPECT_EQ(bench.adapter.frameLog().size(), start);
}

TEST_F(ScopeCapture, NoConnectionGivesZeroSamplesAndAFailedVerdict) {
    installFerroxDrive();  // never opened
    addScopeChannel(1);
    addScopeChannel(2);
    scopeState.scopeSampleCount = 6;
    float samples[6] = {7, 7, 7, 7, 7, 7};
    bool error = false;
    OutputCapture capture;
    EXPECT_TRUE(downloadScope(error, samples));
    EXPECT_TRUE(error);  // from the opening checksum request
    for (float v : samples) {
        EXPECT_EQ(v, 0.0f);
    }
    EXPECT_EQ(capture.out(), ".Scope data checksum error\n");  // no "Not conencted" lines
    EXPECT_FALSE(quietTrace);
}

TEST_F(ScopeCapture, TransactRawHandsOutTheWholeReply) {
    FerroxBench bench = benchWithBuffer({0xBEEF, 0xCAFE}, 2);
    (void)bench;
    bool error = false;
    OutputCapture capture;
    transactRaw(13, 0, error);
    transactRaw(2, 0, error);
    EXPECT_EQ(transactRaw(2, 0, error), 0xCAFEBEEFu);
}
