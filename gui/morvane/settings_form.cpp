#include "settings_form.h"

namespace config_tool {

namespace {
constexpr double kHundredths = 100.0;  // per unit of a motor constant

// A widget of the form by the object name the settings table gives it.
template <class Widget>
Widget* formWidget(Ui::MainWindowForm& ui, const char* name) {
    return ui.centralwidget->findChild<Widget*>(QString::fromLatin1(name));
}

// An integer setting's spin box.
QSpinBox* integerField(Ui::MainWindowForm& ui, const AxisSetting& setting) {
    return formWidget<QSpinBox>(ui, setting.formField.c_str());
}

// A motor constant's double spin box.
QDoubleSpinBox* decimalField(Ui::MainWindowForm& ui, const AxisSetting& setting) {
    return formWidget<QDoubleSpinBox>(ui, setting.formField.c_str());
}
}  // namespace

void applySettingsTableToForm(Ui::MainWindowForm& ui) {
    for (const AxisSetting& setting : axisSettings()) {
        if (setting.kind == FieldKind::Integer) {
            QSpinBox* field = integerField(ui, setting);
            field->setRange(setting.least, setting.most);
            field->setSingleStep(setting.step);
        } else {
            QDoubleSpinBox* field = decimalField(ui, setting);
            field->setDecimals(kMotorConstantDecimals);
            field->setRange(setting.least / kHundredths, setting.most / kHundredths);
            field->setSingleStep(setting.step / kHundredths);
        }
    }
}

DriveSettings settingsFromForm(Ui::MainWindowForm& ui) {
    DriveSettings settings;
    for (const SettingsFlag& flag : kSettingsFlags) {
        if (formWidget<QCheckBox>(ui, flag.formField)->checkState() == Qt::Checked) {
            settings.flags = uint16_t(settings.flags | flag.mask);
        }
    }
    for (size_t i = 0; i < axisSettings().size(); ++i) {
        const AxisSetting& setting = axisSettings()[i];
        switch (setting.kind) {
            case FieldKind::Integer:
                settings.contents[i] = uint16_t(integerField(ui, setting)->value());
                break;
            case FieldKind::Inductance:
                settings.contents[i] = inductanceToParam(decimalField(ui, setting)->value());
                break;
            case FieldKind::Resistance:
                settings.contents[i] = resistanceToParam(decimalField(ui, setting)->value());
                break;
        }
    }
    return settings;
}

void showSettingsInForm(Ui::MainWindowForm& ui, const DriveSettings& settings) {
    for (const SettingsFlag& flag : kSettingsFlags) {
        formWidget<QCheckBox>(ui, flag.formField)->setChecked((settings.flags & flag.mask) != 0);
    }
    for (size_t i = 0; i < axisSettings().size(); ++i) {
        const AxisSetting& setting = axisSettings()[i];
        const int content = settings.contents[i];
        switch (setting.kind) {
            case FieldKind::Integer:
                integerField(ui, setting)->setValue(content);
                break;
            case FieldKind::Inductance:
                decimalField(ui, setting)->setValue(paramToInductance(content));
                break;
            case FieldKind::Resistance:
                decimalField(ui, setting)->setValue(paramToResistance(content));
                break;
        }
    }
}

}  // namespace config_tool
