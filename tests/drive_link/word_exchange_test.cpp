// The adapter layer: call order of the open, its fallbacks, the bytes of a word, decoding.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "drive_link.h"
#include "output_capture.h"
#include "sim_fixture.h"

using drive_sim::AdapterCall;
using drive_sim::AdapterCallRecord;
using drive_sim::LineFault;
using drive_sim::LinkFaults;

namespace {
std::vector<AdapterCall> callsOf(const drive_sim::SimulatedAdapter& adapter) {
    std::vector<AdapterCall> calls;
    for (const AdapterCallRecord& record : adapter.callLog()) {
        calls.push_back(record.call);
    }
    return calls;
}

const AdapterCallRecord& lastCall(const drive_sim::SimulatedAdapter& adapter, AdapterCall call) {
    for (auto it = adapter.callLog().rbegin(); it != adapter.callLog().rend(); ++it) {
        if (it->call == call) {
            return *it;
        }
    }
    static AdapterCallRecord none{};
    ADD_FAILURE() << "no call " << drive_sim::adapterCallName(call);
    return none;
}

LinkFaults failing(AdapterCall call) {
    LinkFaults faults;
    faults.failingCalls.insert(call);
    return faults;
}
}  // namespace

TEST(OpenLink, ConfiguresTheAdapterInOrderAndLeavesTheClockAsAsked) {
    for (bool clockHigh : {true, false}) {
        FerroxBench bench = installFerroxDrive();
        ASSERT_TRUE(openLink(clockHigh));
        EXPECT_EQ(callsOf(bench.adapter),
                  (std::vector<AdapterCall>{AdapterCall::Open, AdapterCall::SetBitMode,
                                            AdapterCall::SetTimeouts, AdapterCall::SetLatencyTimer,
                                            AdapterCall::SetBaudRate, AdapterCall::GetBitMode,
                                            AdapterCall::Write, AdapterCall::Read}));
        const auto& log = bench.adapter.callLog();
        EXPECT_EQ(log[0].arg1, 0u);  // device index 0
        EXPECT_EQ(log[1].arg1, 0x09u);
        EXPECT_EQ(log[1].arg2, 4u);
        EXPECT_EQ(log[2].arg1, 1000u);
        EXPECT_EQ(log[2].arg2, 1000u);
        EXPECT_EQ(log[3].arg1, 4u);
        EXPECT_EQ(log[4].arg1, 10000u);
        EXPECT_EQ(log[6].bytes, std::vector<uint8_t>{uint8_t(clockHigh ? 9 : 1)});
        EXPECT_EQ(log[7].arg1, 1u);
        EXPECT_TRUE(linkState.linkOpen);
        EXPECT_TRUE(linkState.linkGood);
        EXPECT_EQ(linkState.adapterStatus, FT_OK);
    }
}

TEST(OpenLink, FailedOpenCallsNothingElse) {
    FerroxBench bench = installFerroxDrive(failing(AdapterCall::Open));
    EXPECT_FALSE(openLink(true));
    EXPECT_EQ(callsOf(bench.adapter), std::vector<AdapterCall>{AdapterCall::Open});
    EXPECT_FALSE(linkState.linkOpen);
    EXPECT_FALSE(linkState.linkGood);
    EXPECT_NE(linkState.adapterStatus, FT_OK);
}

TEST(OpenLink, RefusedBitModeLeavesTheHandleOpenButTheLinkDown) {
    FerroxBench bench = installFerroxDrive(failing(AdapterCall::SetBitMode));
    EXPECT_FALSE(openLink(true));
    EXPECT_EQ(callsOf(bench.adapter),
              (std::vector<AdapterCall>{AdapterCall::Open, AdapterCall::SetBitMode}));
    EXPECT_TRUE(linkState.linkOpen);
    EXPECT_FALSE(linkState.linkGood);

    // From now on words are exchanged as zeros without traffic, and reported as CRC errors.
    bench.adapter.clearCallLog();
    EXPECT_EQ(exchangeWord(0x1234), 0);
    EXPECT_TRUE(bench.adapter.callLog().empty());
}

TEST(OpenLink, RefusedBaudRateFallsBackToTheSlowSettingSilently) {
    FerroxBench bench = installFerroxDrive(failing(AdapterCall::SetBaudRate));
    EXPECT_TRUE(openLink(true));
    EXPECT_EQ(callsOf(bench.adapter),
              (std::vector<AdapterCall>{
                  AdapterCall::Open, AdapterCall::SetBitMode, AdapterCall::SetTimeouts,
                  AdapterCall::SetLatencyTimer, AdapterCall::SetBaudRate, AdapterCall::SetBaudRate,
                  AdapterCall::SetTimeouts, AdapterCall::SetLatencyTimer, AdapterCall::GetBitMode,
                  AdapterCall::Write, AdapterCall::Read}));
    const auto& log = bench.adapter.callLog();
    EXPECT_EQ(log[4].arg1, 10000u);
    EXPECT_EQ(log[5].arg1, 1200u);
    EXPECT_EQ(log[7].arg1, 2u);
    EXPECT_EQ(linkState.adapterStatus, FT_OK);  // recorded by the bit-mode read after it
}

