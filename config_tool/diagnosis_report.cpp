#include "diagnosis_report.h"

namespace config_tool {

QString diagnosisReport(int firmwareVersion, const DiagnosisReadings& readings) {
    // The register lines print the status before the fault register although the drive is read
    // the other way round; support staff know the report in this order.
    return QString::asprintf(
        "If requesting support: copy this info to email. Also attach saved configuration file "
        "and a response graph.\n\nFW version %d\nStatus register %04x\nFault register "
        "%04x\nFault location %d\nOC level Ax1 %d\nOC level Ax2 %d\nTemperature %d\nHV voltage "
        "%.1fV\n\nSome explanations:\nFault location 120 = short circuit or very high "
        "current\nFault location 600 = overcurrent, adjust inductance and/or resistance\nFault "
        "location 35 = logic voltage fault, voltage rise too slow\nFault reg. 0040 = HV "
        "undervoltage\nFault reg. 0080 = HV overvoltage\nFault reg. 1000 = Encoder, runaway or "
        "stall fault\nTemperatures 11500 ~ 40C, 15550 ~ 55C, 19500 ~ 75C",
        firmwareVersion, unsigned(readings.statusRegister), unsigned(readings.faultRegister),
        int(readings.faultLocation), int(readings.overcurrentAxis1), int(readings.overcurrentAxis2),
        int(readings.temperature), double(readings.highVoltage) / 100.0);
}

}  // namespace config_tool
