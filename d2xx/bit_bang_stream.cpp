#include "bit_bang_stream.h"

#include <algorithm>

namespace {
constexpr int kStatusBytes = 2;  // every IN packet starts with the modem status
// Until the byte clock is measured, three packets in flight: the last of them is taken within
// 3 x 64 byte times, some 0.65 s at the slowest byte clock the link can get (1200 baud at a byte
// per four baud), inside the 1 s write time-out. Once measured, as many bytes as the chip clocks
// in a tenth of a second, so that a busy host does not starve it.
constexpr int kFirstChunksInFlight = 3;
constexpr size_t kMeasuredAfterBytes = 1024;
constexpr double kInFlightSeconds = 0.1;
constexpr size_t kMostInFlight = 16384;
constexpr size_t kLargestChunk = 1024;
constexpr int kReads = 2;
constexpr int kReadPackets = 64;
constexpr auto kEventWait = std::chrono::milliseconds(100);
constexpr auto kStopWait = std::chrono::seconds(2);

bool timedOutOrCancelled(libusb_transfer_status status) {
    return status == LIBUSB_TRANSFER_TIMED_OUT || status == LIBUSB_TRANSFER_CANCELLED;
}
}  // namespace

BitBangStream::BitBangStream(libusb_context* usb, libusb_device_handle* device, uint8_t outEndpoint,
                             uint8_t inEndpoint, int packetSize, std::deque<uint8_t>& received,
                             double& bytesPerSecond)
    : usb_(usb),
      device_(device),
      outEndpoint_(outEndpoint),
      inEndpoint_(inEndpoint),
      packetSize_(packetSize > kStatusBytes ? packetSize : 64),
      received_(received),
      bytesPerSecond_(bytesPerSecond) {
    for (int i = 0; i < kReads; ++i) {
        libusb_transfer* transfer = libusb_alloc_transfer(0);
        if (!transfer) {
            healthy_ = false;
            break;
        }
        inBuffers_.emplace_back(size_t(packetSize_ * kReadPackets));
        libusb_fill_bulk_transfer(transfer, device_, inEndpoint_, inBuffers_.back().data(),
                                  int(inBuffers_.back().size()), onIn, this, 0);
        ins_.push_back(transfer);
        inBusy_.push_back(false);
        inAsked_.push_back(0);
    }
}

BitBangStream::~BitBangStream() {
    stopReading();
    // A transfer the library still holds cannot be freed; it stays, as the lesser harm.
    if (insInFlight_ == 0) {
        for (libusb_transfer* transfer : ins_) {
            libusb_free_transfer(transfer);
        }
    }
}

void BitBangStream::submitReads() {
    const int dataPerPacket = packetSize_ - kStatusBytes;
    for (size_t i = 0; i < ins_.size() && due_ > 0 && healthy_ && !stopping_; ++i) {
        if (inBusy_[i]) {
            continue;
        }
        const size_t packets = std::min<size_t>(
            kReadPackets, (due_ + size_t(dataPerPacket) - 1) / size_t(dataPerPacket));
        ins_[i]->length = int(packets) * packetSize_;
        if (libusb_submit_transfer(ins_[i]) != 0) {
            healthy_ = false;
            return;
        }
        inBusy_[i] = true;
        inAsked_[i] = std::min(due_, packets * size_t(dataPerPacket));
        ++insInFlight_;
        due_ -= inAsked_[i];
    }
}

void LIBUSB_CALL BitBangStream::onIn(libusb_transfer* transfer) {
    auto* self = static_cast<BitBangStream*>(transfer->user_data);
    --self->insInFlight_;
    const size_t index =
        size_t(std::find(self->ins_.begin(), self->ins_.end(), transfer) - self->ins_.begin());
    self->inBusy_[index] = false;
    size_t data = 0;
    for (int packet = 0; packet < transfer->actual_length; packet += self->packetSize_) {
        const int end = std::min(packet + self->packetSize_, transfer->actual_length);
        if (packet + kStatusBytes < end) {
            self->received_.insert(self->received_.end(), transfer->buffer + packet + kStatusBytes,
                                   transfer->buffer + end);
            data += size_t(end - packet - kStatusBytes);
        }
    }
    // A short packet ended the transfer early: what it did not bring is still due. Counted in
    // bytes, not packets, so that no transfer asks for more than the write brings back and none
    // is left to cancel once the read-back is in.
    const size_t asked = self->inAsked_[index];
    self->due_ += asked - std::min(asked, data);
    if (!timedOutOrCancelled(transfer->status) && transfer->status != LIBUSB_TRANSFER_COMPLETED) {
        self->healthy_ = false;
    }
    self->submitReads();
}

