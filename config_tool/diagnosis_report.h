// The drive diagnosis as a text the user can paste into a support request.
#pragma once

#include <QString>
#include <cstdint>

namespace config_tool {

struct DiagnosisReadings {
    uint16_t faultRegister = 0;
    uint16_t statusRegister = 0;
    uint16_t faultLocation = 0;
    int16_t overcurrentAxis1 = 0;
    int16_t overcurrentAxis2 = 0;
    uint16_t temperature = 0;
    uint16_t highVoltage = 0;  // hundredths of a volt
};

QString diagnosisReport(int firmwareVersion, const DiagnosisReadings& readings);

}  // namespace config_tool
