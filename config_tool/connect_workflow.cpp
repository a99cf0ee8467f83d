// Connect: open the adapter, have the user restart the drive so that it takes up the link,
// probe it, identify the drive and its firmware, and import its settings. The window becomes
// connected only when every step passed; nothing is retried.
#include <QDomElement>
#include <QMessageBox>
#include <QStatusBar>

#include "connect_probe.h"
#include "drive_commands.h"
#include "drive_link.h"
#include "morvane.h"
#include "settings_table.h"

namespace {
constexpr int kLowestDriveType = 200;
constexpr int kHighestDriveType = 300;
constexpr int kLowestFirmware = 2000;
constexpr int kHighestFirmware = 2500;
constexpr int kNewestCompatibility = 2000;
}  // namespace

void Morvane::on_connectButton_clicked() {
    if (!openAndProbeDrive(*this, true, QString())) {
        return;
    }
    bool error = false;

    // The values are judged as read; a CRC error among these reads surfaces in the link report
    // below, once they passed.
    const int driveType = getParam(ferrox_param::kDriveType, error);
    if (driveType < kLowestDriveType || driveType > kHighestDriveType) {
        QMessageBox::warning(this, "Error", tr("Unsupported drive type found"), QMessageBox::Ok);
        return;
    }
    firmwareVersion = getParam(ferrox_param::kFirmwareVersion, error);
    const int compatibility = getParam(ferrox_param::kCompatibilityVersion, error);
    if (firmwareVersion < kLowestFirmware || firmwareVersion > kHighestFirmware) {
        QMessageBox::critical(this, "Error",
                              tr("No Ferrox firmware installed in drive. Please install Ferrox "
                                 "firmware before using Morvane <b>or</b> use Orrick to "
                                 "configure."),
                              QMessageBox::Ok);
        return;
    }
    if (compatibility > kNewestCompatibility) {
        QMessageBox::critical(
            this, "Error",
            tr("Too new Ferrox firmware version found in drive. <br>Please upgrade Morvane."),
            QMessageBox::Ok);
        return;
    }
    if (reportLinkError(*this, error)) {
        return;
    }

    // A failed import leaves the form as it was: half the drive's values and half the old ones
    // would be saved or applied as if they were a set.
    const FormSnapshot before(ui);
    if (importSettings(false, QDomElement())) {
        before.restore(ui);
        return;
    }
    ui.statusbar->showMessage(
        tr("Conneced & settings imported. Firmware version ") + QString::number(firmwareVersion),
        5000);
    setConnected(true);
}
