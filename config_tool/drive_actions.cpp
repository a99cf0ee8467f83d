// Apply, Disable and Drive diagnosis: short sequences on a connected drive, each with one error
// flag for the whole sequence and one link report at its end.
#include <thread>

#include "diagnosis_report.h"
#include "drive_link.h"
#include "ferrox_protocol.h"
#include "link_error_report.h"
#include "morvane_front_end.h"
#include "morvane_workflows.h"
#include "settings_transfer.h"

void applySettings(MorvaneFrontEnd& frontEnd) {
    using namespace ferrox_command;
    bool error = false;
    frontEnd.showStatus(frontEnd.translate("Setting parameters..."), 3000);

    // The drive must not run on half-written settings: it stays disabled until they are all in.
    transact(kPowerStage, kDisable, error);
    if (!exportSettingsToDrive(frontEnd)) {
        return;
    }
    transact(kStoreSettings, 0, error);
    // The drive writes its settings memory meanwhile.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    transact(kClearFaults, kAllFaults, error);
    transact(kPowerStage, kEnable, error);
    if (reportLinkError(frontEnd, error)) {
        return;
    }
    frontEnd.showStatus(frontEnd.translate("Parameters set"), 5000);
}

void disableDrive(MorvaneFrontEnd& frontEnd) {
    using namespace ferrox_command;
    bool error = false;
    frontEnd.showStatus(frontEnd.translate("Disabling drive..."), 3000);
    transact(kPowerStage, kDisable, error);
    reportLinkError(frontEnd, error);
}

void showDiagnosis(MorvaneFrontEnd& frontEnd) {
    using namespace ferrox_command;
    bool error = false;
    if (!frontEnd.isConnected()) {
        frontEnd.showMessage(MessageKind::Information, "Diagnosis",
                             frontEnd.translate("Connect first"), Failure::None);
        return;
    }

    DiagnosisReadings readings;
    readings.faultRegister = getParam(ferrox_param::kFaultRegister, error);
    readings.statusRegister = getParam(ferrox_param::kStatusRegister, error);
    readings.faultLocation = getParam(ferrox_param::kFaultLocation, error);
    readings.overcurrentAxis1 = int16_t(getParam(ferrox_param::kOvercurrentAxis1, error));
    readings.overcurrentAxis2 = int16_t(getParam(ferrox_param::kOvercurrentAxis2, error));
    // Both readings are answered two frames after their request.
    transact(kInternalReading, kTemperatureReading, error);
    transact(kInternalReading, kHighVoltageReading, error);
    readings.temperature = transact(noOpCommand(), 0, error);
    readings.highVoltage = transact(noOpCommand(), 0, error);

    // The report shows whatever arrived; a broken link is reported after it.
    frontEnd.showMessage(MessageKind::Information, "Diagnosis",
                         diagnosisReport(frontEnd.storedFirmwareVersion(), readings),
                         Failure::None);
    reportLinkError(frontEnd, error);
}
