// Command frames: the CRC, the words on the wire, the three paths of a transaction with their
// trace lines, and parameter access over the two-frame answer lag.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "drive_link.h"
#include "output_capture.h"
#include "personality.h"
#include "sim_fixture.h"
#include "transcript.h"

using namespace drive_link;

TEST(FrameCrc, MatchesTheWorkedValues) {
    EXPECT_EQ(frameCrc(0, 0), 0x5C);
    EXPECT_EQ(frameCrc(2, 0), 0x8A);
    EXPECT_EQ(frameCrc(50, 1), 0x7E);
    EXPECT_EQ(frameCrc(52, 6020), 0x91);
    EXPECT_EQ(frameCrc(0xFF, 0xFFFF), 0x53);
}

// Every error of one, two or three bits anywhere in the 32 bits of a frame fails the check, on
// the host's CRC and on the drive's own. Checked for all 5488 error patterns on several frames.
TEST(FrameCrc, EveryErrorOfUpToThreeBitsIsDetected) {
    auto passes = [](uint32_t frame, auto crc) {
        return crc(uint8_t(frame >> 24), uint16_t(frame >> 8)) == uint8_t(frame);
    };
    const uint32_t frames[] = {0x00000000u, 0x02000000u, 0x34178491u, 0xFFFFFFFFu, 0x0100FAA1u};
    std::vector<uint32_t> errors;
    for (int a = 0; a < 32; ++a) {
        errors.push_back(1u << a);
        for (int b = a + 1; b < 32; ++b) {
            errors.push_back((1u << a) | (1u << b));
            for (int c = b + 1; c < 32; ++c) {
                errors.push_back((1u << a) | (1u << b) | (1u << c));
            }
        }
    }
    ASSERT_EQ(errors.size(), 32u + 496u + 4960u);
    for (uint32_t good : frames) {
        const uint32_t frame =
            (good & 0xFFFFFF00u) | frameCrc(uint8_t(good >> 24), uint16_t(good >> 8));
        ASSERT_TRUE(passes(frame, frameCrc));
        ASSERT_TRUE(passes(frame, drive_sim::driveCrc));
        for (uint32_t error : errors) {
            ASSERT_FALSE(passes(frame ^ error, frameCrc)) << std::hex << frame << " " << error;
            ASSERT_FALSE(passes(frame ^ error, drive_sim::driveCrc)) << std::hex << error;
        }
    }
}

TEST(ExchangeFrame, SendsLowHalfThenHighHalfAndOnlyTheCommandsLowByte) {
    drive_link::Link link;
    FerroxBench bench = installFerroxDrive();
    ASSERT_TRUE(link.open(true));
    bench.adapter.clearCallLog();
    OutputCapture capture;
    link.exchangeFrame(52, 6020);
    std::vector<uint16_t> words;  // what each 33-byte buffer carries on D0
    for (const auto& record : bench.adapter.callLog()) {
        uint16_t word = 0;
        for (int bit = 0; bit < 16 && record.call == drive_sim::AdapterCall::Write; ++bit) {
            word |= uint16_t((record.bytes.at(2 * bit) & 1u) << bit);
        }
        words.push_back(word);
    }
    EXPECT_EQ(words, (std::vector<uint16_t>{0x8491, 0, 0x3417, 0}));  // each write, then a read
    bool error = false;
    link.transact(258, 7, error);
    EXPECT_EQ(capture.out().substr(0, 20), "052,06020 258,00007 ");  // traced whole
    EXPECT_EQ(compactFrames(bench.adapter.frameLog()), "> 52,6020 2,7");
    EXPECT_TRUE(bench.adapter.frameLog().back().crcOk);
}
