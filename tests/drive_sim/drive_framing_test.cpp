// The drive's clocked framing: 32 bits per frame from power-up, the drive's CRC verdict, the
// two-frame answer lag, the frame log and the running reply sum.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "drive_framing.h"
#include "drive_link.h"
#include "output_capture.h"
#include "sim_fixture.h"
#include "wire.h"

using drive_sim::Answer;
using drive_sim::FrameRecord;

namespace {
// Echoes every command's value back with the command as status, except command 7, whose answer
// is the running sum of every reply sent before it.
class EchoDrive : public drive_sim::DrivePersonality {
public:
    void powerUp() override {}
    Answer execute(uint8_t command, uint16_t value) override {
        if (command == 7) {
            return Answer{0, true};
        }
        return Answer{drive_sim::framedReply(command, value), false};
    }
    uint32_t powerUpReply() const override { return drive_sim::framedReply(0x5A, 0x1234); }
};

uint32_t transactRaw(uint8_t command, uint16_t value, bool& error) {
    uint32_t raw = 0;
    transact(command, value, error, &raw);
    return raw;
}
}  // namespace

TEST(DriveFraming, CountsThirtyTwoBitsPerFrameFromPowerUp) {
    FerroxBench bench = installFerroxDrive();
    ASSERT_TRUE(openLink(true));
    bench.adapter.clearFrameLog();
    exchangeWord(0x1111);
    exchangeWord(0x2222);
    exchangeWord(0x3333);
    ASSERT_EQ(bench.adapter.frameLog().size(), 1u);
    EXPECT_EQ(bench.adapter.frameLog()[0].rawFrame, 0x22221111u);

    // Half a frame, then the supply restarts: the drive counts from the new power-up, so the
    // next whole frame is taken as one.
    bench.adapter.powerCycle();
    bench.adapter.clearFrameLog();
    bool error = false;
    transact(52, 6020, error);
    ASSERT_EQ(bench.adapter.frameLog().size(), 1u);
    EXPECT_EQ(bench.adapter.frameLog()[0].rawFrame, frameOnWire(52, 6020));
    EXPECT_TRUE(bench.adapter.frameLog()[0].crcOk);
}

TEST(DriveFraming, AnswersEachFrameInTheReplyOfTheSecondFrameAfterIt) {
    installSimulatedDrive(std::make_unique<EchoDrive>());
    ASSERT_TRUE(openLink(true));
    bool error = false;
    std::vector<uint32_t> replies;
    for (uint16_t value : {100, 200, 300, 400, 500}) {
        replies.push_back(transactRaw(9, value, error));
    }
    EXPECT_FALSE(error);
    uint32_t powerUp = drive_sim::framedReply(0x5A, 0x1234);
    EXPECT_EQ(replies, (std::vector<uint32_t>{powerUp, powerUp, frameOnWire(9, 100),
                                              frameOnWire(9, 200), frameOnWire(9, 300)}));
}

TEST(DriveFraming, LogsEachFrameWithTheReplyShiftedOutMeanwhile) {
    FerroxBench bench = installFerroxDrive();
    ASSERT_TRUE(openLink(true));
    bench.adapter.clearFrameLog();
    bool error = false;
    std::vector<uint32_t> hostReplies;
    hostReplies.push_back(transactRaw(52, 6020, error));
    hostReplies.push_back(transactRaw(2, 0, error));
    hostReplies.push_back(transactRaw(2, 0, error));
    const std::vector<FrameRecord>& log = bench.adapter.frameLog();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].command, 52);
    EXPECT_EQ(log[0].value, 6020);
    EXPECT_EQ(log[0].rawFrame, frameOnWire(52, 6020));
    EXPECT_EQ(log[1].rawFrame, frameOnWire(2, 0));
    for (size_t i = 0; i < log.size(); ++i) {
        EXPECT_TRUE(log[i].crcOk);
        EXPECT_EQ(log[i].reply, log[i].lineReply);  // a clean line carries what was sent
        EXPECT_EQ(log[i].lineReply, hostReplies[i]);
    }
    EXPECT_EQ(uint16_t(log[2].reply >> 8), bench.firmware.param(6020));
}

TEST(DriveFraming, FrameFailingItsCrcIsNotExecutedAndItsAnswerFailsTheHostCheck) {
    FerroxBench bench = installFerroxDrive();
    ASSERT_TRUE(openLink(true));
    bench.adapter.clearFrameLog();
    // Command 0 with value 1 (disable) with one CRC bit wrong.
    uint8_t badCrc = uint8_t(frameCrc(0, 1) ^ 0x10);
    exchangeWord(uint16_t((1 << 8) | badCrc));
    exchangeWord(0x0000);
    ASSERT_EQ(bench.adapter.frameLog().size(), 1u);
    EXPECT_FALSE(bench.adapter.frameLog()[0].crcOk);
    EXPECT_EQ(bench.adapter.frameLog()[0].command, 0);
    EXPECT_EQ(bench.adapter.frameLog()[0].value, 1);
    EXPECT_TRUE(bench.firmware.powerStageEnabled());

    bool error = false;
    transact(2, 0, error);
    EXPECT_FALSE(error);  // still the power-up reply
    OutputCapture capture;
    uint32_t raw = transactRaw(2, 0, error);
    EXPECT_TRUE(error);
    EXPECT_EQ(raw, drive_sim::rejectedFrameReply());
    EXPECT_FALSE(hostAccepts(raw));
    EXPECT_NE(capture.out().find("002,00000 CRC error (correct "), std::string::npos);
    error = false;
    transact(2, 0, error);
    EXPECT_FALSE(error);  // the drive is back in step
}

TEST(DriveFraming, RunningSumAnswerIsTheWrappingSumOfEveryReplySentBeforeIt) {
    drive_sim::SimulatedAdapter& adapter = installSimulatedDrive(std::make_unique<EchoDrive>());
    ASSERT_TRUE(openLink(true));
    bool error = false;
    uint32_t sum = 0;
    // Large values, so the sum wraps.
    for (uint16_t value : {0xFFFF, 0xFFF0, 0xFF00, 0xF000, 7}) {
        sum += transactRaw(200, value, error);
    }
    sum += transactRaw(7, 0, error);
    sum += transactRaw(2, 0, error);
    uint32_t answer = transactRaw(2, 0, error);
    EXPECT_EQ(answer, sum);
    // The same figure from the drive's side of the log.
    uint32_t logged = 0;
    const auto& log = adapter.frameLog();
    for (size_t i = 0; i + 1 < log.size(); ++i) {
        logged += log[i].reply;
    }
    EXPECT_EQ(log.back().reply, logged);

    // The sum starts again at power-up.
    ASSERT_TRUE(openLink(true));
    error = false;
    uint32_t first = transactRaw(7, 0, error);
    uint32_t second = transactRaw(2, 0, error);
    uint32_t third = transactRaw(2, 0, error);
    EXPECT_EQ(third, first + second);
}
