#include "simulated_drive.h"

namespace drive_sim {

namespace {
constexpr uint8_t kClockPin = 0x08;
constexpr uint8_t kDataOutPin = 0x01;
constexpr uint8_t kDataInPin = 0x02;
}  // namespace

SimulatedDrive::SimulatedDrive(std::unique_ptr<DrivePersonality> personality, LinkFaults faults)
    : personality_(std::move(personality)),
      faults_(std::move(faults)),
      dice_(faults_.seed),
      framing_(*personality_, faults_, dice_) {
    framing_.powerUp();
}

void BitBangPort::setDirections(uint8_t mask) {
    directionMask_ = mask;
    outputs_ = uint8_t(outputs_ & mask);
}

void BitBangPort::reset() {
    directionMask_ = 0;
    outputs_ = 0;
    pending_.clear();
}

uint8_t BitBangPort::pins() const {
    uint8_t driven = uint8_t(outputs_ & (kClockPin | kDataOutPin));
    return uint8_t(driven | (drive_.dataLineHigh() ? kDataInPin : 0));
}

bool BitBangPort::delayedLineHigh(double atMicroseconds) {
    while (!pending_.empty() && pending_.front().visibleAt < atMicroseconds) {
        shownLineHigh_ = pending_.front().lineHigh;
        pending_.pop_front();
    }
    return pending_.empty() ? drive_.dataLineHigh() : shownLineHigh_;
}

uint8_t BitBangPort::clockOut(uint8_t byte, double atMicroseconds) {
    uint8_t sampled = pins();
    if (answerDelay_ > 0) {
        sampled =
            uint8_t((sampled & ~kDataInPin) | (delayedLineHigh(atMicroseconds) ? kDataInPin : 0));
    }
    uint8_t before = outputs_;
    outputs_ = uint8_t(byte & directionMask_);
    if ((before & kClockPin) && !(outputs_ & kClockPin)) {
        if (answerDelay_ > 0 && pending_.empty()) {
            shownLineHigh_ = drive_.dataLineHigh();
        }
        drive_.clockFell((outputs_ & kDataOutPin) != 0);
        if (answerDelay_ > 0) {
            pending_.push_back({atMicroseconds + answerDelay_, drive_.dataLineHigh()});
        }
    }
    return sampled;
}

}  // namespace drive_sim
