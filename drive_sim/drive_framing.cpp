#include "drive_framing.h"

namespace drive_sim {

namespace {
constexpr int kFrameBits = 32;
// A long interactive session must not grow the log without bound; tests look at recent frames.
constexpr size_t kFrameLogLimit = size_t(1) << 20;
constexpr uint8_t kRejectedStatus = 0xC0;
}  // namespace

uint32_t rejectedFrameReply() {
    // Every CRC bit inverted: never the valid CRC of the status and value above it.
    return framedReply(kRejectedStatus, 0) ^ 0xFFu;
}

DriveFraming::DriveFraming(DrivePersonality& personality, const LinkFaults& faults, FaultDice& dice)
    : personality_(personality), faults_(faults), dice_(dice) {}

void DriveFraming::powerUp() {
    personality_.powerUp();
    dice_.follow(faults_.seed);
    for (Answer& slot : pending_) {
        slot = Answer{};
        if (faults_.garbageAtPowerUp) {
            uint32_t noise = dice_.word();
            if (driveCrc(uint8_t(noise >> 24), uint16_t(noise >> 8)) == uint8_t(noise)) {
                noise ^= 1u;
            }
            slot.raw = noise;
        } else {
            slot.raw = personality_.powerUpReply();
        }
    }
    replySum_ = 0;
    framesSincePowerUp_ = 0;
    slipped_ = false;
    bitIndex_ = 0;
    received_ = 0;
    reply_ = 0;
    lineReply_ = 0;
    drivenHigh_ = true;
}

bool DriveFraming::silent() const {
    return faults_.stopAnsweringAfterFrames >= 0 &&
           framesSincePowerUp_ >= faults_.stopAnsweringAfterFrames;
}

bool DriveFraming::missesThisEdge() {
    if (slipped_ || faults_.bitSlipAtFrame < 0 || framesSincePowerUp_ != faults_.bitSlipAtFrame) {
        return false;
    }
    slipped_ = true;
    return true;
}

bool DriveFraming::lineHighFor(bool driven) const {
    switch (faults_.line) {
        case LineFault::StuckHigh:
            return true;
        case LineFault::StuckLow:
            return false;
        case LineFault::None:
            break;
    }
    // A drive that fell silent lets the line go high from its next clock edge on (clockFell),
    // not during the last bit of the last frame it answered.
    return driven;
}

bool DriveFraming::dataLineHigh() const {
    return lineHighFor(drivenHigh_);
}

void DriveFraming::clockFell(bool dataBit) {
    if (silent()) {
        drivenHigh_ = true;
        return;
    }
    dice_.follow(faults_.seed);
    if (bitIndex_ == 0) {
        if (missesThisEdge()) {
            return;
        }
        startFrame();
    }

    bool sampled = dataBit != dice_.roll(faults_.bitErrorRate);
    received_ |= uint32_t(sampled) << bitIndex_;

    bool replyBit = ((reply_ >> bitIndex_) & 1u) != dice_.roll(faults_.bitErrorRate);
    drivenHigh_ = !replyBit;  // the line is inverted: a 1 bit pulls it low
    if (!dataLineHigh()) {
        lineReply_ |= 1u << bitIndex_;
    }

    if (++bitIndex_ == kFrameBits) {
        finishFrame();
    }
}

void DriveFraming::startFrame() {
    Answer next = pending_[0];
    pending_[0] = pending_[1];
    pending_[1] = Answer{};
    reply_ = next.runningSum ? replySum_ : next.raw;
    replySum_ += reply_;
    received_ = 0;
    lineReply_ = 0;
}

void DriveFraming::finishFrame() {
    FrameRecord record;
    record.rawFrame = received_;
    record.command = uint8_t(received_ >> 24);
    record.value = uint16_t(received_ >> 8);
    record.crcOk = driveCrc(record.command, record.value) == uint8_t(received_);
    record.reply = reply_;
    record.lineReply = lineReply_;

    if (record.crcOk) {
        pending_[1] = personality_.execute(record.command, record.value);
    } else {
        pending_[1] = Answer{rejectedFrameReply(), false};
    }

    if (keepFrameLog_) {
        if (frameLog_.size() >= kFrameLogLimit) {
            frameLog_.erase(frameLog_.begin(), frameLog_.begin() + kFrameLogLimit / 2);
        }
        frameLog_.push_back(record);
    }
    ++framesSincePowerUp_;
    bitIndex_ = 0;
}

}  // namespace drive_sim
