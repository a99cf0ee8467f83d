// Connect: open the adapter, have the user restart the drive, and make sure that a supported
// bootloader answers on the other end.
#include <QMessageBox>

#include "bootloader_commands.h"
#include "connect_probe.h"
#include "drive_link.h"
#include "flasher_window.h"

using namespace bootloader;

namespace {
constexpr int kConnectedMs = 5000;
}  // namespace

void Morvane::on_connectButton_clicked() {
    if (!openAndProbeDrive(*this, false, tr(" Note: this program doesn't support KMR-10 model."))) {
        return;
    }
    bool error = false;
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
