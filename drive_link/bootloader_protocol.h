// The bootloader's commands and reply fields, as the flasher uses them.
#pragma once

#include <cstdint>

namespace bootloader {
constexpr uint16_t kNoOp = 1;
constexpr uint16_t kSetup = 5;
constexpr uint16_t kErase = 9;
constexpr uint16_t kVersion = 11;
constexpr uint16_t kProgramPacket = 17;
constexpr uint16_t kDataWord = 19;
constexpr uint16_t kVerify = 22;
constexpr uint16_t kFaultBits = 25;

constexpr uint16_t kEraseKey = 0xC308;

constexpr uint8_t kIdleStatus = 1;
constexpr uint8_t kBusyBits = 0x30;
// How a drive that runs its firmware answers the first fault-bit request: status 0, value
// 0xFFFF, CRC byte 0xFF (which fails the CRC, so the bits are looked at regardless).
constexpr uint32_t kNotBootloaderAnswer = 0x00FFFFFF;
// How the same drive answers the bootloader's no-op.
constexpr uint16_t kFirmwareNoOpAnswer = 0xD123;

constexpr uint16_t kFirstSupportedVersion = 109;
constexpr uint16_t kLastSupportedVersion = 110;

inline uint8_t statusByte(uint32_t rawReply) {
    return uint8_t(rawReply >> 24);
}
inline uint16_t replyValue(uint32_t rawReply) {
    return uint16_t(rawReply >> 8);
}
}  // namespace bootloader
