// The adapter as a clocked serial port: D0 data out, D3 clock, D1 data in (inverted).
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

#include "bootloader_protocol.h"
#include "drive_link.h"
#include "ferrox_protocol.h"
#include "frame_run.h"
#include "trace.h"

namespace drive_link {

namespace {
constexpr UCHAR kDirectionMask = 0x09;  // D0 and D3 are outputs
constexpr UCHAR kSynchronousBitBang = 4;
constexpr ULONG kTimeoutMs = 1000;
constexpr UCHAR kStandardLatencyMs = 4;
constexpr UCHAR kSlowRateLatencyMs = 2;  // at the fallback of 1200 baud
// A stream's last packet is padded full, so the timer only matters for what the chip holds
// between streams.
constexpr UCHAR kFastLatencyMs = 1;
constexpr int kWordBytes = 33;  // two bytes per bit, then one to bring clock and data low
// The chip sends an IN packet as soon as this many data bytes wait, without its latency timer.
constexpr size_t kInPacketDataBytes = 62;

constexpr UCHAR kClockHighOne = 9;
constexpr UCHAR kClockHighZero = 8;
constexpr UCHAR kClockLowOne = 1;
constexpr UCHAR kClockLowZero = 0;
constexpr UCHAR kDataInMask = 0x02;

constexpr DWORD kBaudRate = 10000;
constexpr DWORD kFallbackBaudRate = 1200;
// The chip's bit-bang byte clock at a baud rate is read one of two ways, 16 bytes per baud or
// one byte per 4 bauds; which one an adapter uses cannot be asked, only timed.
double quickByteMicroseconds(DWORD baud) {
    return 1e6 / (16.0 * baud);
}
double slowByteMicroseconds(DWORD baud) {
    return 4e6 / double(baud);
}
// Streams shorter than this carry too much USB overhead to time the byte clock by.
constexpr size_t kTimedStreamBytes = 4096;

void encodeWord(uint16_t word, UCHAR* transmit) {
    for (int bit = 0; bit < 16; ++bit) {
        const bool one = (word >> bit) & 1;
        transmit[2 * bit] = one ? kClockHighOne : kClockHighZero;
        transmit[2 * bit + 1] = one ? kClockLowOne : kClockLowZero;
    }
    transmit[kWordBytes - 1] = kClockLowZero;
}

// The drive shifts bit i out on the falling clock edge of bit i, so it shows in the byte read
// back for the position after that edge. A low line is a 1 bit.
uint16_t decodeWord(const UCHAR* receive) {
    uint16_t result = 0;
    for (int bit = 0; bit < 16; ++bit) {
        if ((receive[2 * bit + 2] & kDataInMask) == 0) {
            result |= uint16_t(1u << bit);
        }
    }
    return result;
}
}  // namespace

Link::Link(LinkDialect dialect, LinkSettings settings)
    : dialect_(dialect),
      settings_(settings),
      sink_(standardOutputTrace()),
      byteMicroseconds_(quickByteMicroseconds(kBaudRate)) {}

uint16_t Link::noOpCommand() const {
    return dialect_ == LinkDialect::Firmware ? ferrox_command::kNoOp : bootloader::kNoOp;
}

void Link::changeSettings(LinkSettings settings) {
    const bool modeChanges = settings.mode != settings_.mode;
    settings_ = settings;
    if (modeChanges && state_.linkOpen && state_.linkGood) {
        FT_SetLatencyTimer(state_.adapterHandle,
                           settings_.mode == LinkMode::Fast ? kFastLatencyMs : standardLatencyMs_);
    }
}

bool Link::open(bool clockHigh) {
    if (state_.linkOpen && FT_Close(state_.adapterHandle) == FT_OK) {
        state_.linkOpen = false;
    }

    // A stop asked for ended the sequence of the link before; this one starts afresh.
    stopRequested_.store(false);
    state_.adapterStatus = adapterPort_.empty()
                               ? FT_Open(0, &state_.adapterHandle)
                               : FT_OpenEx(const_cast<char*>(adapterPort_.c_str()),
                                           FT_OPEN_BY_PORT_PATH, &state_.adapterHandle);
    if (state_.adapterStatus != FT_OK) {
        state_.linkGood = false;
        return false;
    }
    state_.linkGood = true;
    state_.linkOpen = true;

    state_.adapterStatus = FT_SetBitMode(state_.adapterHandle, kDirectionMask, kSynchronousBitBang);
    if (state_.adapterStatus != FT_OK) {
        state_.linkGood = false;
        return false;
    }
    const bool fast = settings_.mode == LinkMode::Fast;
    standardLatencyMs_ = kStandardLatencyMs;
    FT_SetTimeouts(state_.adapterHandle, kTimeoutMs, kTimeoutMs);
    FT_SetLatencyTimer(state_.adapterHandle, fast ? kFastLatencyMs : kStandardLatencyMs);

    baudRate_ = kBaudRate;
    state_.adapterStatus = FT_SetBaudRate(state_.adapterHandle, kBaudRate);
    if (state_.adapterStatus != FT_OK) {
        // The slow setting; its results are deliberately not recorded.
        baudRate_ = kFallbackBaudRate;
        FT_SetBaudRate(state_.adapterHandle, kFallbackBaudRate);
        FT_SetTimeouts(state_.adapterHandle, kTimeoutMs, kTimeoutMs);
        standardLatencyMs_ = kSlowRateLatencyMs;
        FT_SetLatencyTimer(state_.adapterHandle, fast ? kFastLatencyMs : standardLatencyMs_);
    }

    UCHAR bitMode = 0;
    state_.adapterStatus = FT_GetBitMode(state_.adapterHandle, &bitMode);
    if (state_.adapterStatus != FT_OK) {
        state_.linkGood = false;
    }
    if (!state_.linkGood) {
        return false;
    }

    // Data high, clock at the level the drive's firmware or bootloader expects between words;
    // the byte read back is the one bit-bang mode returns for it.
    UCHAR idle = clockHigh ? kClockHighOne : kClockLowOne;
    DWORD count = 0;
    FT_Write(state_.adapterHandle, &idle, 1, &count);
    FT_Read(state_.adapterHandle, &idle, 1, &count);
    return state_.linkGood;
}

FT_STATUS Link::close() {
    if (state_.adapterStatus != FT_OK) {
        return state_.adapterStatus;
    }
    if (!state_.linkOpen) {
        return state_.adapterStatus;
    }
    trace("USB closed\n");
    FT_STATUS status = FT_Close(state_.adapterHandle);
    state_.linkOpen = false;
    return status;
}

size_t Link::transfer(const uint8_t* out, uint8_t* in, size_t bytes) {
    DWORD written = 0;
    DWORD count = 0;
    bool good = true;
    if (FT_Write(state_.adapterHandle, const_cast<uint8_t*>(out), DWORD(bytes), &written) !=
        FT_OK) {
        good = false;
    }
    if (FT_Read(state_.adapterHandle, in, DWORD(bytes), &count) != FT_OK) {
        good = false;
    }
    if (!good) {
        state_.linkGood = false;
    }
    return std::min<size_t>(count, bytes);
}

uint16_t Link::exchangeWord(uint16_t word) {
    if (!state_.linkGood) {
        return 0;
    }
    UCHAR transmit[kWordBytes];
    UCHAR receive[kWordBytes];
    encodeWord(word, transmit);
    std::memset(receive, 0, sizeof receive);
    transfer(transmit, receive, kWordBytes);
    return decodeWord(receive);
}

// A timed stream's byte time includes the USB transfers' own time, so it is always longer than
// the byte clock; gaps counted in it would come out short. They are counted in the reading of
// the clock the timing shows instead: the slow one only when a stream was at least that slow.
double Link::gapByteMicroseconds() const {
    const double slow = slowByteMicroseconds(baudRate_);
    return byteTimed_ && byteMicroseconds_ >= slow ? slow : quickByteMicroseconds(baudRate_);
}

std::vector<uint32_t> Link::streamFrames(const FrameRun& frames, size_t first, size_t count) {
    const std::vector<FrameRun::Entry>& entries = frames.entries();
    std::vector<uint32_t> replies;
    std::vector<UCHAR> stream;
    std::vector<size_t> wordStarts;
    // Between words the lines stay as the word left them (clock and data low): no clock edge,
    // so the drive sees nothing but time.
    const size_t gapBytes =
        size_t(std::ceil(settings_.wordGapMicroseconds / gapByteMicroseconds() - 1e-9));
    for (size_t i = first; i < first + count; ++i) {
        if (entries[i].isText) {
            continue;
        }
        const uint16_t command = entries[i].command;
        const uint16_t value = entries[i].value;
        const uint8_t commandByte = uint8_t(command & 0xFF);
        const uint8_t crc = frameCrc(commandByte, value);
        for (const uint16_t word :
             {uint16_t(((value & 0xFF) << 8) | crc), uint16_t((commandByte << 8) | (value >> 8))}) {
            if (!wordStarts.empty()) {
                stream.insert(stream.end(), gapBytes, kClockLowZero);
            }
            wordStarts.push_back(stream.size());
            stream.resize(stream.size() + kWordBytes);
            encodeWord(word, &stream[wordStarts.back()]);
        }
    }
    // Copies of the last byte fill the last IN packet, so no read waits for the latency timer.
    const size_t padded =
        (stream.size() + kInPacketDataBytes - 1) / kInPacketDataBytes * kInPacketDataBytes;
    stream.resize(padded, kClockLowZero);

    std::vector<UCHAR> received(stream.size(), 0);
    const auto started = std::chrono::steady_clock::now();
    const size_t arrived = transfer(stream.data(), received.data(), stream.size());
    const bool good = state_.linkGood;
    const double micros =
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - started)
            .count();
    if (good && stream.size() >= kTimedStreamBytes) {
        // The quickest stream timed comes closest to the byte clock alone.
        const double perByte = micros / double(stream.size());
        if (!byteTimed_ || perByte < byteMicroseconds_) {
            byteMicroseconds_ = std::max(quickByteMicroseconds(baudRate_), perByte);
            byteTimed_ = true;
        }
    }
    // As frame by frame: the word a failed transfer cut decodes from what arrived (a missing
    // byte reads as a 1 bit), every word after it as 0, as if it had not been sent.
    const auto wordAt = [&](size_t start) {
        return !good && start >= arrived && start > 0 ? uint16_t(0) : decodeWord(&received[start]);
    };
    for (size_t w = 0; w + 1 < wordStarts.size(); w += 2) {
        const uint16_t low = wordAt(wordStarts[w]);
        const uint16_t high = wordAt(wordStarts[w + 1]);
        replies.push_back((uint32_t(high) << 16) | low);
    }
    return replies;
}

}  // namespace drive_link
