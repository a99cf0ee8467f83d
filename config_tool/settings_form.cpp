#include "settings_form.h"

namespace {
// One field of the form: a spin box for the integer settings, a double spin box for the motor
// constants. Both point into the form; the order is that of axisSettings().
struct FormField {
    QSpinBox* integer;
    QDoubleSpinBox* decimal;
};

std::array<FormField, kAxisSettingCount> formFields(Ui::MainWindowForm& ui) {
    return {{
        {ui.contcurrM1, nullptr},
        {ui.peakcurrM1, nullptr},
        {ui.ferrorM1, nullptr},
        {nullptr, ui.inductanceM1},
        {nullptr, ui.resistanceM1},
        {ui.multM1, nullptr},
        {ui.gainDM1, nullptr},
        {ui.gainPM1, nullptr},
        {ui.gainIM1, nullptr},
        {ui.contcurrM2, nullptr},
        {ui.peakcurrM2, nullptr},
        {ui.ferrorM2, nullptr},
        {nullptr, ui.inductanceM2},
        {nullptr, ui.resistanceM2},
        {ui.multM2, nullptr},
        {ui.gainDM2, nullptr},
        {ui.gainPM2, nullptr},
        {ui.gainIM2, nullptr},
    }};
}

std::array<QCheckBox*, 7> flagBoxes(Ui::MainWindowForm& ui) {
    return {ui.invertM1,      ui.encoderfailM1, ui.antiditherM1, ui.invertM2,
            ui.encoderfailM2, ui.antiditherM2,  ui.slaveAxisM2};
}
}  // namespace

DriveSettings settingsFromForm(Ui::MainWindowForm& ui) {
    DriveSettings settings;
    const auto boxes = flagBoxes(ui);
    for (size_t i = 0; i < boxes.size(); ++i) {
        if (boxes[i]->checkState() == Qt::Checked) {
            settings.flags = uint16_t(settings.flags | kSettingsFlagMasks[i]);
        }
    }
    const auto fields = formFields(ui);
    for (size_t i = 0; i < fields.size(); ++i) {
        switch (axisSettings()[i].kind) {
            case FieldKind::Integer:
                settings.contents[i] = uint16_t(fields[i].integer->value());
                break;
            case FieldKind::Inductance:
                settings.contents[i] = inductanceToParam(fields[i].decimal->value());
                break;
            case FieldKind::Resistance:
                settings.contents[i] = resistanceToParam(fields[i].decimal->value());
                break;
        }
    }
    return settings;
}

void showSettingsInForm(Ui::MainWindowForm& ui, const DriveSettings& settings) {
    const auto boxes = flagBoxes(ui);
    for (size_t i = 0; i < boxes.size(); ++i) {
        boxes[i]->setChecked((settings.flags & kSettingsFlagMasks[i]) != 0);
    }
    const auto fields = formFields(ui);
    for (size_t i = 0; i < fields.size(); ++i) {
        const int content = settings.contents[i];
        switch (axisSettings()[i].kind) {
            case FieldKind::Integer:
                fields[i].integer->setValue(content);
                break;
            case FieldKind::Inductance:
                fields[i].decimal->setValue(paramToInductance(content));
                break;
            case FieldKind::Resistance:
                fields[i].decimal->setValue(paramToResistance(content));
                break;
        }
    }
}
