#include "bootloader_operations.h"

#include <chrono>
#include <thread>

#include "bootloader_protocol.h"
#include "drive_link.h"
#include "frame_run.h"

using drive_link::FrameRun;
using drive_link::Link;
using drive_link::Reply;

namespace bootloader {
namespace {
// The bootloader needs a moment between the verify command and the fetch of its verdict.
constexpr std::chrono::milliseconds kVerifyPause{100};

// The bootloader's own no-op, whatever dialect the link was set to.
uint16_t noOp(Link& link, bool& error, uint32_t* rawReply = nullptr) {
    return link.transact(kNoOp, 0, error, rawReply);
}

// A request, then the two no-ops whose second reply carries its answer.
uint16_t request(Link& link, uint16_t command, bool& error) {
    link.transact(command, 0, error);
    noOp(link, error);
    return noOp(link, error);
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

bool answersAsFirmware(Link& link, bool& error) {
    noOp(link, error);
    noOp(link, error);
    return noOp(link, error) == kFirmwareNoOpAnswer;
}

uint16_t readVersion(Link& link, bool& error) {
    return request(link, kVersion, error);
}

uint16_t readFaultBits(Link& link, bool& error) {
    return request(link, kFaultBits, error);
}

FirstCheck checkBeforeFlashing(Link& link, bool& error) {
    bool forgiven = false;
    link.transact(kFaultBits, 0, forgiven);
    noOp(link, forgiven);
    uint32_t answer = 0;
    noOp(link, error, &answer);
    if (answer == kNotBootloaderAnswer) {
        return FirstCheck::NotBootloader;
    }
    return replyValue(answer) != 0 ? FirstCheck::FaultBitsActive : FirstCheck::Ready;
}

void sendSetupWord(Link& link, uint16_t setupWord, bool& error) {
    link.transact(kSetup, setupWord, error);
}

void startErase(Link& link, bool& error) {
    link.transact(kErase, kEraseKey, error);
}

bool packetWordsFailed(Link& link, const uint16_t* words, int count, bool& error) {
    bool drainFailed = false;
    FrameRun run(link);
    for (int j = 0; j < count; ++j) {
        run.add(kDataWord, words[j], error);
        // The link report's two no-ops, in the dialect's own.
        run.addNoOp(drainFailed);
        run.addNoOp(drainFailed,
                    [&error, &drainFailed](const Reply&) { return !error && !drainFailed; });
    }
    link.run(run);
    return error || drainFailed;
}

Status programPacketThenStatus(Link& link, const std::string& between, bool& commandError,
                               bool& statusError) {
    uint32_t reply = 0;
    FrameRun run(link);
    run.add(kProgramPacket, 0, commandError);
    run.addText(between);
    run.add(kNoOp, 0, statusError);
    run.add(kNoOp, 0, statusError, [&reply](const Reply& answer) {
        reply = answer.raw;
        return true;
    });
    link.run(run);
    return {statusByte(reply)};
}

Status statusAfterCommand(Link& link, bool& error) {
    noOp(link, error);
    return pollStatus(link, error);
}

Status pollStatus(Link& link, bool& error) {
    uint32_t reply = 0;
    noOp(link, error, &reply);
    return {statusByte(reply)};
}

Status pollStatusAndFaultBits(Link& link, uint16_t& faultBits, bool& error) {
    uint32_t status = 0;
    uint32_t bits = 0;
    FrameRun run(link);
    run.add(kNoOp, 0, error, [&status](const Reply& answer) {
        status = answer.raw;
        return true;
    });
    run.add(kFaultBits, 0, error);
    run.add(kNoOp, 0, error);
    run.add(kNoOp, 0, error, [&bits](const Reply& answer) {
        bits = answer.raw;
        return true;
    });
    run.addNoOp(error);
    run.addNoOp(error);
    link.run(run);
    faultBits = replyValue(bits);
    return {statusByte(status)};
}

void drainAnswers(Link& link, bool& error) {
    noOp(link, error);
    noOp(link, error);
}

bool flashVerified(Link& link) {
    // The answers before the verdict are of no use, and their failures do not count.
    bool ignored = false;
    for (int i = 0; i < 6; ++i) {
        noOp(link, ignored);
    }
    link.transact(kVerify, 0, ignored);
    std::this_thread::sleep_for(kVerifyPause);
    noOp(link, ignored);
    bool verdictError = false;
    const uint16_t verdict = noOp(link, verdictError);
    return (verdict & 1u) != 0 && !verdictError;
}
}  // namespace bootloader
