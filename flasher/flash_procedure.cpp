#include "flash_procedure.h"

#include <cstdio>

#include "bootloader_operations.h"
#include "drive_link.h"
#include "firmware_image.h"
#include "flasher_front_end.h"
#include "link_error_report.h"

namespace flasher {

using drive_link::Failure;
using drive_link::Link;
using drive_link::MessageKind;
using drive_link::Outcome;
using drive_link::reportLinkError;

namespace {

constexpr int kPacketStatusMs = 5000;

void printLine(drive_link::Link& link, const char* text) {
    link.trace("%s\n", text);
}

Outcome reportUnexpectedState(FlasherFrontEnd& frontEnd) {
    frontEnd.showMessage(
        MessageKind::Critical, "Error",
        frontEnd.translate("Flashing failed, drive in unexpected state. Restart drive "
                           "power and try again."),
        Failure::DriveFailed);
    return Outcome::failed(Failure::DriveFailed);
}

// Refuses a drive that is not a bootloader or that reports faults. A failure of the answer's
// frame stays in `error` for the first link check of the packet loop.
bool bootloaderIsReady(Link& link, FlasherFrontEnd& frontEnd, bool& error) {
    const bootloader::FirstCheck check = bootloader::checkBeforeFlashing(link, error);
    if (check == bootloader::FirstCheck::NotBootloader) {
        frontEnd.showMessage(
            MessageKind::Warning, "Error",
            frontEnd.translate("Drive not in bootloader mode. Restart drive power and try again."),
            Failure::DriveFailed);
        printLine(link,
                  "\nDrive not in bootloader mode? Check CLR jumper and reset drive. Hit enter to "
                  "exit");
        return false;
    }
    if (check == bootloader::FirstCheck::FaultBitsActive) {
        frontEnd.showMessage(
            MessageKind::Warning, "Error",
            frontEnd.translate("Fault bits active. Restart drive power and try again."),
            Failure::DriveFailed);
        printLine(link, "\nBL fault bits active. Reset drive and try again. Hit enter to exit");
        return false;
    }
    return true;
}

// Sends packet k's words as one run, every frame of it checked before the packet is programmed,
// so that a corrupted word never is; then programs it and waits until the bootloader is done.
Outcome writePacket(Link& link, FlasherFrontEnd& frontEnd, const FirmwareImage& image, int k,
                    bool& error) {
    const int count = image.packetCount;
    frontEnd.showStatus(QString("Writing packet %1/%2. Please wait!").arg(k + 1).arg(count),
                        kPacketStatusMs);
    frontEnd.packetStarted(k, count);
    link.trace("Packet %d/%d      \r", k + 1, count);

    if (bootloader::packetWordsFailed(link, image.packet(k), kPacketWords, error)) {
        drive_link::tellLinkLost(frontEnd);
        return Outcome::failed(Failure::LinkLost);
    }
    bool statusError = false;
    const bootloader::Status status =
        bootloader::programPacketThenStatus(link, "Idle\n\n", error, statusError);
    const Outcome idle = waitUntilIdle(link, frontEnd, status, statusError);
    if (!idle.succeeded()) {
        return idle;
    }
    return reportLinkError(link, frontEnd, error) ? Outcome::failed(Failure::LinkLost)
                                                  : Outcome::done();
}
}  // namespace

Outcome waitForIdle(Link& link, FlasherFrontEnd& frontEnd) {
    printLine(link, "Idle\n");
    bool error = false;
    const bootloader::Status status = bootloader::statusAfterCommand(link, error);
    return waitUntilIdle(link, frontEnd, status, error);
}

Outcome waitUntilIdle(Link& link, FlasherFrontEnd& frontEnd, bootloader::Status status,
                      bool error) {
    // A status that failed its CRC is no status: neither idle nor busy nor unexpected.
    if (error) {
        reportLinkError(link, frontEnd, error);
        return Outcome::failed(Failure::LinkLost);
    }
    uint16_t faultBits = 0;  // stays 0 when the bootloader was idle at the first look

    const std::chrono::milliseconds idleLimit = frontEnd.idleTimeLimit();
    const auto started = std::chrono::steady_clock::now();
    while (status.busy()) {
        const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - started);
        if (waited >= idleLimit) {
            frontEnd.log(drive_link::LogLevel::Error,
                         QString::asprintf("Error while flashing, timed out waiting for idle after "
                                           "%lld ms, status %02x, faultbits %04x\n",
                                           static_cast<long long>(waited.count()),
                                           unsigned(status.byte), unsigned(faultBits)));
            return reportUnexpectedState(frontEnd);
        }
        status = bootloader::pollStatusAndFaultBits(link, faultBits, error);
        if (error) {
            drive_link::tellLinkLost(frontEnd);
            return Outcome::failed(Failure::LinkLost);
        }
    }

