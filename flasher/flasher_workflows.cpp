#include "flasher_workflows.h"

#include <QFile>

#include "bootloader_operations.h"
#include "connect_probe.h"
#include "firmware_image.h"
#include "flash_procedure.h"
#include "flasher_front_end.h"
#include "link_error_report.h"

namespace flasher {

using drive_link::Failure;
using drive_link::LogLevel;
using drive_link::MessageKind;
using drive_link::openAndProbeDrive;
using drive_link::Outcome;
using drive_link::reportLinkError;

namespace {
constexpr int kConnectedMs = 5000;
constexpr int kFlashingMs = 3000;
}  // namespace

FoundBootloader connectBootloader(drive_link::Link& link, FlasherFrontEnd& frontEnd) {
    const Outcome probed =
        openAndProbeDrive(link, frontEnd, false,
                          frontEnd.translate(" Note: this program doesn't support KMR-10 model."));
    if (!probed.succeeded()) {
        return {probed};
    }
    bool error = false;
    if (bootloader::answersAsFirmware(link, error)) {
        frontEnd.showMessage(
            MessageKind::Warning, "Error",
            frontEnd.translate("Drive doesn't seem to be in bootloader mode. Please try again."),
            Failure::NoDrive);
        return {Outcome::failed(Failure::NoDrive)};
    }

    const uint16_t version = bootloader::readVersion(link, error);
    if (!bootloader::isSupportedVersion(version)) {
        frontEnd.showMessage(MessageKind::Critical, "Error",
                             frontEnd.translate("Unsupported drive type."), Failure::NoDrive);
        return {Outcome::failed(Failure::NoDrive)};
    }
    if (reportLinkError(link, frontEnd, error)) {
        return {Outcome::failed(Failure::LinkLost)};
    }
    frontEnd.showStatus(
        frontEnd.translate("Conneced. Bootloader version ") + QString::number(version),
        kConnectedMs);
    frontEnd.setConnected(true);
    return {Outcome::done(), version};
}

OpenedImage openFirmwareFile(FlasherFrontEnd& frontEnd) {
    const QString name = frontEnd.askFirmwareFile();
    if (name.isEmpty()) {
        return {Outcome::cancelledByUser(), {}};
    }
    frontEnd.showStatus(name + frontEnd.translate(" selected"), 0);
    // The file system's own encoding, so that any name the dialog can show can also be opened.
    LoadedImage loaded = loadImage(QFile::encodeName(name).constData());
    if (!loaded.log.empty()) {
        frontEnd.log(loaded.result == kImageLoaded ? LogLevel::Info : LogLevel::Error,
                     QString::fromStdString(loaded.log));
    }
    if (loaded.result != kImageLoaded) {
        frontEnd.showMessage(MessageKind::Warning, "Error",
                             frontEnd.translate("Unable to load file or wrong type"),
                             Failure::FileRefused);
        return {Outcome::failed(Failure::FileRefused), {}};
    }
    // Loaded, but nothing to flash: the user may choose another file.
    if (!imageCanBeFlashed(frontEnd, loaded.image)) {
        return {Outcome::failed(Failure::FileRefused), {}};
    }
    frontEnd.imageAccepted();
    return {Outcome::done(), std::move(loaded.image)};
}

Outcome flashFirmware(drive_link::Link& link, FlasherFrontEnd& frontEnd,
                      const FirmwareImage& image) {
    frontEnd.showStatus(frontEnd.translate("Flashing firmware..."), kFlashingMs);
    frontEnd.setFlashing(true);
    const Outcome flashed = flashImage(link, frontEnd, image);
    // Whatever the procedure found, see whether the drive still answers.
    const bool lost = reportLinkError(link, frontEnd, false);
    frontEnd.setFlashing(false);
    if (!flashed.succeeded()) {
        return flashed;
    }
    return lost ? Outcome::failed(Failure::LinkLost) : Outcome::done();
}

}  // namespace flasher
