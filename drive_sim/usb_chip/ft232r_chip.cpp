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
const char* const kStrings[] = {nullptr, "FTDI", "FT232R USB UART"};

uint16_t word(const uint8_t* bytes) {
    return uint16_t(bytes[0] | bytes[1] << 8);
}
}  // namespace

Ft232rChip::Ft232rChip(SimulatedDrive& drive, ChipOptions options)
    : options_(std::move(options)), port_(drive), lastPacket_(Clock::now()) {}

void Ft232rChip::plugIn() {
    options_.bitMode = 0;
    options_.haltedEndpoints.clear();
    options_.kernelDriverBound = true;
    port_.reset();
    latencyMs_ = 16;
    fifo_.clear();
    nextByte_ = {};
    lastPacket_ = Clock::now();
}

int Ft232rChip::control(const uint8_t* setup, uint8_t* data, int length) {
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
            // Reset or purge: either way nothing waits for the host any more. The bit mode stays.
            fifo_.clear();
            return 0;
        case kFtdiSetBaudRate:
            return options_.refusedBaudDivisors.count(request.value) ? -1 : 0;
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

void Ft232rChip::bulkOut(const uint8_t* data, int length) {
    // Outside bit-bang mode the bytes leave as serial data that the drive does not listen to.
    if (options_.bitMode != kSynchronousBitBang) {
        return;
    }
    const auto byteTime = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double, std::micro>(options_.microsecondsPerByte));
    Clock::time_point clocked = std::max(Clock::now(), nextByte_);
    for (int i = 0; i < length; ++i, clocked += byteTime) {
        const double atMicroseconds =
            std::chrono::duration<double, std::micro>(clocked.time_since_epoch()).count();
        fifo_.push_back({port_.clockOut(data[i], atMicroseconds), clocked});
    }
    nextByte_ = clocked;
}

int Ft232rChip::bulkIn(uint8_t* buffer, int capacity) {
    const int packets = capacity / kPacketSize;
    const auto now = Clock::now();
    const bool timerRanOut =
        !options_.latencyTimerOn || now - lastPacket_ >= std::chrono::milliseconds(latencyMs_);
    const int clocked = int(std::find_if(fifo_.begin(), fifo_.end(),
                                         [&](const ReadByte& b) { return b.clocked > now; }) -
                            fifo_.begin());
    if (packets == 0 || (!timerRanOut && clocked < packets * kPacketData)) {
        return -1;
    }
    int length = 0;
    for (int p = 0; p < packets; ++p) {
        std::memcpy(buffer + length, kModemStatus, kStatusBytes);
        length += kStatusBytes;
        const int take = std::min(clocked - p * kPacketData, kPacketData);
        std::transform(fifo_.begin(), fifo_.begin() + take, buffer + length,
                       [](const ReadByte& b) { return b.byte; });
        fifo_.erase(fifo_.begin(), fifo_.begin() + take);
        length += take;
        if (take < kPacketData) {
            break;  // a short packet ends the transfer
        }
    }
    lastPacket_ = now;
    return length;
}

}  // namespace drive_sim
