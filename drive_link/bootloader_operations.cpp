#include "bootloader_operations.h"

#include <chrono>
#include <thread>

#include "bootloader_protocol.h"
#include "drive_link.h"

using drive_link::transact;

namespace bootloader {
namespace {
// The bootloader needs a moment between the verify command and the fetch of its verdict.
constexpr std::chrono::milliseconds kVerifyPause{100};

// The bootloader's own no-op, whatever dialect the link was set to.
uint16_t noOp(bool& error, uint32_t* rawReply = nullptr) {
    return transact(kNoOp, 0, error, rawReply);
}

// A request, then the two no-ops whose second reply carries its answer.
uint16_t request(uint16_t command, bool& error) {
    transact(command, 0, error);
    noOp(error);
    return noOp(error);
}
}  // namespace

bool Status::busy() const {
    return (byte & kBusyBits) != 0;
}

bool Status::idle() const {
    return byte == kIdleStatus;
}

bool isSupportedVersion(uint16_t version) {
    return version >= kFirstSupportedVersion && version <= kLastSupportedVersion;
}

bool answersAsFirmware(bool& error) {
    noOp(error);
    noOp(error);
    return noOp(error) == kFirmwareNoOpAnswer;
}

uint16_t readVersion(bool& error) {
    return request(kVersion, error);
}

uint16_t readFaultBits(bool& error) {
    return request(kFaultBits, error);
}

FirstCheck checkBeforeFlashing(bool& error) {
    bool forgiven = false;
    transact(kFaultBits, 0, forgiven);
    noOp(forgiven);
    uint32_t answer = 0;
    noOp(error, &answer);
    if (answer == kNotBootloaderAnswer) {
        return FirstCheck::NotBootloader;
    }
    return replyValue(answer) != 0 ? FirstCheck::FaultBitsActive : FirstCheck::Ready;
}

void sendSetupWord(uint16_t setupWord, bool& error) {
    transact(kSetup, setupWord, error);
}

void startErase(bool& error) {
    transact(kErase, kEraseKey, error);
}

void writeDataWord(uint16_t word, bool& error) {
    transact(kDataWord, word, error);
}

void programPacket(bool& error) {
    transact(kProgramPacket, 0, error);
}

Status statusAfterCommand(bool& error) {
    noOp(error);
    return pollStatus(error);
}

Status pollStatus(bool& error) {
    uint32_t reply = 0;
    noOp(error, &reply);
    return {statusByte(reply)};
}

void drainAnswers(bool& error) {
    noOp(error);
    noOp(error);
}

bool flashVerified() {
    // The answers before the verdict are of no use, and their failures do not count.
    bool ignored = false;
    for (int i = 0; i < 6; ++i) {
        noOp(ignored);
    }
    transact(kVerify, 0, ignored);
    std::this_thread::sleep_for(kVerifyPause);
    noOp(ignored);
    bool verdictError = false;
    const uint16_t verdict = noOp(verdictError);
    return (verdict & 1u) != 0 && !verdictError;
}
}  // namespace bootloader
