// The settings of both axes between the form and either the drive or a settings document.
// One code path serves both destinations so that a file always holds what Apply would send.
#include <QCheckBox>
#include <QDomDocument>
#include <QDomElement>
#include <QDomNodeList>
#include <QMessageBox>

#include "drive_link.h"
#include "morvane.h"
#include "settings_table.h"

namespace {
constexpr int kMissingParamValue = 555;

bool currentsAreValid(const Ui::MainWindowForm& ui) {
    return ui.contcurrM1->value() <= ui.peakcurrM1->value() &&
           ui.contcurrM2->value() <= ui.peakcurrM2->value();
}
}  // namespace

bool Morvane::exportSettings(bool documentMode, QDomElement& parent, QDomDocument& document) {
    bool error = false;
    uint16_t flags = 0;

    if (!currentsAreValid(ui)) {
        QMessageBox::warning(this, "Settings error",
                             tr("<i>Continuous current</i> can't be greater than <i>peak "
                                "current</i>.<br>Correct your settings."),
                             QMessageBox::Ok);
        return false;
    }

    for (const FlagBox& flag : settingsFlagBoxes(ui)) {
        setBitFromCheck(flag.box, flags, flag.mask);
    }
    emitParam(kSettingsFlagsParam, flags, documentMode, error, parent, document);
    for (const SettingField& field : axisSettingFields(ui)) {
        emitParam(field.number, fieldToParam(field), documentMode, error, parent, document);
    }

    if (documentMode) {
        return true;
    }
    return !reportLinkError(*this, error);
}

bool Morvane::importSettings(bool documentMode, const QDomElement& root) {
    bool error = false;

    const uint16_t flags = uint16_t(readParam(kSettingsFlagsParam, documentMode, error, root));
    for (const FlagBox& flag : settingsFlagBoxes(ui)) {
        setCheckFromBit(flag.box, flags, flag.mask);
    }
    // Each field takes its value at once: a transfer that breaks off keeps what arrived.
    for (const SettingField& field : axisSettingFields(ui)) {
        paramToField(field, readParam(field.number, documentMode, error, root));
    }

    if (documentMode) {
        return false;
    }
    return reportLinkError(*this, error);
}

void Morvane::emitParam(uint16_t number, uint16_t value, bool documentMode, bool& error,
                        QDomElement& parent, QDomDocument& document) {
    if (documentMode) {
        parent.appendChild(makeParamElement(document, "Param" + QString::number(number), value));
        return;
    }
    setParam(number, value, error);
}

int Morvane::readParam(uint16_t number, bool documentMode, bool& error, const QDomElement& root) {
    if (!documentMode) {
        return getParam(number, error);
    }
    // Looked up among all descendants, so nesting and order in the file do not matter.
    const QDomNodeList found = root.elementsByTagName("Param" + QString::number(number));
    if (found.isEmpty()) {
        QMessageBox::warning(this, "Error", tr("Error in config file"), QMessageBox::Ok);
        return kMissingParamValue;
    }
    bool isNumber = false;
    const int value = found.at(0).toElement().attribute("Value").toInt(&isNumber, 10);
    return isNumber ? value : 0;
}

void Morvane::setBitFromCheck(const QCheckBox* box, uint16_t& flags, uint16_t mask) {
    if (box->checkState() == Qt::Checked) {
        flags = uint16_t(flags | mask);
    } else {
        flags = uint16_t(flags & ~mask);
    }
}

void Morvane::setCheckFromBit(QCheckBox* box, uint16_t value, uint16_t mask) {
    box->setChecked((value & mask) != 0);
}