TEST(OpenLink, FailedBitModeReadStopsBeforeTheFirstByte) {
    FerroxBench bench = installFerroxDrive(failing(AdapterCall::GetBitMode));
    EXPECT_FALSE(openLink(true));
    EXPECT_EQ(callsOf(bench.adapter).back(), AdapterCall::GetBitMode);
    EXPECT_TRUE(linkState.linkOpen);
    EXPECT_FALSE(linkState.linkGood);
}

TEST(OpenLink, ReopeningClosesTheOldHandleFirst) {
    FerroxBench bench = installFerroxDrive();
    ASSERT_TRUE(openLink(true));
    bench.adapter.clearCallLog();
    ASSERT_TRUE(openLink(false));
    std::vector<AdapterCall> calls = callsOf(bench.adapter);
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[0], AdapterCall::Close);
    EXPECT_EQ(calls[1], AdapterCall::Open);
    EXPECT_EQ(lastCall(bench.adapter, AdapterCall::Write).bytes, std::vector<uint8_t>{1});
}

TEST(ExchangeWord, ClocksEachBitAsTwoBytesThenBringsTheLinesLow) {
    FerroxBench bench = installFerroxDrive();
    ASSERT_TRUE(openLink(true));
    bench.adapter.clearCallLog();
    exchangeWord(0x0001);
    std::vector<uint8_t> expected{9, 1};
    for (int i = 0; i < 15; ++i) {
        expected.push_back(8);
        expected.push_back(0);
    }
    expected.push_back(0);
    ASSERT_EQ(callsOf(bench.adapter),
              (std::vector<AdapterCall>{AdapterCall::Write, AdapterCall::Read}));
    EXPECT_EQ(bench.adapter.callLog()[0].bytes, expected);
    EXPECT_EQ(bench.adapter.callLog()[1].arg1, 33u);
}

TEST(ExchangeWord, DecodesTheInvertedDataLine) {
    LinkFaults low;
    low.line = LineFault::StuckLow;  // a low line reads as 1 bits
    installFerroxDrive(low);
    ASSERT_TRUE(openLink(true));
    EXPECT_EQ(exchangeWord(0), 0xFFFF);

    LinkFaults high;
    high.line = LineFault::StuckHigh;  // bit 1 set in every byte reads as 0 bits
    installFerroxDrive(high);
    ASSERT_TRUE(openLink(true));
    EXPECT_EQ(exchangeWord(0xFFFF), 0x0000);
}

TEST(ExchangeWord, FailedTransferDropsTheLinkAndStopsTraffic) {
    LinkFaults faults;
    faults.failingCalls.insert(AdapterCall::Write);
    FerroxBench bench = installFerroxDrive();
    ASSERT_TRUE(openLink(true));
    bench.adapter.faults() = faults;
    exchangeWord(0x5555);
    EXPECT_FALSE(linkState.linkGood);
    bench.adapter.clearCallLog();
    EXPECT_EQ(exchangeWord(0x5555), 0);
    EXPECT_TRUE(bench.adapter.callLog().empty());
}

TEST(CloseLink, ClosesOnceAndSaysSo) {
    {
        installFerroxDrive();
        OutputCapture capture;
        EXPECT_EQ(closeLink(), FT_OK);  // never opened
        EXPECT_EQ(capture.out(), "");
    }
    FerroxBench bench = installFerroxDrive();
    ASSERT_TRUE(openLink(true));
    OutputCapture capture;
    EXPECT_EQ(closeLink(), FT_OK);
    EXPECT_EQ(closeLink(), FT_OK);
    EXPECT_EQ(capture.out(), "USB closed\n");
    EXPECT_FALSE(linkState.linkOpen);
    int closes = 0;
    for (const AdapterCallRecord& record : bench.adapter.callLog()) {
        closes += record.call == AdapterCall::Close;
    }
    EXPECT_EQ(closes, 1);
}

TEST(CloseLink, KeepsTheHandleAfterAFailedOpenStep) {
    FerroxBench bench = installFerroxDrive(failing(AdapterCall::SetBitMode));
    EXPECT_FALSE(openLink(true));
    OutputCapture capture;
    EXPECT_NE(closeLink(), FT_OK);
    EXPECT_EQ(capture.out(), "");
    EXPECT_EQ(callsOf(bench.adapter).back(), AdapterCall::SetBitMode);
}
