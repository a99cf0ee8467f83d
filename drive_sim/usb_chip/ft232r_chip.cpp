#include "ft232r_chip.h"

#include <algorithm>
#include <cstring>

namespace drive_sim {

namespace {
constexpr int kPacketSize = 64;
constexpr int kStatusBytes = 2;
constexpr int kPacketData = kPacketSize - kStatusBytes;
constexpr uint8_t kModemStatus[kStatusBytes] = {0x01, 0x60};
constexpr uint8_t kVendorOut = 0x40;
constexpr uint8_t kVendorIn = 0xC0;
constexpr uint8_t kStandardIn = 0x80;
constexpr uint8_t kGetDescriptor = 6;
constexpr uint8_t kStringDescriptor = 3;
constexpr uint8_t kSerialString = 3;  // the string index the device descriptor names
constexpr uint8_t kSynchronousBitBang = 0x04;
constexpr uint16_t kPurgeChipToHost = 1;  // the reset request's values
constexpr uint16_t kPurgeHostToChip = 2;
const char* const kStrings[] = {nullptr, "FTDI", "FT232R USB UART"};

uint16_t word(const uint8_t* bytes) {
    return uint16_t(bytes[0] | bytes[1] << 8);
}
}  // namespace

Ft232rChip::Ft232rChip(SimulatedDrive& drive, ChipOptions options)
    : options_(std::move(options)),
      port_(drive),
      now_(Clock::now()),
      nextByte_(now_),
      lastPacket_(now_) {}

void Ft232rChip::plugIn() {
    options_.bitMode = 0;
    options_.haltedEndpoints.clear();
    options_.kernelDriverBound = true;
    port_.reset();
    latencyMs_ = 16;
    baudValue_ = 0x4138;
    baudIndex_ = 0;
    hostToChip_.clear();
    chipToHost_.clear();
    dropTransfers();
    now_ = std::max(now_, Clock::now());
    nextByte_ = now_;
    lastPacket_ = now_;
}

double Ft232rChip::byteMicroseconds() const {
    if (options_.byteClock == ChipOptions::ByteClock::Fixed) {
        return options_.microsecondsPerByte;
    }
    // The divisor of the 3 MHz baud clock in eighths: 14 bits of whole steps, then a three-bit
    // code for the fraction, its top bit in the index. Divisors 0 and 1 stand for 3 and 2 MHz.
    static constexpr int kEighths[8] = {0, 4, 2, 1, 3, 5, 6, 7};
    const int whole = baudValue_ & 0x3FFF;
    const int code = (baudValue_ >> 14) | ((baudIndex_ & 1) << 2);
    double divisor = whole + kEighths[code] / 8.0;
    if (divisor < 2) {
        divisor = whole == 0 ? 1 : 1.5;
    }
    const double baud = 3e6 / divisor;
    return options_.byteClock == ChipOptions::ByteClock::SixteenPerBaud ? 1e6 / (16 * baud)
                                                                        : 4e6 / baud;
}

int Ft232rChip::control(const uint8_t* setup, uint8_t* data, int length, Clock::time_point now) {
    advance(now);
    const uint8_t requestType = setup[0];
    if (requestType == kVendorOut || requestType == kVendorIn) {
        return vendorRequest({setup[1], word(setup + 2), word(setup + 4)}, data, length);
    }
    if (requestType == kStandardIn) {
        return standardRequest(setup, data, length);
    }
    return -1;
}

int Ft232rChip::standardRequest(const uint8_t* setup, uint8_t* data, int length) {
    // Device and configuration descriptors come from sysfs; only strings are asked for here.
    if (setup[1] != kGetDescriptor || setup[3] != kStringDescriptor ||
        (setup[2] == kSerialString && options_.serialReadStalls)) {
        return -1;
    }
    return stringDescriptor(setup[2], data, length);
}

int Ft232rChip::stringDescriptor(int index, uint8_t* data, int length) const {
    std::vector<uint8_t> descriptor = {0, kStringDescriptor};
    if (index == 0) {
        descriptor.insert(descriptor.end(), {0x09, 0x04});  // US English
    } else if (index < 3 || (index == kSerialString && !options_.serial.empty())) {
        std::string text = index == kSerialString ? options_.serial : kStrings[index];
        for (char c : text) {
            descriptor.insert(descriptor.end(), {uint8_t(c), 0});
        }
    } else {
        return -1;
    }
    descriptor[0] = uint8_t(descriptor.size());
    int sent = std::min(length, int(descriptor.size()));
    std::memcpy(data, descriptor.data(), size_t(sent));
    return sent;
}

int Ft232rChip::vendorRequest(const VendorRequest& request, uint8_t* data, int length) {
    requests_.push_back(request);
    switch (request.request) {
        case kFtdiReset:
            // A reset empties both buffers, a purge the one it names. The bit mode stays.
            if (request.value != kPurgeHostToChip) {
                chipToHost_.clear();
            }
            if (request.value != kPurgeChipToHost) {
                hostToChip_.clear();
            }
            return 0;
        case kFtdiSetBaudRate:
            if (options_.refusedBaudDivisors.count(request.value)) {
                return -1;
            }
            baudValue_ = request.value;
            baudIndex_ = request.index;
            return 0;
        case kFtdiSetLatencyTimer:
            latencyMs_ = uint8_t(request.value);
            return 0;
        case kFtdiSetBitMode: {
            const uint8_t mode = uint8_t(request.value >> 8);
            if (options_.bitMode != 0 && mode != 0 && mode != options_.bitMode) {
                return 0;  // accepted, but the old mode stays until a reset
            }
            options_.bitMode = mode;
            if (mode == kSynchronousBitBang) {
                port_.setDirections(uint8_t(request.value));
                port_.setAnswerDelay(options_.answerDelayMicroseconds);
            } else {
                port_.reset();
            }
            return 0;
        }
        case kFtdiGetLatencyTimer:
        case kFtdiReadPins:
            if (length >= 1) {
                data[0] = request.request == kFtdiReadPins ? port_.pins() : latencyMs_;
            }
            return std::min(length, 1);
        case kFtdiPollModemStatus:
            std::memcpy(data, kModemStatus, size_t(std::min(length, kStatusBytes)));
            return std::min(length, kStatusBytes);
        default:
            // Flow control, line settings, event and error characters: accepted, nothing to do.
            return 0;
    }
}

void Ft232rChip::submit(BulkTransfer& transfer, Clock::time_point now) {
    advance(now);
    transfer.actual = 0;
    transfer.done = false;
    (transfer.in ? inTransfers_ : outTransfers_).push_back(&transfer);
    advance(now);
}

void Ft232rChip::cancel(BulkTransfer& transfer, Clock::time_point now) {
    advance(now);
    for (auto* queue : {&inTransfers_, &outTransfers_}) {
        queue->erase(std::remove(queue->begin(), queue->end(), &transfer), queue->end());
    }
    transfer.done = true;
}

void Ft232rChip::dropTransfers() {
    inTransfers_.clear();
    outTransfers_.clear();
}

void Ft232rChip::advance(Clock::time_point now) {
    const auto byteTime = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double, std::micro>(byteMicroseconds()));
    Clock::time_point at = now_;
    for (;;) {
        while (takeOutPackets() || sendInPackets(at)) {
        }
        // The next thing that happens by itself: a byte clocked, or the latency timer running
        // out while an IN transfer waits for less than a packet.
        Clock::time_point next = Clock::time_point::max();
        if (!hostToChip_.empty() && int(chipToHost_.size()) < kChipToHostBytes) {
            next = std::max(nextByte_, at);
        }
        if (!inTransfers_.empty() && options_.latencyTimerOn) {
            next =
                std::min(next, std::max(lastPacket_ + std::chrono::milliseconds(latencyMs_), at));
        }
        if (next > now) {
            break;
        }
        at = next;
        if (!hostToChip_.empty() && int(chipToHost_.size()) < kChipToHostBytes && nextByte_ <= at) {
            clockByte(at);
            nextByte_ = at + byteTime;
        } else {
            sendInPackets(at);
        }
    }
    now_ = std::max(now_, now);
}

