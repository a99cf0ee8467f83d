// Apply, Disable and Drive diagnosis: short sequences on a connected drive, each with one error
// flag for the whole sequence and one link report at its end.
#include "diagnosis_report.h"
#include "drive_link.h"
#include "ferrox_operations.h"
#include "ferrox_protocol.h"
#include "frame_run.h"
#include "link_error_report.h"
#include "morvane_front_end.h"
#include "morvane_workflows.h"
#include "settings_transfer.h"

namespace config_tool {

using drive_link::Failure;
using drive_link::FrameRun;
using drive_link::Link;
using drive_link::linkOutcome;
using drive_link::MessageKind;
using drive_link::Outcome;

namespace {
enum class FaultsCleared { AfterStore, BeforeStore };

Outcome applyInOrder(Link& link, MorvaneFrontEnd& frontEnd, FaultsCleared faultsCleared) {
    bool error = false;
    frontEnd.showStatus(frontEnd.translate("Setting parameters..."), 3000);
    frontEnd.applyingSettings();

    // The drive must not run on half-written settings: it stays disabled until they are all in.
    ferrox::disablePowerStage(link, error);
    const Outcome exported = exportSettingsToDrive(link, frontEnd);
    if (!exported.succeeded()) {
        return exported;
    }
    // The store copies the fault register with the settings: a fault still set then would be
    // there again at every power-up.
    if (faultsCleared == FaultsCleared::BeforeStore) {
        ferrox::clearFaults(link, error);
    }
    ferrox::storeSettings(link, error);
    if (faultsCleared == FaultsCleared::AfterStore) {
        ferrox::clearFaults(link, error);
    }
    ferrox::enablePowerStage(link, error);
    const Outcome outcome = linkOutcome(link, frontEnd, error);
    if (outcome.succeeded()) {
        frontEnd.driveHolds(frontEnd.settings());
        frontEnd.showStatus(frontEnd.translate("Parameters set"), 5000);
    }
    return outcome;
}
}  // namespace

Outcome applySettings(Link& link, MorvaneFrontEnd& frontEnd) {
    return applyInOrder(link, frontEnd, FaultsCleared::AfterStore);
}

Outcome applySettingsClearingFaultsFirst(Link& link, MorvaneFrontEnd& frontEnd) {
    return applyInOrder(link, frontEnd, FaultsCleared::BeforeStore);
}

Outcome disableDrive(Link& link, MorvaneFrontEnd& frontEnd) {
    bool error = false;
    frontEnd.showStatus(frontEnd.translate("Disabling drive..."), 3000);
    ferrox::disablePowerStage(link, error);
    return linkOutcome(link, frontEnd, error);
}

DiagnosisOutcome showDiagnosis(Link& link, MorvaneFrontEnd& frontEnd) {
    bool error = false;
    if (!frontEnd.isConnected()) {
        // An instruction, not a failure to report; but nothing was diagnosed.
        frontEnd.showMessage(MessageKind::Information, "Diagnosis",
                             frontEnd.translate("Connect first"), Failure::None);
        return {Outcome::failed(Failure::NoDrive), {}};
    }

    DiagnosisReadings readings;
    uint16_t overcurrentAxis1 = 0;
    uint16_t overcurrentAxis2 = 0;
    FrameRun run(link);
    run.addGetParam(ferrox_param::kFaultRegister, error, readings.faultRegister);
    run.addGetParam(ferrox_param::kStatusRegister, error, readings.statusRegister);
    run.addGetParam(ferrox_param::kFaultLocation, error, readings.faultLocation);
    run.addGetParam(ferrox_param::kOvercurrentAxis1, error, overcurrentAxis1);
    run.addGetParam(ferrox_param::kOvercurrentAxis2, error, overcurrentAxis2);
    link.run(run);
    readings.overcurrentAxis1 = int16_t(overcurrentAxis1);
    readings.overcurrentAxis2 = int16_t(overcurrentAxis2);
    const ferrox::InternalReadings internal = ferrox::readInternalReadings(link, error);
    readings.temperature = internal.temperature;
    readings.highVoltage = internal.highVoltage;

    // The report shows whatever arrived; a broken link is reported after it.
    const QString report = diagnosisReport(frontEnd.storedFirmwareVersion(), readings);
    frontEnd.showMessage(MessageKind::Information, "Diagnosis", report, Failure::None);
    return {linkOutcome(link, frontEnd, error), report};
}

}  // namespace config_tool
