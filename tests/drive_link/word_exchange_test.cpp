// The adapter layer: call order of the open, its fallbacks, the bytes of a word, decoding.
#include <gtest/gtest.h>

#include <vector>

#include "drive_link.h"
#include "output_capture.h"
#include "sim_fixture.h"

using drive_sim::AdapterCall;
using drive_sim::LineFault;
using drive_sim::LinkFaults;
using Calls = std::vector<AdapterCall>;

namespace {
Calls callsOf(const drive_sim::SimulatedAdapter& adapter) {
    Calls calls;
    for (const auto& record : adapter.callLog()) {
        calls.push_back(record.call);
    }
    return calls;
}

LinkFaults failing(AdapterCall call) {
    LinkFaults faults;
    faults.failingCalls.insert(call);
    return faults;
}

const Calls kFullOpen{AdapterCall::Open,        AdapterCall::SetBitMode,
                      AdapterCall::SetTimeouts, AdapterCall::SetLatencyTimer,
                      AdapterCall::SetBaudRate, AdapterCall::GetBitMode,
                      AdapterCall::Write,       AdapterCall::Read};
}  // namespace

TEST(OpenLink, ConfiguresTheAdapterInOrder) {
    FerroxBench bench = installFerroxDrive();
    ASSERT_TRUE(openLink(true));
    ASSERT_EQ(callsOf(bench.adapter), kFullOpen);
    const auto& log = bench.adapter.callLog();
    EXPECT_EQ(log[0].arg1, 0u);  // device index 0
    EXPECT_EQ(log[1].arg1, 0x09u);
    EXPECT_EQ(log[1].arg2, 4u);
    EXPECT_EQ(log[2].arg1, 1000u);
    EXPECT_EQ(log[2].arg2, 1000u);
    EXPECT_EQ(log[3].arg1, 4u);
    EXPECT_EQ(log[4].arg1, 10000u);
    EXPECT_EQ(log[6].bytes, std::vector<uint8_t>{9});
    EXPECT_EQ(log[7].arg1, 1u);
    EXPECT_TRUE(linkState.linkOpen && linkState.linkGood);
    EXPECT_EQ(linkState.adapterStatus, FT_OK);
}

