#include "flasher_workflows.h"

#include <QFile>

#include "bootloader_protocol.h"
#include "connect_probe.h"
#include "drive_link.h"
#include "firmware_image.h"
#include "flash_procedure.h"
#include "flasher_front_end.h"
#include "link_error_report.h"

using namespace bootloader;

namespace {
constexpr int kConnectedMs = 5000;
constexpr int kFlashingMs = 3000;
}  // namespace

void connectBootloader(FlasherFrontEnd& frontEnd) {
    if (!openAndProbeDrive(frontEnd, false,
                           frontEnd.translate(" Note: this program doesn't support KMR-10 model."))
             .succeeded()) {
        return;
    }
    bool error = false;
    transact(kNoOp, 0, error);
    transact(kNoOp, 0, error);
    if (transact(kNoOp, 0, error) == kFirmwareNoOpAnswer) {
        frontEnd.showMessage(
            MessageKind::Warning, "Error",
            frontEnd.translate("Drive doesn't seem to be in bootloader mode. Please try again."),
            Failure::NoDrive);
        return;
    }

    transact(kVersion, 0, error);
    transact(kNoOp, 0, error);
    const uint16_t version = transact(kNoOp, 0, error);
    if (version < kFirstSupportedVersion || version > kLastSupportedVersion) {
        frontEnd.showMessage(MessageKind::Critical, "Error",
                             frontEnd.translate("Unsupported drive type."), Failure::NoDrive);
        return;
    }
    if (reportLinkError(frontEnd, error)) {
        return;
    }
    frontEnd.showStatus(
        frontEnd.translate("Conneced. Bootloader version ") + QString::number(version),
        kConnectedMs);
    frontEnd.bootloaderFound(version);
    frontEnd.setConnected(true);
}

void openFirmwareFile(FlasherFrontEnd& frontEnd) {
    const QString name = frontEnd.askFirmwareFile();
    if (name.isEmpty()) {
        return;
    }
    frontEnd.showStatus(name + frontEnd.translate(" selected"), 0);
    // The file system's own encoding, so that any name the dialog can show can also be opened.
    if (loadImage(QFile::encodeName(name).constData()) != kImageLoaded) {
        frontEnd.showMessage(MessageKind::Warning, "Error",
                             frontEnd.translate("Unable to load file or wrong type"),
                             Failure::FileRefused);
        return;
    }
    // Loaded, but nothing to flash: the user may choose another file.
    if (!imageCanBeFlashed(frontEnd)) {
        return;
    }
    frontEnd.imageAccepted();
}

void flashFirmware(FlasherFrontEnd& frontEnd) {
    frontEnd.showStatus(frontEnd.translate("Flashing firmware..."), kFlashingMs);
    frontEnd.setFlashing(true);
    flashImage(frontEnd);  // shows every outcome itself
    // Whatever the procedure found, see whether the drive still answers.
    reportLinkError(frontEnd, false);
    frontEnd.setFlashing(false);
}
