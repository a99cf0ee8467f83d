// Connect: open the adapter, have the user restart the drive, and make sure that a supported
// bootloader answers on the other end.
#include <QMessageBox>

#include "bootloader_commands.h"
#include "drive_link.h"
#include "flasher_window.h"

using namespace bootloader;

namespace {
constexpr int kConnectingMs = 10000;
constexpr int kConnectedMs = 5000;
}  // namespace

void Morvane::on_connectButton_clicked() {
    ui.statusbar->showMessage(tr("Connecting to drive..."), kConnectingMs);
    setConnected(false);
    if (!openLink(false)) {
        QMessageBox::warning(this, "Error", tr("Unable to open USB adapter"), QMessageBox::Ok);
        return;
    }
    QMessageBox::information(
        this, "Connecting",
        tr("USB adapter found. <br><br><b>Restart drive logic voltage now</b> to estabilish  "
           "connection:<br>&nbsp;&nbsp;1. Power-off drive logic voltage (if "
           "powered)<br>&nbsp;&nbsp;2. Power-up drive logic voltage<br>&nbsp;&nbsp;3. Press "
           "Ok<br><br><b>Make sure</b> there is nothing connected to CMD connector <b>and</b> USB "
           "adapter is connected to SPI connector. Note: this program doesn't support KMR-10 "
           "model."),
        QMessageBox::Ok);

    // The first two replies still carry what the drive sent while it started up.
    bool error = false;
    transact(kNoOp, 0, error);
    transact(kNoOp, 0, error);
    error = false;
    uint32_t reply = 0;
    transact(kNoOp, 0, error, &reply);
    if (reply == 0 || reply == 0xFFFFFFFFu) {
        QMessageBox::warning(this, "Error",
                             tr("Unable to communicate with drive. No data received from device. "
                                "<br>Ensure that you have followed the instructions of previous "
                                "dialog."),
                             QMessageBox::Ok);
        return;
    }
    if (error) {
        QMessageBox::warning(this, "Error",
                             tr("Unable to communicate with drive. Data checksum error. <br>Ensure "
                                "that you have followed the instructions of previous dialog."),
                             QMessageBox::Ok);
        return;
    }

    transact(kNoOp, 0, error);
    transact(kNoOp, 0, error);
    if (transact(kNoOp, 0, error) == kFirmwareNoOpAnswer) {
        QMessageBox::warning(this, "Error",
                             tr("Drive doesn't seem to be in bootloader mode. Please try again."),
                             QMessageBox::Ok);
        return;
    }

    transact(kVersion, 0, error);
    transact(kNoOp, 0, error);
    const uint16_t version = transact(kNoOp, 0, error);
    if (version < kFirstSupportedVersion || version > kLastSupportedVersion) {
        QMessageBox::critical(this, "Error", tr("Unsupported drive type."), QMessageBox::Ok);
        return;
    }
    if (reportLinkError(*this, error)) {
        return;
    }
    ui.statusbar->showMessage(tr("Conneced. Bootloader version ") + QString::number(version),
                              kConnectedMs);
    setConnected(true);
}
