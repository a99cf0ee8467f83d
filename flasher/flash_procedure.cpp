#include "flash_procedure.h"

#include <cstdio>
#include <thread>

#include "bootloader_protocol.h"
#include "drive_link.h"
#include "firmware_image.h"
#include "flasher_front_end.h"
#include "link_error_report.h"
#include "trace.h"

using namespace bootloader;

namespace {
std::chrono::milliseconds idleLimit = kDefaultIdleTimeLimit;

// The bootloader needs a moment between the verify command and the fetch of its verdict.
constexpr std::chrono::milliseconds kVerifyPause{100};
constexpr int kPacketStatusMs = 5000;

void printLine(const char* text) {
    trace("%s\n", text);
}

int reportUnexpectedState(FlasherFrontEnd& frontEnd) {
    frontEnd.showMessage(
        MessageKind::Critical, "Error",
        frontEnd.translate("Flashing failed, drive in unexpected state. Restart drive "
                           "power and try again."),
        Failure::DriveFailed);
    return -2;
}

// Fetches the answer to the first fault-bit request and refuses a drive that is not a bootloader
// or that reports faults. The first two frames' failures are forgiven; the third's stay in
// `error` for the first link check of the packet loop.
bool bootloaderIsReady(FlasherFrontEnd& frontEnd, bool& error) {
    transact(kFaultBits, 0, error);
    transact(kNoOp, 0, error);
    error = false;
    uint32_t answer = 0;
    transact(kNoOp, 0, error, &answer);
    if (answer == kNotBootloaderAnswer) {
        frontEnd.showMessage(
            MessageKind::Warning, "Error",
            frontEnd.translate("Drive not in bootloader mode. Restart drive power and try again."),
            Failure::DriveFailed);
        printLine(
            "\nDrive not in bootloader mode? Check CLR jumper and reset drive. Hit enter to "
            "exit");
        return false;
    }
    if (replyValue(answer) != 0) {
        frontEnd.showMessage(
            MessageKind::Warning, "Error",
            frontEnd.translate("Fault bits active. Restart drive power and try again."),
            Failure::DriveFailed);
        printLine("\nBL fault bits active. Reset drive and try again. Hit enter to exit");
        return false;
    }
    return true;
}

// Sends packet k word by word, checking the link after every word so that a corrupted word is
// caught before command 17 programs it; then programs it and waits until the bootloader is done.
bool writePacket(FlasherFrontEnd& frontEnd, int k, bool& error) {
    const int count = firmwareImage.packetCount;
    frontEnd.showStatus(QString("Writing packet %1/%2. Please wait!").arg(k + 1).arg(count),
                        kPacketStatusMs);
    frontEnd.packetStarted();
    trace("Packet %d/%d      \r", k + 1, count);

    const uint16_t* words = firmwareImage.words.get() + size_t(k) * kPacketWords;
    for (int j = 0; j < kPacketWords; ++j) {
        transact(kDataWord, words[j], error);
        if (reportLinkError(frontEnd, error)) {
            return false;
        }
    }
    transact(kProgramPacket, 0, error);
    if (waitForIdle(frontEnd) != 0) {
        return false;
    }
    return !reportLinkError(frontEnd, error);
}

// The verdict counts only when the reply that carries it passed its CRC: a corrupted reply
// must not turn a failed verification into a reported success.
bool memoryVerified() {
    bool error = false;
    for (int i = 0; i < 6; ++i) {
        transact(kNoOp, 0, error);
    }
    transact(kVerify, 0, error);
    std::this_thread::sleep_for(kVerifyPause);
    transact(kNoOp, 0, error);
    bool verdictError = false;
    const uint16_t verdict = transact(kNoOp, 0, verdictError);
    return (verdict & 1u) != 0 && !verdictError;
}
}  // namespace

void setIdleTimeLimit(std::chrono::milliseconds limit) {
    idleLimit = limit;
}

std::chrono::milliseconds idleTimeLimit() {
    return idleLimit;
}

int waitForIdle(FlasherFrontEnd& frontEnd) {
    printLine("Idle\n");
    bool error = false;
    uint32_t raw = 0;
    transact(kNoOp, 0, error);
    transact(kNoOp, 0, error, &raw);
    // A status that failed its CRC is no status: neither idle nor busy nor unexpected.
    if (error) {
        reportLinkError(frontEnd, error);
        return -1;
    }
    uint8_t status = statusByte(raw);
    uint16_t faultBits = 0;  // stays 0 when the bootloader was idle at the first look

    const auto started = std::chrono::steady_clock::now();
    while (status & kBusyBits) {
        const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - started);
        if (waited >= idleLimit) {
            std::fprintf(stderr,
                         "Error while flashing, timed out waiting for idle after %lld ms, status "
                         "%02x, faultbits %04x\n",
                         static_cast<long long>(waited.count()), unsigned(status),
                         unsigned(faultBits));
            return reportUnexpectedState(frontEnd);
        }
        raw = 0;
        transact(kNoOp, 0, error, &raw);
        status = statusByte(raw);
        transact(kFaultBits, 0, error);
        transact(kNoOp, 0, error);
        faultBits = transact(kNoOp, 0, error);
        if (reportLinkError(frontEnd, error)) {
            return -1;
        }
    }

    if (status == kIdleStatus) {
        printLine("IdleOver\n");
        return 0;
    }
    std::fprintf(stderr, "Error while flashing, status %02x, faultbits %04x\n", unsigned(status),
                 unsigned(faultBits));
    return reportUnexpectedState(frontEnd);
}

bool imageCanBeFlashed(FlasherFrontEnd& frontEnd) {
    if (firmwareImage.packetCount > 0) {
        return true;
    }
    frontEnd.showMessage(MessageKind::Warning, "Error",
                         frontEnd.translate("Firmware file holds no packets. Flashing it would "
                                            "erase the drive and leave it without firmware.<br>"
                                            "Open another firmware file."),
                         Failure::FileRefused);
    return false;
}

int flashImage(FlasherFrontEnd& frontEnd) {
    if (!imageCanBeFlashed(frontEnd)) {
        return -1;
    }
    bool error = false;
    printLine("SPI init");
    if (!bootloaderIsReady(frontEnd, error)) {
        return -1;
    }

    transact(kSetup, firmwareImage.setupWord, error);
    printLine("\nErasing flash");
    transact(kErase, kEraseKey, error);
    if (waitForIdle(frontEnd) != 0) {
        return -1;
    }

    transact(kNoOp, 0, error);
    transact(kNoOp, 0, error);
    printLine("Writing to flash");
    transact(kNoOp, 0, error);
    transact(kNoOp, 0, error);

    for (int k = 0; k < firmwareImage.packetCount; ++k) {
        if (!writePacket(frontEnd, k, error)) {
            return -1;
        }
    }

    printLine("\nDone. Verifying");
    frontEnd.verifyStarted();
    if (memoryVerified()) {
        frontEnd.showMessage(
            MessageKind::Information, "Results",
            frontEnd.translate(
                "Flashing successful, drive memory verified! Now close Tressel, restart "
                "drive logic supply and configure drive with Orrick/Morvane."),
            Failure::None);
    } else {
        frontEnd.showMessage(
            MessageKind::Warning, "Results",
            frontEnd.translate("Flashing failed. Restart drive power and try again."),
            Failure::DriveFailed);
    }
    frontEnd.showStatus("Flashing done", 0);
    return 0;
}
