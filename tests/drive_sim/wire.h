// What the host puts on the wire and how it judges a reply, for comparing with the frame log.
#pragma once

#include <cstdint>

#include "drive_link.h"

inline uint32_t frameOnWire(uint8_t command, uint16_t value) {
    return (uint32_t(command) << 24) | (uint32_t(value) << 8) | frameCrc(command, value);
}

inline bool hostAccepts(uint32_t reply) {
    return frameCrc(uint8_t(reply >> 24), uint16_t(reply >> 8)) == uint8_t(reply);
}
