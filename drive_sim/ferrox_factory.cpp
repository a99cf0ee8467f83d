#include "ferrox_factory.h"

namespace drive_sim {

namespace {
struct AxisSettings {
    uint16_t continuousCurrent;  // mA
    uint16_t peakCurrent;        // mA
    uint16_t followErrorLimit;   // counts
    uint16_t inductance;         // mH x 150
    uint16_t resistance;         // Ohm x 100
    uint16_t stepMultiplier;
    uint16_t gainD;
    uint16_t gainP;
    uint16_t gainI;
};

// Axis 1 numbers; axis 2 adds ferrox::kAxis2Offset.
void addAxis(std::map<uint16_t, uint16_t>& store, uint16_t offset, const AxisSettings& axis) {
    store[uint16_t(410 + offset)] = axis.continuousCurrent;
    store[uint16_t(411 + offset)] = axis.peakCurrent;
    store[uint16_t(20 + offset)] = axis.followErrorLimit;
    store[uint16_t(401 + offset)] = axis.inductance;
    store[uint16_t(402 + offset)] = axis.resistance;
    store[uint16_t(61 + offset)] = axis.stepMultiplier;
    store[uint16_t(202 + offset)] = axis.gainD;
    store[uint16_t(200 + offset)] = axis.gainP;
    store[uint16_t(201 + offset)] = axis.gainI;
}
}  // namespace

std::map<uint16_t, uint16_t> ferroxFactoryParameters() {
    std::map<uint16_t, uint16_t> store;
    // A motor pairing that differs from the configuration form's blank values in every field,
    // so a connect visibly fills the form.
    addAxis(store, 0, {2600, 6000, 800, 375, 85, 4, 700, 650, 120});
    addAxis(store, ferrox::kAxis2Offset, {2400, 5500, 900, 450, 92, 2, 680, 600, 110});
    store[ferrox::kSettingsFlags] = 0x4008;  // encoder failure detection and inverted axis 1

    store[ferrox::kDriveType] = 250;
    store[ferrox::kFirmwareVersion] = 2210;
    store[ferrox::kCompatibilityVersion] = 1990;

    store[ferrox::kFaultRegister] = 0;
    store[ferrox::kStatusRegister] = 0x0012;
    store[ferrox::kFaultLocation] = 0;
    store[485] = 2050;  // overcurrent level, axis 1
    store[uint16_t(485 + ferrox::kAxis2Offset)] = 2050;
    store[ferrox::kCurrentScale] = 1000;

    // Scope set-up and the step test's results.
    for (uint16_t number : {5011, 5012, 5020, 5021, 6090, 6091, 6092}) {
        store[number] = 0;
    }
    return store;
}

std::map<uint16_t, uint16_t> ferroxFactoryReadings() {
    return {{ferrox::kTemperatureSelector, 15550}, {ferrox::kHighVoltageSelector, 4820}};
}

}  // namespace drive_sim
