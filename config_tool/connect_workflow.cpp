// Connect: open the adapter, have the user restart the drive so that it takes up the link,
// probe it, identify the drive and its firmware, and import its settings. The front end becomes
// connected only when every step passed; nothing is retried.
#include "connect_probe.h"
#include "drive_link.h"
#include "ferrox_protocol.h"
#include "link_error_report.h"
#include "morvane_front_end.h"
#include "morvane_workflows.h"
#include "settings_transfer.h"

namespace config_tool {

using drive_link::Failure;
using drive_link::getParam;
using drive_link::linkOutcome;
using drive_link::MessageKind;
using drive_link::openAndProbeDrive;
using drive_link::Outcome;

namespace {
constexpr int kLowestDriveType = 200;
constexpr int kHighestDriveType = 300;
constexpr int kLowestFirmware = 2000;
constexpr int kHighestFirmware = 2500;
constexpr int kNewestCompatibility = 2000;
constexpr int kConnectedMs = 5000;
}  // namespace

ConnectOutcome connectDrive(drive_link::Link& link, MorvaneFrontEnd& frontEnd) {
    const Outcome probed = openAndProbeDrive(link, frontEnd, true, QString());
    if (!probed.succeeded()) {
        return {probed, -1};
    }
    bool error = false;

    // The values are judged as read; a CRC error among these reads surfaces in the link report
    // below, once they passed.
    const int driveType = getParam(link, ferrox_param::kDriveType, error);
    if (driveType < kLowestDriveType || driveType > kHighestDriveType) {
        frontEnd.showMessage(MessageKind::Warning, "Error",
                             frontEnd.translate("Unsupported drive type found"), Failure::NoDrive);
        return {Outcome::failed(Failure::NoDrive), -1};
    }
    const int firmwareVersion = getParam(link, ferrox_param::kFirmwareVersion, error);
    frontEnd.storeFirmwareVersion(firmwareVersion);
    const ConnectOutcome refused{Outcome::failed(Failure::NoDrive), firmwareVersion};
    const int compatibility = getParam(link, ferrox_param::kCompatibilityVersion, error);
    if (firmwareVersion < kLowestFirmware || firmwareVersion > kHighestFirmware) {
        frontEnd.showMessage(MessageKind::Critical, "Error",
                             frontEnd.translate("No Ferrox firmware installed in drive. Please "
                                                "install Ferrox firmware before using Morvane "
                                                "<b>or</b> use Orrick to configure."),
                             Failure::NoDrive);
        return refused;
    }
    if (compatibility > kNewestCompatibility) {
        frontEnd.showMessage(MessageKind::Critical, "Error",
                             frontEnd.translate("Too new Ferrox firmware version found in drive. "
                                                "<br>Please upgrade Morvane."),
                             Failure::NoDrive);
        return refused;
    }
    const Outcome identified = linkOutcome(link, frontEnd, error);
    if (!identified.succeeded()) {
        return {identified, -1};
    }

    frontEnd.importingSettings();
    const Outcome imported = importSettingsFromDrive(link, frontEnd);
    if (!imported.succeeded()) {
        return {imported, -1};
    }
    frontEnd.showStatus(frontEnd.translate("Conneced & settings imported. Firmware version ") +
                            QString::number(firmwareVersion),
                        kConnectedMs);
    frontEnd.setConnected(true);
    return {Outcome::done(), firmwareVersion};
}

}  // namespace config_tool
