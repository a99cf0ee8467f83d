// 32-bit command frames with CRC-8 (polynomial 0x07, initial 0x33) and the transaction trace.
#include <array>

#include "drive_link.h"
#include "trace.h"

namespace drive_link {

namespace {
constexpr std::array<uint8_t, 256> makeCrcTable() {
    std::array<uint8_t, 256> table{};
    for (int i = 0; i < 256; ++i) {
        uint8_t reg = uint8_t(i);
        for (int step = 0; step < 8; ++step) {
            reg = (reg & 0x80) ? uint8_t((reg << 1) ^ 0x07) : uint8_t(reg << 1);
        }
        table[i] = reg;
    }
    return table;
}
constexpr std::array<uint8_t, 256> kCrcTable = makeCrcTable();
static_assert(kCrcTable[1] == 0x07 && kCrcTable[128] == 0x89, "CRC-8 table of polynomial 0x07");
}  // namespace

uint8_t frameCrc(uint8_t first, uint16_t value) {
    uint8_t reg = 0x33;
    reg = kCrcTable[reg ^ first];
    reg = kCrcTable[reg ^ uint8_t(value & 0xFF)];
    reg = kCrcTable[reg ^ uint8_t(value >> 8)];
    return reg;
}

uint32_t exchangeFrame(uint16_t command, uint16_t value) {
    uint8_t commandByte = uint8_t(command & 0xFF);
    uint8_t crc = frameCrc(commandByte, value);
    uint16_t low = exchangeWord(uint16_t(((value & 0xFF) << 8) | crc));
    uint16_t high = exchangeWord(uint16_t((commandByte << 8) | (value >> 8)));
    if (!quietTrace) {
        trace("%03u,%05u ", unsigned(command), unsigned(value));
    }
    return (uint32_t(high) << 16) | low;
}

uint16_t transact(uint16_t command, uint16_t value, bool& error, uint32_t* rawReply) {
    uint32_t reply = exchangeFrame(command, value);
    if (!linkState.linkOpen && !linkState.linkGood) {
        if (!quietTrace) {
            trace("Not conencted\n");
        }
        error = true;
        return 0;
    }

    uint8_t status = uint8_t(reply >> 24);
    uint16_t replyValue = uint16_t(reply >> 8);
    uint8_t expected = frameCrc(status, replyValue);
    if (expected != uint8_t(reply & 0xFF)) {
        error = true;
        if (!quietTrace) {
            if (linkDialect() == LinkDialect::Firmware) {
                trace("CRC error (correct %02x) ", unsigned(expected));
            } else {
                trace("CRC error ");
            }
            trace(" %08X\n", unsigned(reply));
        }
    } else if (!quietTrace) {
        trace(" %08X\n", unsigned(reply));
    }

    if (rawReply) {
        *rawReply = reply;
    }
    return replyValue;
}

uint16_t sendNoOp(bool& error, uint32_t* rawReply) {
    return transact(noOpCommand(), 0, error, rawReply);
}

}  // namespace drive_link
