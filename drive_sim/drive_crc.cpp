// The drive's CRC-8, bit by bit as the drive's firmware shifts it. It is kept independent of the
// host's table so that each side checks the other.
#include "personality.h"

namespace drive_sim {

namespace {
constexpr uint8_t kPolynomial = 0x07;
constexpr uint8_t kInitial = 0x33;

uint8_t shiftIn(uint8_t reg, uint8_t byte) {
    reg ^= byte;
    for (int bit = 0; bit < 8; ++bit) {
        bool carry = (reg & 0x80) != 0;
        reg = uint8_t(reg << 1);
        if (carry) {
            reg ^= kPolynomial;
        }
    }
    return reg;
}
}  // namespace

uint8_t driveCrc(uint8_t first, uint16_t value) {
    uint8_t reg = shiftIn(kInitial, first);
    reg = shiftIn(reg, uint8_t(value & 0xFF));
    return shiftIn(reg, uint8_t(value >> 8));
}

uint32_t framedReply(uint8_t status, uint16_t value) {
    return (uint32_t(status) << 24) | (uint32_t(value) << 8) | driveCrc(status, value);
}

}  // namespace drive_sim
