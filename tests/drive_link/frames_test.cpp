// Command frames: the CRC, the words on the wire, and the three paths of a transaction with
// their trace lines.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "drive_link.h"
#include "output_capture.h"
#include "sim_fixture.h"

using drive_sim::AdapterCall;
using drive_sim::LinkFaults;

namespace {
std::string hex8(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%08X", unsigned(value));
    return text;
}

// The 16-bit word a 33-byte transmit buffer carries on D0.
uint16_t wordOnWire(const std::vector<uint8_t>& bytes) {
    uint16_t word = 0;
    for (int bit = 0; bit < 16; ++bit) {
        if (bytes.at(2 * bit) & 1) {
            word |= uint16_t(1u << bit);
        }
    }
    return word;
}
}  // namespace

TEST(FrameCrc, MatchesTheWorkedValues) {
    EXPECT_EQ(frameCrc(0, 0), 0x5C);
    EXPECT_EQ(frameCrc(2, 0), 0x8A);
    EXPECT_EQ(frameCrc(50, 1), 0x7E);
    EXPECT_EQ(frameCrc(52, 6020), 0x91);
    EXPECT_EQ(frameCrc(0xFF, 0xFFFF), 0x53);
}

TEST(ExchangeFrame, SendsLowHalfThenHighHalf) {
    FerroxBench bench = installFerroxDrive();
    ASSERT_TRUE(openLink(true));
    bench.adapter.clearCallLog();
    OutputCapture capture;
    exchangeFrame(52, 6020);
    std::vector<uint16_t> words;
    for (const auto& record : bench.adapter.callLog()) {
        if (record.call == AdapterCall::Write) {
            words.push_back(wordOnWire(record.bytes));
        }
    }
    EXPECT_EQ(words, (std::vector<uint16_t>{0x8491, 0x3417}));
    EXPECT_EQ(capture.out(), "052,06020 ");
    ASSERT_FALSE(bench.adapter.frameLog().empty());
    EXPECT_EQ(bench.adapter.frameLog().back().command, 52);
    EXPECT_EQ(bench.adapter.frameLog().back().value, 6020);
    EXPECT_TRUE(bench.adapter.frameLog().back().crcOk);
}

TEST(Transact, WithoutAConnectionSaysSoAndReturnsZero) {
    installFerroxDrive();  // never opened
    OutputCapture capture;
    bool error = false;
    uint32_t raw = 0xDEADBEEF;
    EXPECT_EQ(transact(52, 6020, error, &raw), 0);
    EXPECT_TRUE(error);
    EXPECT_EQ(raw, 0xDEADBEEFu);  // nothing stored on this path
    EXPECT_EQ(capture.out(), "052,06020 Not conencted\n");
}

TEST(Transact, OpenButFailedLinkIsACrcErrorOfAnAllZeroReply) {
    LinkFaults faults;
    faults.failingCalls.insert(AdapterCall::SetBitMode);
    installFerroxDrive(faults);
    ASSERT_FALSE(openLink(true));
    {
        OutputCapture capture;
        bool error = false;
        uint32_t raw = 0xDEADBEEF;
        EXPECT_EQ(transact(2, 0, error, &raw), 0);
        EXPECT_TRUE(error);
        EXPECT_EQ(raw, 0u);
        EXPECT_EQ(capture.out(), "002,00000 CRC error (correct 5c)  00000000\n");
    }
    setLinkDialect(LinkDialect::Bootloader);
    {
        OutputCapture capture;
        bool error = false;
        transact(1, 0, error);
        EXPECT_TRUE(error);
        EXPECT_EQ(capture.out(), "001,00000 CRC error  00000000\n");
    }
    setLinkDialect(LinkDialect::Firmware);
}

TEST(Transact, GoodReplyIsTracedAndItsValueReturned) {
    FerroxBench bench = installFerroxDrive();
    ASSERT_TRUE(openLink(true));
    bool error = false;
    transact(52, 6020, error);
    transact(2, 0, error);
    OutputCapture capture;
    uint32_t raw = 0;
    uint16_t value = transact(2, 0, error, &raw);
    EXPECT_FALSE(error);
    EXPECT_EQ(value, bench.firmware.param(6020));
    EXPECT_EQ(raw, bench.adapter.frameLog().back().reply);
    EXPECT_EQ(uint16_t(raw >> 8), value);
    EXPECT_EQ(capture.out(), "002,00000  " + hex8(raw) + "\n");
}

TEST(Transact, ErrorFlagIsStickyAndQuietTraceSilencesOnlyTheTrace) {
    FerroxBench bench = installFerroxDrive();
    ASSERT_TRUE(openLink(true));
    bool error = true;
    transact(2, 0, error);
    EXPECT_TRUE(error);  // a good reply never clears it

    bench.adapter.faults().line = drive_sim::LineFault::StuckLow;
    quietTrace = true;
    OutputCapture capture;
    bool quietError = false;
    uint32_t raw = 0;
    transact(2, 0, quietError, &raw);
    quietTrace = false;
    EXPECT_TRUE(quietError);
    EXPECT_EQ(raw, 0xFFFFFFFFu);  // stored after a CRC mismatch too
    EXPECT_EQ(capture.out(), "");
}

TEST(Transact, CommandAbove255GoesOutAsItsLowByteButIsTracedWhole) {
    FerroxBench bench = installFerroxDrive();
    ASSERT_TRUE(openLink(true));
    OutputCapture capture;
    bool error = false;
    transact(258, 7, error);
    EXPECT_EQ(capture.out().substr(0, 10), "258,00007 ");
    EXPECT_EQ(bench.adapter.frameLog().back().command, 2);
    EXPECT_EQ(bench.adapter.frameLog().back().value, 7);
    EXPECT_TRUE(bench.adapter.frameLog().back().crcOk);
}