    if (status.idle()) {
        printLine(link, "IdleOver\n");
        return Outcome::done();
    }
    frontEnd.log(drive_link::LogLevel::Error,
                 QString::asprintf("Error while flashing, status %02x, faultbits %04x\n",
                                   unsigned(status.byte), unsigned(faultBits)));
    return reportUnexpectedState(frontEnd);
}

bool imageCanBeFlashed(FlasherFrontEnd& frontEnd, const FirmwareImage& image) {
    if (image.packetCount > 0) {
        return true;
    }
    frontEnd.showMessage(MessageKind::Warning, "Error",
                         frontEnd.translate("Firmware file holds no packets. Flashing it would "
                                            "erase the drive and leave it without firmware.<br>"
                                            "Open another firmware file."),
                         Failure::FileRefused);
    return false;
}

Outcome flashImage(Link& link, FlasherFrontEnd& frontEnd, const FirmwareImage& image) {
    if (!imageCanBeFlashed(frontEnd, image)) {
        return Outcome::failed(Failure::FileRefused);
    }
    bool error = false;
    printLine(link, "SPI init");
    if (!bootloaderIsReady(link, frontEnd, error)) {
        return Outcome::failed(Failure::DriveFailed);
    }

    bootloader::sendSetupWord(link, image.setupWord, error);
    printLine(link, "\nErasing flash");
    bootloader::startErase(link, error);
    const Outcome erased = waitForIdle(link, frontEnd);
    if (!erased.succeeded()) {
        return erased;
    }

    bootloader::drainAnswers(link, error);
    printLine(link, "Writing to flash");
    bootloader::drainAnswers(link, error);

    for (int k = 0; k < image.packetCount; ++k) {
        if (frontEnd.stopBeforeNextPacket()) {
            printLine(link, "\nStopped");
            return Outcome::cancelledByUser();
        }
        const Outcome written = writePacket(link, frontEnd, image, k, error);
        if (!written.succeeded()) {
            return written;
        }
    }

    printLine(link, "\nDone. Verifying");
    frontEnd.verifyStarted(image.packetCount);
    if (bootloader::flashVerified(link)) {
        frontEnd.showMessage(
            MessageKind::Information, "Results",
            frontEnd.translate(
                "Flashing successful, drive memory verified! Now close Tressel, restart "
                "drive logic supply and configure drive with Orrick/Morvane."),
            Failure::None);
        frontEnd.showStatus("Flashing done", 0);
        return Outcome::done();
    }
    // The box is the verdict's, whatever kept it from saying yes. But when the adapter itself
    // failed during the verification (pulled out), no verdict was heard: the link was lost, not
    // the drive's check.
    const Failure failure = link.state().linkGood ? Failure::DriveFailed : Failure::LinkLost;
    frontEnd.showMessage(MessageKind::Warning, "Results",
                         frontEnd.translate("Flashing failed. Restart drive power and try again."),
                         failure);
    frontEnd.showStatus("Flashing done", 0);
    return Outcome::failed(failure);
}

}  // namespace flasher
