// The Ferrox firmware of the simulated drive, reached through the drive link as the
// configuration program reaches it.
#include <gtest/gtest.h>

#include "drive_link.h"
#include "ferrox_factory.h"
#include "sim_fixture.h"
#include "wire.h"

namespace ferrox = drive_sim::ferrox;

namespace {
constexpr uint8_t kUnknownBit = 0x80;

class FerroxFirmwareTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(openLink(true));
        quietTrace = true;  // the trace of these reads is not the subject here
    }
    void TearDown() override { quietTrace = false; }

    // A command's raw answer, fetched with the two no-ops that follow it.
    uint32_t answerOf(uint8_t command, uint16_t value) {
        uint32_t raw = 0;
        transact(command, value, error);
        transact(2, 0, error);
        transact(2, 0, error, &raw);
        return raw;
    }
    // A valid reply whose status says the command or parameter was unknown.
    static bool unknownAnswer(uint32_t raw) {
        return hostAccepts(raw) && (raw >> 24 & kUnknownBit);
    }

    FerroxBench bench = installFerroxDrive();
    bool error = false;
};
}  // namespace

TEST_F(FerroxFirmwareTest, ServesIdentificationSettingsAndDiagnosisAndMarksTheRestUnknown) {
    EXPECT_GE(getParam(ferrox::kDriveType, error), 200);
    EXPECT_LE(getParam(ferrox::kDriveType, error), 300);
    EXPECT_GE(getParam(ferrox::kFirmwareVersion, error), 2000);
    EXPECT_LE(getParam(ferrox::kFirmwareVersion, error), 2500);
    EXPECT_LE(getParam(ferrox::kCompatibilityVersion, error), 2000);
    // A setting of each axis and a diagnosis register (the windows' tests read them all).
    for (uint16_t number : {410, 8510, 5100}) {
        uint32_t raw = answerOf(52, number);
        EXPECT_TRUE(hostAccepts(raw) && !unknownAnswer(raw)) << number;
        EXPECT_EQ(uint16_t(raw >> 8), bench.firmware.param(number)) << number;
    }
    EXPECT_NE(bench.firmware.param(410), 0);
    EXPECT_NE(bench.firmware.param(8510), bench.firmware.param(410));  // two distinct axes
    for (uint32_t raw : {answerOf(99, 5), answerOf(52, 4444), answerOf(120, 999)}) {
        EXPECT_TRUE(unknownAnswer(raw));
        EXPECT_EQ(uint16_t(raw >> 8), 0);
    }
    EXPECT_FALSE(unknownAnswer(answerOf(2, 0)));  // the next command is fine
    EXPECT_FALSE(error);
}

TEST_F(FerroxFirmwareTest, WritesLatchThenStoreAndOnlyStoredValuesSurviveAPowerCycle) {
    uint16_t factory = bench.firmware.param(411);
    EXPECT_EQ(transact(50, 1234, error), 0);  // power-up reply
    EXPECT_EQ(transact(51, 410, error), 0);
    EXPECT_EQ(transact(2, 0, error), 1234);  // 50 answers with the latched value
    EXPECT_EQ(transact(2, 0, error), 1234);  // 51 with the value it stored
    EXPECT_EQ(getParam(410, error), 1234);
    EXPECT_EQ(answerOf(3, 0) >> 8 & 0xFFFF, 0u);
    EXPECT_EQ(bench.firmware.storeCount(), 1);
    setParam(411, 4321, error);  // not stored
    EXPECT_EQ(getParam(411, error), 4321);

    bench.adapter.powerCycle();
    EXPECT_EQ(getParam(410, error), 1234);
    EXPECT_EQ(getParam(411, error), factory);
    ASSERT_TRUE(openLink(true));  // opening the adapter is a power cycle too
    EXPECT_EQ(getParam(410, error), 1234);
    EXPECT_FALSE(error);
}

TEST_F(FerroxFirmwareTest, PowerStageAndClearFaultCommands) {
    EXPECT_EQ(answerOf(0, 1) >> 24, 0u);
    EXPECT_FALSE(bench.firmware.powerStageEnabled());
    EXPECT_EQ(answerOf(0, 2) >> 24, 1u);
    EXPECT_TRUE(bench.firmware.powerStageEnabled());
    uint32_t refused = answerOf(0, 7);  // neither disable nor enable
    EXPECT_TRUE(unknownAnswer(refused));
    EXPECT_EQ(refused >> 24, uint32_t(kUnknownBit | 1));
    answerOf(0, 1);
    bench.adapter.powerCycle();
    EXPECT_TRUE(bench.firmware.powerStageEnabled());  // the drive starts enabled

    bench.firmware.setParam(ferrox::kFaultRegister, 0x00F3);
    answerOf(20, 0x0003);
    EXPECT_EQ(getParam(ferrox::kFaultRegister, error), 0x00F0);
    answerOf(20, 0xFFFF);
    EXPECT_EQ(getParam(ferrox::kFaultRegister, error), 0);
    EXPECT_EQ(bench.firmware.faultClearCount(), 2);
    EXPECT_FALSE(error);
}

TEST_F(FerroxFirmwareTest, InternalReadingsAnswerTwoFramesLater) {
    bench.firmware.setReading(ferrox::kTemperatureSelector, 15123);
    // As the diagnosis asks: both requests, then two no-ops carrying the two readings.
    transact(120, 210, error);
    transact(120, 220, error);
    EXPECT_EQ(transact(2, 0, error), 15123);
    EXPECT_EQ(transact(2, 0, error), 4820);
    EXPECT_FALSE(error);
}

TEST_F(FerroxFirmwareTest, AnswersTheFlashersProbeAsADriveOutOfBootloaderMode) {
    uint32_t noOp = answerOf(1, 0);
    EXPECT_TRUE(hostAccepts(noOp));
    EXPECT_EQ(uint16_t(noOp >> 8), 0xD123);
    EXPECT_FALSE(error);
    EXPECT_EQ(answerOf(25, 0), 0x00FFFFFFu);
    EXPECT_TRUE(error);  // that raw reply fails the CRC
}
