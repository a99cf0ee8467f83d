// The parameter set a Ferrox drive leaves the factory with.
#pragma once

#include <cstdint>
#include <map>

namespace drive_sim {

// The simulator's own copy of the Ferrox firmware's protocol, apart from drive_link's on purpose:
// it is the independent check of the programs. Parameter numbers the firmware itself serves
// (beyond the settings of both axes), and its command codes.
namespace ferrox {
enum Command : uint8_t {
    kPowerStage = 0,
    kBootloaderNoOp = 1,
    kNoOp = 2,
    kStore = 3,
    kScopeStart = 11,
    kScopeRead = 13,
    kClearFaults = 20,
    kBootloaderFaultBits = 25,
    kStepTest = 41,
    kLatch = 50,
    kWriteLatched = 51,
    kReadParameter = 52,
    kReading = 120,
};
constexpr uint16_t kDisable = 1;  // values of kPowerStage
constexpr uint16_t kEnable = 2;
constexpr uint16_t kScopeChecksumSelector = 10;  // value of kReading

constexpr uint16_t kSettingsFlags = 80;
constexpr uint16_t kFaultRegister = 5100;
constexpr uint16_t kRunawayFault = 0x1000;  // encoder, runaway or stall: a following-error trip
constexpr uint16_t kStatusRegister = 5102;
constexpr uint16_t kFaultLocation = 15440;
constexpr uint16_t kDriveType = 6020;
constexpr uint16_t kFirmwareVersion = 6010;
constexpr uint16_t kCompatibilityVersion = 6012;
constexpr uint16_t kCurrentScale = 5510;  // counts per ampere
constexpr uint16_t kAxis2Offset = 8100;
constexpr uint16_t kTemperatureSelector = 210;
constexpr uint16_t kHighVoltageSelector = 220;
}  // namespace ferrox

std::map<uint16_t, uint16_t> ferroxFactoryParameters();
std::map<uint16_t, uint16_t> ferroxFactoryReadings();

}  // namespace drive_sim
