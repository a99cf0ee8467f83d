// The Ferrox firmware's command codes and the parameter numbers that the configuration program
// uses beyond the settings of both axes (those are in config_tool/settings_table). The drive
// answers a command in the reply of the second frame after it.
#pragma once

#include <cstdint>

namespace ferrox_command {
constexpr uint16_t kPowerStage = 0;  // value 1 disables, 2 enables
constexpr uint16_t kDisable = 1;
constexpr uint16_t kEnable = 2;
constexpr uint16_t kNoOp = 2;
constexpr uint16_t kStoreSettings = 3;
constexpr uint16_t kStartCapture = 11;
constexpr uint16_t kReadSamplePair = 13;  // value: the sample address
constexpr uint16_t kClearFaults = 20;
constexpr uint16_t kAllFaults = 0xFFFF;
constexpr uint16_t kStartStepTest = 41;  // value: the axis index
constexpr uint16_t kLatchValue = 50;
constexpr uint16_t kStoreParam = 51;
constexpr uint16_t kRequestParam = 52;
constexpr uint16_t kInternalReading = 120;
constexpr uint16_t kScopeChecksumReading = 10;
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
constexpr uint16_t kCaptureSetting = 5011;
constexpr uint16_t kCaptureDivider = 5012;
constexpr uint16_t kChannelMaskLow = 5020;
constexpr uint16_t kChannelMaskHigh = 5021;
constexpr uint16_t kCurrentScale = 5510;  // counts per ampere, signed
constexpr uint16_t kSettlingTime = 6090;  // ms
constexpr uint16_t kPeakError = 6091;     // counts
constexpr uint16_t kUndershoot = 6092;    // counts
}  // namespace ferrox_param
