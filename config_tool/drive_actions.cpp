// Apply, Disable and Drive diagnosis: short sequences on a connected drive, each with one error
// flag for the whole sequence and one link report at its end.
#include <QDomDocument>
#include <QMessageBox>
#include <QStatusBar>
#include <QThread>

#include "diagnosis_report.h"
#include "drive_commands.h"
#include "drive_link.h"
#include "morvane.h"

void Morvane::on_applyButton_clicked() {
    using namespace ferrox_command;
    bool error = false;
    ui.statusbar->showMessage(tr("Setting parameters..."), 3000);

    // The drive must not run on half-written settings: it stays disabled until they are all in.
    transact(kPowerStage, kDisable, error);
    QDomDocument noDocument;
    QDomElement noParent;
    if (!exportSettings(false, noParent, noDocument)) {
        return;
    }
    transact(kStoreSettings, 0, error);
    QThread::msleep(100);  // the drive writes its settings memory meanwhile
    transact(kClearFaults, kAllFaults, error);
    transact(kPowerStage, kEnable, error);
    if (reportLinkError(*this, error)) {
        return;
    }
    ui.statusbar->showMessage(tr("Parameters set"), 5000);
}

void Morvane::on_disableButton_clicked() {
    using namespace ferrox_command;
    bool error = false;
    ui.statusbar->showMessage(tr("Disabling drive..."), 3000);
    transact(kPowerStage, kDisable, error);
    reportLinkError(*this, error);
}

void Morvane::on_Drive_diagnosis_activated() {
    using namespace ferrox_command;
    bool error = false;
    if (!connected) {
        QMessageBox::information(this, "Diagnosis", tr("Connect first"), QMessageBox::Ok);
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
    readings.temperature = transact(kNoOp, 0, error);
    readings.highVoltage = transact(kNoOp, 0, error);

    // The report shows whatever arrived; a broken link is reported after it.
    QMessageBox::information(this, "Diagnosis", diagnosisReport(firmwareVersion, readings),
                             QMessageBox::Ok);
    reportLinkError(*this, error);
}
