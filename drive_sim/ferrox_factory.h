// The parameter set a Ferrox drive leaves the factory with.
#pragma once

#include <cstdint>
#include <map>

namespace drive_sim {

// Parameter numbers the firmware itself serves (beyond the settings of both axes).
namespace ferrox {
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
