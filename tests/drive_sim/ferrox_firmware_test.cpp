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

// A command's raw answer, fetched with the two no-ops that follow it.
uint32_t answerOf(uint8_t command, uint16_t value, bool& error) {
    uint32_t raw = 0;
    transact(command, value, error);
    transact(2, 0, error);
    transact(2, 0, error, &raw);
    return raw;
}

class FerroxFirmwareTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(openLink(true));
        quietTrace = true;  // the trace of these reads is not the subject here
    }
    void TearDown() override { quietTrace = false; }

    FerroxBench bench = installFerroxDrive();
    bool error = false;
};
}  // namespace

TEST_F(FerroxFirmwareTest, IdentificationValuesLieInsideTheAcceptedRanges) {
    uint16_t driveType = getParam(ferrox::kDriveType, error);
    uint16_t firmwareVersion = getParam(ferrox::kFirmwareVersion, error);
    uint16_t compatibility = getParam(ferrox::kCompatibilityVersion, error);
    EXPECT_FALSE(error);
    EXPECT_GE(driveType, 200);
    EXPECT_LE(driveType, 300);
    EXPECT_GE(firmwareVersion, 2000);
    EXPECT_LE(firmwareVersion, 2500);
    EXPECT_LE(compatibility, 2000);
}

TEST_F(FerroxFirmwareTest, SettingsAndDiagnosisParametersAreAllServed) {
    // The 19 settings of both axes and the diagnosis registers.
    const uint16_t numbers[] = {80,   410,  411,  20,    401,  402,  61,   202,  200,
                                201,  8510, 8511, 8120,  8501, 8502, 8161, 8302, 8300,
                                8301, 5100, 5102, 15440, 485,  8585, 5510};
    for (uint16_t number : numbers) {
        uint32_t raw = answerOf(52, number, error);
        EXPECT_TRUE(hostAccepts(raw)) << number;
        EXPECT_EQ(raw >> 24 & kUnknownBit, 0u) << number;
        EXPECT_EQ(uint16_t(raw >> 8), bench.firmware.param(number)) << number;
    }
    EXPECT_FALSE(error);
    EXPECT_NE(bench.firmware.param(410), 0);
    EXPECT_NE(bench.firmware.param(8510), bench.firmware.param(410));  // two distinct axes
}

TEST_F(FerroxFirmwareTest, WritesLatchThenStoreAndOnlyStoredValuesSurviveAPowerCycle) {
    uint16_t factory = bench.firmware.param(411);
    EXPECT_EQ(transact(50, 1234, error), 0);  // power-up reply
    EXPECT_EQ(transact(51, 410, error), 0);
    EXPECT_EQ(transact(2, 0, error), 1234);  // 50 answers with the latched value
    EXPECT_EQ(transact(2, 0, error), 1234);  // 51 with the value it stored
    EXPECT_EQ(getParam(410, error), 1234);
    EXPECT_EQ(answerOf(3, 0, error) >> 8 & 0xFFFF, 0u);
    EXPECT_EQ(bench.firmware.storeCount(), 1);
    setParam(411, 4321, error);  // not stored
    EXPECT_EQ(getParam(411, error), 4321);

    bench.adapter.powerCycle();
    EXPECT_EQ(getParam(410, error), 1234);
    EXPECT_EQ(getParam(411, error), factory);
    // Opening the adapter is a power cycle too, and the store holds across it.
    ASSERT_TRUE(openLink(true));
    EXPECT_EQ(getParam(410, error), 1234);
    EXPECT_FALSE(error);
}

TEST_F(FerroxFirmwareTest, PowerStageCommandSwitchesTheStatusByte) {
    uint32_t disabled = answerOf(0, 1, error);
    EXPECT_FALSE(bench.firmware.powerStageEnabled());
    EXPECT_EQ(disabled >> 24, 0u);
    uint32_t enabled = answerOf(0, 2, error);
    EXPECT_TRUE(bench.firmware.powerStageEnabled());
    EXPECT_EQ(enabled >> 24, 1u);
    EXPECT_FALSE(error);

    uint32_t refused = answerOf(0, 7, error);  // neither disable nor enable
    EXPECT_TRUE(hostAccepts(refused));
    EXPECT_EQ(refused >> 24, uint32_t(kUnknownBit | 1));
    EXPECT_TRUE(bench.firmware.powerStageEnabled());

    answerOf(0, 1, error);
    bench.adapter.powerCycle();
    EXPECT_TRUE(bench.firmware.powerStageEnabled());  // the drive starts enabled
}

TEST_F(FerroxFirmwareTest, ClearFaultsClearsTheMaskedBitsOfTheFaultRegister) {
    bench.firmware.setParam(ferrox::kFaultRegister, 0x00F3);
    answerOf(20, 0x0003, error);
    EXPECT_EQ(getParam(ferrox::kFaultRegister, error), 0x00F0);
    answerOf(20, 0xFFFF, error);
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

    uint32_t unknown = answerOf(120, 999, error);
    EXPECT_TRUE(hostAccepts(unknown));
    EXPECT_NE(unknown >> 24 & kUnknownBit, 0u);
}

TEST_F(FerroxFirmwareTest, UnknownCommandsAndParametersGetAValidReplyMarkedUnknown) {
    for (uint32_t raw : {answerOf(99, 5, error), answerOf(52, 4444, error)}) {
        EXPECT_TRUE(hostAccepts(raw));
        EXPECT_NE(raw >> 24 & kUnknownBit, 0u);
        EXPECT_EQ(uint16_t(raw >> 8), 0);
    }
    EXPECT_FALSE(error);
    EXPECT_EQ(answerOf(2, 0, error) >> 24 & kUnknownBit, 0u);  // the next command is fine
}

TEST_F(FerroxFirmwareTest, AnswersTheFlashersProbeAsADriveOutOfBootloaderMode) {
    uint32_t noOp = answerOf(1, 0, error);
    EXPECT_TRUE(hostAccepts(noOp));
    EXPECT_EQ(uint16_t(noOp >> 8), 0xD123);
    EXPECT_FALSE(error);
    EXPECT_EQ(answerOf(25, 0, error), 0x00FFFFFFu);
    EXPECT_TRUE(error);  // that raw reply fails the CRC
}
