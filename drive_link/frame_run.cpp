#include "frame_run.h"

#include "drive_link.h"
#include "ferrox_protocol.h"

namespace drive_link {

FrameRun::FrameRun(Link& link) : link_(link) {}

void FrameRun::add(uint16_t command, uint16_t value, bool& error, AfterReply after) {
    entries_.push_back({false, {}, command, value, &error, std::move(after)});
    ++frames_;
}

void FrameRun::addUnchecked(uint16_t command, uint16_t value, AfterReply after) {
    entries_.push_back({false, {}, command, value, nullptr, std::move(after)});
    ++frames_;
}

void FrameRun::addNoOp(bool& error, AfterReply after) {
    add(link_.noOpCommand(), 0, error, std::move(after));
}

void FrameRun::addText(std::string text) {
    Entry entry;
    entry.isText = true;
    entry.text = std::move(text);
    entries_.push_back(std::move(entry));
}

void FrameRun::addSetParam(uint16_t number, uint16_t content, bool& error, AfterReply afterStore) {
    if (link_.dialect() == LinkDialect::Firmware) {
        addText("Setparam " + std::to_string(number) + " = " + std::to_string(content) + "\n");
    }
    add(ferrox_command::kLatchValue, content, error);
    add(ferrox_command::kStoreParam, number, error, std::move(afterStore));
}

void FrameRun::addGetParam(uint16_t number, bool& error, uint16_t& content) {
    add(ferrox_command::kRequestParam, number, error);
    add(ferrox_command::kNoOp, 0, error);
    Link& link = link_;
    add(ferrox_command::kNoOp, 0, error, [&link, &content, number](const Reply& reply) {
        // As transact returns it: the value even after a CRC failure, 0 without a connection.
        content = reply.value();
        if (!link.quietTrace()) {
            link.trace("%u=%u\n", unsigned(number), unsigned(content));
        }
        return true;
    });
}

}  // namespace drive_link
