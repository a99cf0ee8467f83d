// Parameter access: the drive answers a command in the reply of the second frame after it.
#include "drive_link.h"
#include "trace.h"

uint16_t setParam(uint16_t number, uint16_t content, bool& error) {
    if (linkDialect() == LinkDialect::Firmware) {
        trace("Setparam %u = %u\n", unsigned(number), unsigned(content));
    }
    transact(50, content, error);
    return transact(51, number, error);
}

uint16_t getParam(uint16_t number, bool& error) {
    transact(52, number, error);
    transact(2, 0, error);
    uint16_t content = transact(2, 0, error);
    if (!quietTrace) {
        trace("%u=%u\n", unsigned(number), unsigned(content));
    }
    return content;
}
