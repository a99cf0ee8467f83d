// 32-bit command frames with CRC-8 (polynomial 0x07, initial 0x33), the transaction trace, and
// runs of frames.
#include <array>

#include "drive_link.h"
#include "frame_run.h"
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

// A fast-mode stream holds at most this many frames, so that a stop request or a lost adapter
// is seen within a few thousand bytes.
constexpr size_t kFramesPerStream = 256;
}  // namespace

uint8_t frameCrc(uint8_t first, uint16_t value) {
    uint8_t reg = 0x33;
    reg = kCrcTable[reg ^ first];
    reg = kCrcTable[reg ^ uint8_t(value & 0xFF)];
    reg = kCrcTable[reg ^ uint8_t(value >> 8)];
    return reg;
}

uint32_t Link::exchangeFrame(uint16_t command, uint16_t value) {
    const uint32_t reply = clockFrame(command, value);
    traceRequest(command, value);
    return reply;
}

void Link::traceRequest(uint16_t command, uint16_t value) {
    if (!quietTrace_) {
        trace("%03u,%05u ", unsigned(command), unsigned(value));
    }
}

uint32_t Link::clockFrame(uint16_t command, uint16_t value) {
    // A stop takes effect between frames: from the next one on the link is down.
    if (stopRequested()) {
        state_.linkGood = false;
    }
    uint32_t reply = 0;
    if (settings_.mode == LinkMode::Fast && state_.linkGood) {
        FrameRun single(*this);
        single.addUnchecked(command, value);
        reply = streamFrames(single, 0, 1).front();
    } else {
        const uint8_t commandByte = uint8_t(command & 0xFF);
        const uint8_t crc = frameCrc(commandByte, value);
        const uint16_t low = exchangeWord(uint16_t(((value & 0xFF) << 8) | crc));
        const uint16_t high = exchangeWord(uint16_t((commandByte << 8) | (value >> 8)));
        reply = (uint32_t(high) << 16) | low;
    }
    return reply;
}

Reply Link::frameReply(uint32_t received) {
    Reply reply;
    if (!state_.linkOpen && !state_.linkGood) {
        if (!quietTrace_) {
            trace("Not conencted\n");
        }
        return reply;
    }
    reply.raw = received;
    const uint8_t expected = frameCrc(reply.status(), reply.value());
    reply.checked = expected == uint8_t(received & 0xFF);
    if (quietTrace_) {
        return reply;
    }
    if (!reply.checked) {
        if (dialect_ == LinkDialect::Firmware) {
            trace("CRC error (correct %02x) ", unsigned(expected));
        } else {
            trace("CRC error ");
        }
    }
    trace(" %08X\n", unsigned(received));
    return reply;
}

uint16_t Link::transact(uint16_t command, uint16_t value, bool& error, uint32_t* rawReply) {
    const Reply reply = frameReply(exchangeFrame(command, value));
    if (!reply.checked) {
        error = true;
    }
    if (!state_.linkOpen && !state_.linkGood) {
        return 0;
    }
    if (rawReply) {
        *rawReply = reply.raw;
    }
    return reply.value();
}

uint16_t Link::sendNoOp(bool& error, uint32_t* rawReply) {
    return transact(noOpCommand(), 0, error, rawReply);
}

namespace {
// The end of the stream that starts at entry `first`: at most kFramesPerStream frames, with the
// texts that follow the last of them.
size_t streamEnd(const std::vector<FrameRun::Entry>& entries, size_t first) {
    size_t frames = 0;
    size_t end = first;
    while (end < entries.size() && (entries[end].isText || frames < kFramesPerStream)) {
        frames += entries[end].isText ? 0 : 1;
        ++end;
    }
    return end;
}
}  // namespace

void Link::run(FrameRun& frames) {
    const std::vector<FrameRun::Entry>& entries = frames.entries();
    bool wanted = true;
    size_t next = 0;
    // Hands one entry its reply, in the order of the run; past a frame that wanted no more,
    // frames already sent are still traced and counted, but nobody looks at their replies.
    const auto deliver = [&](const FrameRun::Entry& entry, uint32_t received) {
        traceRequest(entry.command, entry.value);
        const Reply reply = frameReply(received);
        if (!reply.checked && entry.error) {
            *entry.error = true;
        }
        if (wanted && entry.after && !entry.after(reply)) {
            wanted = false;
        }
    };
    while (next < entries.size() && wanted) {
        if (settings_.mode == LinkMode::Standard || !state_.linkGood || stopRequested()) {
            // Frame by frame; on a link that is down the frames go as zeros without traffic.
            const FrameRun::Entry& entry = entries[next++];
            if (entry.isText) {
                trace("%s", entry.text.c_str());
                continue;
            }
            deliver(entry, clockFrame(entry.command, entry.value));
            continue;
        }
        const size_t end = streamEnd(entries, next);
        const std::vector<uint32_t> replies = streamFrames(frames, next, end - next);
        size_t reply = 0;
        for (; next < end; ++next) {
            const FrameRun::Entry& entry = entries[next];
            if (entry.isText) {
                trace("%s", entry.text.c_str());
            } else {
                deliver(entry, replies[reply++]);
            }
        }
    }
}

}  // namespace drive_link
