// The adapter layer: call order of the open, its fallbacks, the bytes of a word, decoding.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "drive_link.h"
#include "output_capture.h"
#include "sim_fixture.h"

using namespace drive_link;

using drive_sim::AdapterCall;
using drive_sim::LinkFaults;

namespace {
// The adapter's call log as "Name(arg1,arg2)" entries, with "!" after each failed call.
std::string callsOf(const drive_sim::SimulatedAdapter& adapter) {
    std::string text;
    for (const auto& record : adapter.callLog()) {
        text += std::string(text.empty() ? "" : " ") +
                (drive_sim::adapterCallName(record.call) + 3) + "(" + std::to_string(record.arg1) +
                "," + std::to_string(record.arg2) + ")" + (record.status == FT_OK ? "" : "!");
    }
    return text;
}

FerroxBench benchFailing(AdapterCall call) {
    LinkFaults faults;
    faults.failingCalls.insert(call);
    return installFerroxDrive(faults);
}

const std::string kSetup = "Open(0,0) SetBitMode(9,4) ";
const std::string kTiming = "SetTimeouts(1000,1000) SetLatencyTimer(4,0) SetBaudRate(10000,0) ";
const std::string kIdle = "GetBitMode(2,0) Write(1,0) Read(1,0)";
}  // namespace

TEST(OpenLink, ConfiguresTheAdapterInOrderAndTakesItsFallbackForEachFailingCall) {
    struct Case {
        AdapterCall failing;
        std::string calls;
        bool good, open;
    } cases[] = {
        {AdapterCall::Close, kSetup + kTiming + kIdle, true, true},  // never called here
        {AdapterCall::Open, "Open(0,0)!", false, false},
        {AdapterCall::SetBitMode, "Open(0,0) SetBitMode(9,4)!", false, true},
        // Neither time setting is checked.
        {AdapterCall::SetTimeouts,
         kSetup + "SetTimeouts(1000,1000)! SetLatencyTimer(4,0) SetBaudRate(10000,0) " + kIdle,
         true, true},
        {AdapterCall::SetLatencyTimer,
         kSetup + "SetTimeouts(1000,1000) SetLatencyTimer(4,0)! SetBaudRate(10000,0) " + kIdle,
         true, true},
        // The slow setting is taken silently.
        {AdapterCall::SetBaudRate,
         kSetup + "SetTimeouts(1000,1000) SetLatencyTimer(4,0) " +
             "SetBaudRate(10000,0)! SetBaudRate(1200,0)! " +
             "SetTimeouts(1000,1000) SetLatencyTimer(2,0) " + kIdle,
         true, true},
        {AdapterCall::GetBitMode, kSetup + kTiming + "GetBitMode(0,0)!", false, true},
        // Nor is the idle byte.
        {AdapterCall::Write, kSetup + kTiming + "GetBitMode(2,0) Write(1,0)! Read(1,0)", true,
         true},
        {AdapterCall::Read, kSetup + kTiming + "GetBitMode(2,0) Write(1,0) Read(1,0)!", true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(drive_sim::adapterCallName(c.failing));
        FerroxBench bench = benchFailing(c.failing);
        drive_link::Link link;
        EXPECT_EQ(link.open(true), c.good);
        EXPECT_EQ(callsOf(bench.adapter), c.calls);
        EXPECT_EQ(link.state().linkGood, c.good);
        EXPECT_EQ(link.state().linkOpen, c.open);
        // The status of the last checked step: after the slow baud rate, the bit-mode read's.
        EXPECT_EQ(link.state().adapterStatus != FT_OK, !c.good);
        if (!c.good && c.open) {
            // From now on words are exchanged as zeros without traffic.
            bench.adapter.clearCallLog();
            EXPECT_EQ(link.exchangeWord(0x1234), 0);
            EXPECT_EQ(callsOf(bench.adapter), "");
        }
    }
}

TEST(ExchangeWord, ClocksEachBitAsTwoBytesThenBringsTheLinesLow) {
    drive_link::Link link;
    FerroxBench bench = installFerroxDrive();
    ASSERT_TRUE(link.open(true));
    bench.adapter.clearCallLog();
    link.exchangeWord(0x0001);
    std::vector<uint8_t> expected{9, 1};
    for (int i = 0; i < 15; ++i) {
        expected.insert(expected.end(), {8, 0});
    }
    expected.push_back(0);
    EXPECT_EQ(callsOf(bench.adapter), "Write(33,0) Read(33,0)");
    EXPECT_EQ(bench.adapter.callLog()[0].bytes, expected);

    // A failed transfer drops the link and stops the traffic.
    bench.adapter.faults().transfersBeforeFailure = 1;  // the write goes, the read fails
    link.exchangeWord(0x5555);
    EXPECT_FALSE(link.state().linkGood);
    bench.adapter.clearCallLog();
    EXPECT_EQ(link.exchangeWord(0x5555), 0);
    EXPECT_EQ(callsOf(bench.adapter), "");
}

TEST(CloseLink, ClosesOnlyAnAdapterThatOpenedWellOnceAndSaysSo) {
    drive_link::Link link;
    installFerroxDrive();
    OutputCapture capture;
    EXPECT_EQ(link.close(), FT_OK);  // never opened

    FerroxBench failed = benchFailing(AdapterCall::SetBitMode);
    EXPECT_FALSE(link.open(true));
    failed.adapter.clearCallLog();
    EXPECT_NE(link.close(), FT_OK);  // the handle is kept
    EXPECT_EQ(callsOf(failed.adapter), "");
    EXPECT_EQ(capture.out(), "");

    FerroxBench bench = installFerroxDrive();
    ASSERT_TRUE(link.open(true));
    bench.adapter.clearCallLog();
    EXPECT_EQ(link.close(), FT_OK);
    EXPECT_EQ(link.close(), FT_OK);
    EXPECT_EQ(capture.out(), "USB closed\n");
    EXPECT_FALSE(link.state().linkOpen);
    EXPECT_EQ(callsOf(bench.adapter), "Close(0,0)");
}
