#include "settings_table.h"

#include <cmath>

namespace {
constexpr double kInductanceFactor = 150.0;
constexpr double kResistanceFactor = 100.0;

SettingField integerField(uint16_t number, QSpinBox* box) {
    return {number, FieldKind::Integer, box, nullptr};
}

SettingField decimalField(uint16_t number, FieldKind kind, QDoubleSpinBox* box) {
    return {number, kind, nullptr, box};
}

void addAxis(std::vector<SettingField>& fields, uint16_t offset, QSpinBox* contcurr,
             QSpinBox* peakcurr, QSpinBox* ferror, QDoubleSpinBox* inductance,
             QDoubleSpinBox* resistance, QSpinBox* mult, QSpinBox* gainD, QSpinBox* gainP,
             QSpinBox* gainI) {
    fields.push_back(integerField(uint16_t(410 + offset), contcurr));
    fields.push_back(integerField(uint16_t(411 + offset), peakcurr));
    fields.push_back(integerField(uint16_t(20 + offset), ferror));
    fields.push_back(decimalField(uint16_t(401 + offset), FieldKind::Inductance, inductance));
    fields.push_back(decimalField(uint16_t(402 + offset), FieldKind::Resistance, resistance));
    fields.push_back(integerField(uint16_t(61 + offset), mult));
    fields.push_back(integerField(uint16_t(202 + offset), gainD));
    fields.push_back(integerField(uint16_t(200 + offset), gainP));
    fields.push_back(integerField(uint16_t(201 + offset), gainI));
}

uint16_t scaledToParam(double value, double factor) {
    const float product = float(value * factor);
    return uint16_t(std::lround(product));
}
}  // namespace

std::vector<SettingField> axisSettingFields(Ui::MainWindowForm& ui) {
    std::vector<SettingField> fields;
    fields.reserve(18);
    addAxis(fields, 0, ui.contcurrM1, ui.peakcurrM1, ui.ferrorM1, ui.inductanceM1, ui.resistanceM1,
            ui.multM1, ui.gainDM1, ui.gainPM1, ui.gainIM1);
    addAxis(fields, kAxis2ParamOffset, ui.contcurrM2, ui.peakcurrM2, ui.ferrorM2, ui.inductanceM2,
            ui.resistanceM2, ui.multM2, ui.gainDM2, ui.gainPM2, ui.gainIM2);
    return fields;
}

std::vector<FlagBox> settingsFlagBoxes(Ui::MainWindowForm& ui) {
    return {
        {ui.invertM1, 0x0008},    {ui.encoderfailM1, 0x4000}, {ui.antiditherM1, 0x0200},
        {ui.invertM2, 0x0010},    {ui.encoderfailM2, 0x8000}, {ui.antiditherM2, 0x0400},
        {ui.slaveAxisM2, 0x0004},
    };
}

FormSnapshot::FormSnapshot(Ui::MainWindowForm& ui) {
    for (const SettingField& field : axisSettingFields(ui)) {
        fields_.push_back(field.integer ? field.integer->value() : field.decimal->value());
    }
    for (const FlagBox& flag : settingsFlagBoxes(ui)) {
        flags_.push_back(flag.box->checkState());
    }
}

void FormSnapshot::restore(Ui::MainWindowForm& ui) const {
    const std::vector<SettingField> fields = axisSettingFields(ui);
    for (size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].integer) {
            fields[i].integer->setValue(int(fields_[i]));
        } else {
            fields[i].decimal->setValue(fields_[i]);
        }
    }
    const std::vector<FlagBox> flags = settingsFlagBoxes(ui);
    for (size_t i = 0; i < flags.size(); ++i) {
        flags[i].box->setCheckState(flags_[i]);
    }
}

uint16_t inductanceToParam(double millihenry) {
    return scaledToParam(millihenry, kInductanceFactor);
}

uint16_t resistanceToParam(double ohm) {
    return scaledToParam(ohm, kResistanceFactor);
}

double paramToInductance(int content) {
    return content / kInductanceFactor;
}

double paramToResistance(int content) {
    return content / kResistanceFactor;
}

uint16_t fieldToParam(const SettingField& field) {
    switch (field.kind) {
        case FieldKind::Integer:
            return uint16_t(field.integer->value());
        case FieldKind::Inductance:
            return inductanceToParam(field.decimal->value());
        case FieldKind::Resistance:
            return resistanceToParam(field.decimal->value());
    }
    return 0;
}

void paramToField(const SettingField& field, int content) {
    switch (field.kind) {
        case FieldKind::Integer:
            field.integer->setValue(content);
            break;
        case FieldKind::Inductance:
            field.decimal->setValue(paramToInductance(content));
            break;
        case FieldKind::Resistance:
            field.decimal->setValue(paramToResistance(content));
            break;
    }
}
