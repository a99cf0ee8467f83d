// The drive's clocked framing: 32 bits per frame from power-up, the drive's CRC verdict, the
// two-frame answer lag and the frame log. (The running reply sum is checked by every scope
// download in the response tests.)
#include <gtest/gtest.h>

#include <vector>

#include "drive_framing.h"
#include "drive_link.h"
#include "sim_fixture.h"
#include "wire.h"

TEST(DriveFraming, CountsThirtyTwoBitsPerFrameFromPowerUp) {
    FerroxBench bench = installFerroxDrive();
    ASSERT_TRUE(openLink(true));
    bench.adapter.clearFrameLog();
    exchangeWord(0x1111);
    exchangeWord(0x2222);
    exchangeWord(0x3333);
    ASSERT_EQ(bench.adapter.frameLog().size(), 1u);
    EXPECT_EQ(bench.adapter.frameLog()[0].rawFrame, 0x22221111u);

    // Half a frame, then the supply restarts: the drive counts from the new power-up.
    bench.adapter.powerCycle();
    bench.adapter.clearFrameLog();
    bool error = false;
    transact(52, 6020, error);
    ASSERT_EQ(bench.adapter.frameLog().size(), 1u);
    EXPECT_EQ(bench.adapter.frameLog()[0].rawFrame, frameOnWire(52, 6020));
    EXPECT_TRUE(bench.adapter.frameLog()[0].crcOk);
}

TEST(DriveFraming, AnswersEachFrameInTheReplyOfTheSecondFrameAfterItAndLogsBoth) {
    FerroxBench bench = installFerroxDrive();
    ASSERT_TRUE(openLink(true));
    bench.adapter.clearFrameLog();
    bool error = false;
    std::vector<uint32_t> replies;
    for (uint16_t value : {100, 200, 300, 400, 500}) {
        uint32_t raw = 0;
        transact(50, value, error, &raw);  // answered with the latched value
        replies.push_back(raw);
    }
    EXPECT_FALSE(error);
    uint32_t powerUp = frameOnWire(1, 0);  // status: power stage enabled
    EXPECT_EQ(replies, (std::vector<uint32_t>{powerUp, powerUp, frameOnWire(1, 100),
                                              frameOnWire(1, 200), frameOnWire(1, 300)}));
    const auto& log = bench.adapter.frameLog();
    ASSERT_EQ(log.size(), 5u);
    for (size_t i = 0; i < log.size(); ++i) {
        EXPECT_EQ(log[i].command, 50);
        EXPECT_EQ(log[i].value, 100 * (i + 1));
        EXPECT_TRUE(log[i].crcOk);
        EXPECT_EQ(log[i].reply, replies[i]);  // a clean line carries what was sent
        EXPECT_EQ(log[i].lineReply, replies[i]);
    }
}

TEST(DriveFraming, FrameFailingItsCrcIsNotExecutedAndItsAnswerFailsTheHostCheck) {
    FerroxBench bench = installFerroxDrive();
    ASSERT_TRUE(openLink(true));
    bench.adapter.clearFrameLog();
    // Command 0 with value 1 (disable) with one CRC bit wrong.
    exchangeWord(uint16_t((1 << 8) | (frameCrc(0, 1) ^ 0x10)));
    exchangeWord(0x0000);
    ASSERT_EQ(bench.adapter.frameLog().size(), 1u);
    EXPECT_FALSE(bench.adapter.frameLog()[0].crcOk);
    EXPECT_EQ(bench.adapter.frameLog()[0].value, 1);
    EXPECT_TRUE(bench.firmware.powerStageEnabled());

    quietTrace = true;
    bool error = false;
    uint32_t raw = 0;
    transact(2, 0, error);
    EXPECT_FALSE(error);  // still the power-up reply
    transact(2, 0, error, &raw);
    EXPECT_TRUE(error);
    EXPECT_EQ(raw, drive_sim::rejectedFrameReply());
    EXPECT_FALSE(hostAccepts(raw));
    error = false;
    transact(2, 0, error);
    EXPECT_FALSE(error);  // the drive is back in step
    quietTrace = false;
}
