// The Ferrox firmware's command codes and the parameters that the window's workflows use beyond
// the settings themselves.
#pragma once

#include <cstdint>

namespace ferrox_command {
constexpr uint16_t kPowerStage = 0;  // value 1 disables, 2 enables
constexpr uint16_t kDisable = 1;
constexpr uint16_t kEnable = 2;
constexpr uint16_t kNoOp = 2;
constexpr uint16_t kStoreSettings = 3;
constexpr uint16_t kClearFaults = 20;
constexpr uint16_t kAllFaults = 0xFFFF;
constexpr uint16_t kInternalReading = 120;
constexpr uint16_t kTemperatureReading = 210;
constexpr uint16_t kHighVoltageReading = 220;
}  // namespace ferrox_command

namespace ferrox_param {
constexpr uint16_t kDriveType = 6020;
constexpr uint16_t kFirmwareVersion = 6010;
constexpr uint16_t kCompatibilityVersion = 6012;
constexpr uint16_t kFaultRegister = 5100;
constexpr uint16_t kStatusRegister = 5102;
constexpr uint16_t kFaultLocation = 15440;
constexpr uint16_t kOvercurrentAxis1 = 485;
constexpr uint16_t kOvercurrentAxis2 = 8585;
}  // namespace ferrox_param
