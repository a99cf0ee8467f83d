// Command frames: the CRC, the words on the wire, and the three paths of a transaction with
// their trace lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "drive_link.h"
#include "output_capture.h"
#include "sim_fixture.h"

using drive_sim::AdapterCall;

TEST(FrameCrc, MatchesTheWorkedValues) {
    EXPECT_EQ(frameCrc(0, 0), 0x5C);
    EXPECT_EQ(frameCrc(2, 0), 0x8A);
    EXPECT_EQ(frameCrc(50, 1), 0x7E);
    EXPECT_EQ(frameCrc(52, 6020), 0x91);
    EXPECT_EQ(frameCrc(0xFF, 0xFFFF), 0x53);
}

TEST(ExchangeFrame, SendsLowHalfThenHighHalfAndOnlyTheCommandsLowByte) {
    FerroxBench bench = installFerroxDrive();
    ASSERT_TRUE(openLink(true));
    bench.adapter.clearCallLog();
    OutputCapture capture;
    exchangeFrame(52, 6020);
    std::vector<uint16_t> words;  // what each 33-byte buffer carries on D0
    for (const auto& record : bench.adapter.callLog()) {
        if (record.call == AdapterCall::Write) {
            uint16_t word = 0;
            for (int bit = 0; bit < 16; ++bit) {
                word |= uint16_t((record.bytes.at(2 * bit) & 1u) << bit);
            }
            words.push_back(word);
        }
    }
    EXPECT_EQ(words, (std::vector<uint16_t>{0x8491, 0x3417}));
    EXPECT_EQ(capture.out(), "052,06020 ");

    bool error = false;
    transact(258, 7, error);
    EXPECT_EQ(capture.out().substr(10, 10), "258,00007 ");  // traced whole
    EXPECT_EQ(bench.adapter.frameLog().back().command, 2);
    EXPECT_EQ(bench.adapter.frameLog().back().value, 7);
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

TEST(Transact, OpenButFailedLinkIsACrcErrorOfAnAllZeroReplyInBothDialects) {
    drive_sim::LinkFaults faults;
    faults.failingCalls.insert(AdapterCall::SetBitMode);
    installFerroxDrive(faults);
    ASSERT_FALSE(openLink(true));
    OutputCapture capture;
    bool error = false;
    uint32_t raw = 0xDEADBEEF;
    EXPECT_EQ(transact(2, 0, error, &raw), 0);
    EXPECT_TRUE(error);
    EXPECT_EQ(raw, 0u);
    setLinkDialect(LinkDialect::Bootloader);
    error = false;
    transact(1, 0, error);
    setLinkDialect(LinkDialect::Firmware);
    EXPECT_TRUE(error);
    EXPECT_EQ(capture.out(),
              "002,00000 CRC error (correct 5c)  00000000\n001,00000 CRC error  00000000\n");
}

TEST(Transact, GoodReplyIsTracedAndItsValueAndRawReplyReturned) {
    FerroxBench bench = installFerroxDrive();
    bench.firmware.setParam(6020, 250);
    ASSERT_TRUE(openLink(true));
    bool error = false;
    transact(52, 6020, error);
    transact(2, 0, error);
    OutputCapture capture;
    uint32_t raw = 0;
    EXPECT_EQ(transact(2, 0, error, &raw), 250);
    EXPECT_FALSE(error);
    EXPECT_EQ(raw, 0x0100FAA1u);  // status 1 (enabled), 250, CRC
    EXPECT_EQ(capture.out(), "002,00000  0100FAA1\n");
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