void LIBUSB_CALL BitBangStream::onOut(libusb_transfer* transfer) {
    auto* self = static_cast<BitBangStream*>(transfer->user_data);
    std::vector<libusb_transfer*>& outs = self->outs_;
    outs.erase(std::remove(outs.begin(), outs.end(), transfer), outs.end());
    self->taken_ += size_t(transfer->actual_length);
    if (transfer->status != LIBUSB_TRANSFER_COMPLETED ||
        transfer->actual_length < transfer->length) {
        self->healthy_ = self->healthy_ && timedOutOrCancelled(transfer->status);
        // The chunks behind a short one must not reach the pins after a gap.
        if (!self->outFailed_) {
            for (libusb_transfer* behind : outs) {
                libusb_cancel_transfer(behind);
            }
        }
        self->outFailed_ = true;
    }
    libusb_free_transfer(transfer);
}

double BitBangStream::measuredBytesPerSecond(Clock::time_point started) const {
    const size_t first = size_t(kFirstChunksInFlight * packetSize_);
    const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
    if (taken_ < kMeasuredAfterBytes || seconds <= 0) {
        return 0;
    }
    // The chip took its host-to-chip buffer's worth at once; the rest came at the byte clock or
    // slower (a host that fell behind), so the figure never overstates the clock.
    return double(taken_ - std::min(taken_, first)) / seconds;
}

size_t BitBangStream::inFlightBudget(Clock::time_point started) const {
    const size_t first = size_t(kFirstChunksInFlight * packetSize_);
    const double perSecond = std::max(measuredBytesPerSecond(started), bytesPerSecond_);
    if (perSecond <= 0) {
        return first;
    }
    return std::clamp(size_t(perSecond * kInFlightSeconds), first, kMostInFlight);
}

size_t BitBangStream::write(const uint8_t* data, size_t length, unsigned timeoutMs) {
    taken_ = 0;
    outFailed_ = false;
    due_ += length;  // every byte clocked out brings one back
    submitReads();
    const auto started = Clock::now();
    size_t next = 0;
    size_t inFlight = 0;  // bytes of the chunks submitted and not yet taken
    while (true) {
        inFlight = next - std::min(next, taken_);
        const size_t budget = inFlightBudget(started);
        // Four chunks to the budget, in whole packets.
        const size_t chunkSize = std::clamp(budget / 4 / size_t(packetSize_) * size_t(packetSize_),
                                            size_t(packetSize_), kLargestChunk);
        while (!outFailed_ && healthy_ && next < length && inFlight < budget) {
            const int chunk = int(std::min(chunkSize, length - next));
            libusb_transfer* transfer = libusb_alloc_transfer(0);
            if (!transfer) {
                outFailed_ = true;
                break;
            }
            libusb_fill_bulk_transfer(transfer, device_, outEndpoint_,
                                      const_cast<uint8_t*>(data + next), chunk, onOut, this,
                                      timeoutMs);
            if (libusb_submit_transfer(transfer) != 0) {
                libusb_free_transfer(transfer);
                healthy_ = false;
                break;
            }
            outs_.push_back(transfer);
            next += size_t(chunk);
            inFlight += size_t(chunk);
        }
        if (outs_.empty()) {
            break;
        }
        handleEvents(kEventWait);
    }
    if (!outFailed_ && healthy_) {
        bytesPerSecond_ = std::max(bytesPerSecond_, measuredBytesPerSecond(started));
    }
    return taken_;
}

void BitBangStream::collect(size_t wanted, Clock::time_point deadline) {
    while (received_.size() < wanted && healthy_ && insInFlight_ > 0) {
        const auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero()) {
            break;
        }
        handleEvents(std::chrono::duration_cast<std::chrono::microseconds>(
            std::min<Clock::duration>(left, kEventWait)));
    }
}

void BitBangStream::handleEvents(std::chrono::microseconds wait) {
    timeval timeout{long(wait.count() / 1000000), long(wait.count() % 1000000)};
    libusb_handle_events_timeout_completed(usb_, &timeout, nullptr);
}

// The transfers a cancel ends hand back what they hold, so nothing read is lost.
void BitBangStream::stopReading() {
    stopping_ = true;
    for (libusb_transfer* transfer : ins_) {
        libusb_cancel_transfer(transfer);
    }
    const auto deadline = Clock::now() + kStopWait;
    while (insInFlight_ > 0 && Clock::now() < deadline) {
        handleEvents(kEventWait);
    }
}