bool Ft232rChip::takeOutPackets() {
    bool changed = false;
    while (!outTransfers_.empty()) {
        BulkTransfer& transfer = *outTransfers_.front();
        // Outside bit-bang mode the bytes leave as serial data that the drive does not listen to.
        const bool bitBang = options_.bitMode == kSynchronousBitBang;
        const int packet = std::min(kPacketSize, transfer.length - transfer.actual);
        if (bitBang && packet > kHostToChipBytes - int(hostToChip_.size())) {
            break;  // the chip answers the OUT packet with NAK until there is room
        }
        if (bitBang) {
            hostToChip_.insert(hostToChip_.end(), transfer.data + transfer.actual,
                               transfer.data + transfer.actual + packet);
        }
        transfer.actual += packet;
        if (transfer.actual == transfer.length) {
            transfer.done = true;
            outTransfers_.pop_front();
        }
        changed = true;
    }
    return changed;
}

bool Ft232rChip::latencyTimerRanOut(Clock::time_point at) const {
    return !options_.latencyTimerOn || at - lastPacket_ >= std::chrono::milliseconds(latencyMs_);
}

bool Ft232rChip::sendInPackets(Clock::time_point at) {
    bool changed = false;
    while (!inTransfers_.empty()) {
        BulkTransfer& transfer = *inTransfers_.front();
        const int waiting = int(chipToHost_.size());
        if (transfer.length - transfer.actual < kPacketSize) {
            // No room for another packet: the transfer ends with what it holds.
            transfer.done = true;
            inTransfers_.pop_front();
            changed = true;
            continue;
        }
        if (waiting < kPacketData && !latencyTimerRanOut(at)) {
            break;
        }
        const int take = std::min(waiting, kPacketData);
        uint8_t* packet = transfer.data + transfer.actual;
        std::memcpy(packet, kModemStatus, kStatusBytes);
        std::copy(chipToHost_.begin(), chipToHost_.begin() + take, packet + kStatusBytes);
        chipToHost_.erase(chipToHost_.begin(), chipToHost_.begin() + take);
        transfer.actual += kStatusBytes + take;
        lastPacket_ = at;
        changed = true;
        if (take < kPacketData) {  // a short packet ends the transfer
            transfer.done = true;
            inTransfers_.pop_front();
        }
    }
    return changed;
}

void Ft232rChip::clockByte(Clock::time_point at) {
    const double atMicroseconds =
        std::chrono::duration<double, std::micro>(at.time_since_epoch()).count();
    chipToHost_.push_back(port_.clockOut(hostToChip_.front(), atMicroseconds));
    hostToChip_.pop_front();
    ++bytesClocked_;
}

}  // namespace drive_sim
