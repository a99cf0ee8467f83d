// Parameter access: the drive answers a command in the reply of the second frame after it.
#include "drive_link.h"
#include "ferrox_protocol.h"
#include "trace.h"

namespace drive_link {

uint16_t setParam(uint16_t number, uint16_t content, bool& error) {
    if (linkDialect() == LinkDialect::Firmware) {
        trace("Setparam %u = %u\n", unsigned(number), unsigned(content));
    }
    transact(ferrox_command::kLatchValue, content, error);
    return transact(ferrox_command::kStoreParam, number, error);
}

uint16_t getParam(uint16_t number, bool& error) {
    transact(ferrox_command::kRequestParam, number, error);
    transact(ferrox_command::kNoOp, 0, error);
    uint16_t content = transact(ferrox_command::kNoOp, 0, error);
    if (!quietTrace) {
        trace("%u=%u\n", unsigned(number), unsigned(content));
    }
    return content;
}

}  // namespace drive_link