TEST(OpenLink, TakesItsFallbackForEachFailingCall) {
    const Calls slowOpen{AdapterCall::Open,        AdapterCall::SetBitMode,
                         AdapterCall::SetTimeouts, AdapterCall::SetLatencyTimer,
                         AdapterCall::SetBaudRate, AdapterCall::SetBaudRate,
                         AdapterCall::SetTimeouts, AdapterCall::SetLatencyTimer,
                         AdapterCall::GetBitMode,  AdapterCall::Write,
                         AdapterCall::Read};
    struct Case {
        AdapterCall failing;
        Calls calls;
        bool good, open;
    } cases[] = {
        {AdapterCall::Open, {AdapterCall::Open}, false, false},
        {AdapterCall::SetBitMode, {AdapterCall::Open, AdapterCall::SetBitMode}, false, true},
        {AdapterCall::SetTimeouts, kFullOpen, true, true},  // not checked
        {AdapterCall::SetLatencyTimer, kFullOpen, true, true},
        {AdapterCall::SetBaudRate, slowOpen, true, true},  // falls back silently
        {AdapterCall::GetBitMode, Calls(kFullOpen.begin(), kFullOpen.end() - 2), false, true},
        {AdapterCall::Write, kFullOpen, true, true},  // the idle byte is not checked
        {AdapterCall::Read, kFullOpen, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(drive_sim::adapterCallName(c.failing));
        FerroxBench bench = installFerroxDrive(failing(c.failing));
        EXPECT_EQ(openLink(true), c.good);
        EXPECT_EQ(callsOf(bench.adapter), c.calls);
        EXPECT_EQ(linkState.linkGood, c.good);
        EXPECT_EQ(linkState.linkOpen, c.open);
        // The status of the last checked step: after the slow baud rate, the bit-mode read's.
        EXPECT_EQ(linkState.adapterStatus != FT_OK, !c.good);
        if (c.failing == AdapterCall::SetBaudRate) {
            const auto& log = bench.adapter.callLog();
            EXPECT_EQ(log[4].arg1, 10000u);
            EXPECT_EQ(log[5].arg1, 1200u);
            EXPECT_EQ(log[7].arg1, 2u);
        }
        if (c.open && !c.good) {
            // From now on words are exchanged as zeros without traffic.
            bench.adapter.clearCallLog();
            EXPECT_EQ(exchangeWord(0x1234), 0);
            EXPECT_TRUE(bench.adapter.callLog().empty());
        }
    }
}

TEST(OpenLink, ReopeningClosesTheOldHandleFirstAndLeavesTheClockAsAsked) {
    FerroxBench bench = installFerroxDrive();
    ASSERT_TRUE(openLink(true));
    bench.adapter.clearCallLog();
    ASSERT_TRUE(openLink(false));
    Calls expected{AdapterCall::Close};
    expected.insert(expected.end(), kFullOpen.begin(), kFullOpen.end());
    EXPECT_EQ(callsOf(bench.adapter), expected);
    EXPECT_EQ(bench.adapter.callLog()[7].bytes, std::vector<uint8_t>{1});
}

TEST(ExchangeWord, ClocksEachBitAsTwoBytesThenBringsTheLinesLow) {
    FerroxBench bench = installFerroxDrive();
    ASSERT_TRUE(openLink(true));
    bench.adapter.clearCallLog();
    exchangeWord(0x0001);
    std::vector<uint8_t> expected{9, 1};
    for (int i = 0; i < 15; ++i) {
        expected.insert(expected.end(), {8, 0});
    }
    expected.push_back(0);
    ASSERT_EQ(callsOf(bench.adapter), (Calls{AdapterCall::Write, AdapterCall::Read}));
    EXPECT_EQ(bench.adapter.callLog()[0].bytes, expected);
    EXPECT_EQ(bench.adapter.callLog()[1].arg1, 33u);
}

TEST(ExchangeWord, DecodesTheInvertedDataLine) {
    LinkFaults faults;
    faults.line = LineFault::StuckLow;  // a low line reads as 1 bits
    installFerroxDrive(faults);
    ASSERT_TRUE(openLink(true));
    EXPECT_EQ(exchangeWord(0), 0xFFFF);

    faults.line = LineFault::StuckHigh;  // bit 1 set in every byte reads as 0 bits
    installFerroxDrive(faults);
    ASSERT_TRUE(openLink(true));
    EXPECT_EQ(exchangeWord(0xFFFF), 0x0000);
}

TEST(ExchangeWord, FailedTransferDropsTheLinkAndStopsTraffic) {
    FerroxBench bench = installFerroxDrive();
    ASSERT_TRUE(openLink(true));
    bench.adapter.faults().transfersBeforeFailure = 1;  // the write goes, the read fails
    exchangeWord(0x5555);
    EXPECT_FALSE(linkState.linkGood);
    bench.adapter.clearCallLog();
    EXPECT_EQ(exchangeWord(0x5555), 0);
    EXPECT_TRUE(bench.adapter.callLog().empty());
}

TEST(CloseLink, ClosesOnlyAnOpenAdapterOnceAndSaysSo) {
    installFerroxDrive();
    OutputCapture never;
    EXPECT_EQ(closeLink(), FT_OK);  // never opened
    EXPECT_EQ(never.out(), "");
    never.stop();

    FerroxBench bench = installFerroxDrive();
    ASSERT_TRUE(openLink(true));
    bench.adapter.clearCallLog();
    OutputCapture capture;
    EXPECT_EQ(closeLink(), FT_OK);
    EXPECT_EQ(closeLink(), FT_OK);
    EXPECT_EQ(capture.out(), "USB closed\n");
    EXPECT_FALSE(linkState.linkOpen);
    EXPECT_EQ(callsOf(bench.adapter), Calls{AdapterCall::Close});
}

TEST(CloseLink, KeepsTheHandleAfterAFailedOpenStep) {
    FerroxBench bench = installFerroxDrive(failing(AdapterCall::SetBitMode));
    EXPECT_FALSE(openLink(true));
    bench.adapter.clearCallLog();
    OutputCapture capture;
    EXPECT_NE(closeLink(), FT_OK);
    EXPECT_EQ(capture.out(), "");
    EXPECT_TRUE(bench.adapter.callLog().empty());
}
