// Which drive parameter belongs to which field of the form, and how a field's value becomes the
// parameter's 16-bit content and back. Both transfer directions walk these tables, so the order
// here is the order on the wire and in the settings file.
#pragma once

#include <cstdint>
#include <vector>

#include "ui_main_window_form.h"

constexpr uint16_t kSettingsFlagsParam = 80;
constexpr uint16_t kAxis2ParamOffset = 8100;

enum class FieldKind {
    Integer,     // spin box, sent as it is
    Inductance,  // mH with two decimals, sent as mH x 150
    Resistance,  // Ohm with two decimals, sent as Ohm x 100
};

struct SettingField {
    uint16_t number;
    FieldKind kind;
    QSpinBox* integer = nullptr;        // for FieldKind::Integer
    QDoubleSpinBox* decimal = nullptr;  // for the motor constants
};

struct FlagBox {
    QCheckBox* box;
    uint16_t mask;
};

// The 18 axis settings: axis 1, then axis 2, each in the drive's order.
std::vector<SettingField> axisSettingFields(Ui::MainWindowForm& ui);
// The seven check boxes of parameter 80, in the order they are read and written.
std::vector<FlagBox> settingsFlagBoxes(Ui::MainWindowForm& ui);

// The settings as the form shows them, to be put back when a transfer into the form fails half
// way: the form is the only store of the settings, and a mix of two sets is nobody's.
class FormSnapshot {
public:
    explicit FormSnapshot(Ui::MainWindowForm& ui);
    void restore(Ui::MainWindowForm& ui) const;

private:
    std::vector<double> fields_;
    std::vector<Qt::CheckState> flags_;
};

// Motor constants: the product goes through single precision before it is rounded, halves away
// from zero, so that every two-decimal value survives the way back (content / factor).
uint16_t inductanceToParam(double millihenry);
uint16_t resistanceToParam(double ohm);
double paramToInductance(int content);
double paramToResistance(int content);

// The field's present value as the parameter content.
uint16_t fieldToParam(const SettingField& field);
// Puts a parameter content into the field; the field clamps it to its range.
void paramToField(const SettingField& field, int content);
