// Saving and opening settings files. Neither touches the drive, so both work while disconnected.
#include <QDomDocument>
#include <QMessageBox>
#include <QStatusBar>

#include "morvane.h"
#include "settings_document.h"

namespace {
FileQuestion settingsFileQuestion(const QString& caption, bool forSaving) {
    FileQuestion question;
    question.caption = caption;
    question.startName = "Ferroxsettings.frx";
    question.filter = QObject::tr("Ferrox files (*.frx)");
    question.forSaving = forSaving;
    question.defaultSuffix = "frx";
    return question;
}
}  // namespace

QDomElement Morvane::makeParamElement(QDomDocument& document, const QString& tag, uint16_t value) {
    QDomElement element = document.createElement(tag);
    element.setAttribute("Type", "uint16");
    element.setAttribute("Value", QString::number(value));
    return element;
}

void Morvane::on_Save_configuration_activated() {
    QString name = askFileName(this, settingsFileQuestion(tr("Save File"), true));
    if (name.isEmpty()) {
        ui.statusbar->showMessage(tr("Save cancelled"), 3000);
        return;
    }
    // The prompt asked about replacing the name as chosen; with the suffix it is another file.
    const QString chosen = name;
    name = withSettingsSuffix(name);
    if (name != chosen && !mayReplace(this, tr("Save File"), name)) {
        ui.statusbar->showMessage(tr("Save cancelled"), 3000);
        return;
    }

    SettingsDocument settings = newSettingsDocument();
    if (!exportSettings(true, settings.root, settings.document)) {
        return;
    }
    if (!writeFileAtomically(name, settingsFileText(settings.document))) {
        QMessageBox::warning(this, "Error", tr("Unable to open file for writing"), QMessageBox::Ok);
        return;
    }
    ui.statusbar->showMessage(tr("Configuration saved"), 3000);
}

void Morvane::on_Open_configuration_activated() {
    const QString name = askFileName(this, settingsFileQuestion(tr("Open File"), false));
    if (name.isEmpty()) {
        return;
    }
    auto warn = [this](const QString& text) {
        QMessageBox::warning(this, "Error", text, QMessageBox::Ok);
    };

    QDomDocument document;
    switch (readSettingsFile(name, document)) {
        case SettingsRead::CannotOpen:
            warn(tr("File not found"));
            return;
        case SettingsRead::Refused:
            warn(tr("File read failed"));
            return;
        case SettingsRead::Parsed:
            break;
    }

    bool loaded = false;
    const bool survived = guardSettingsLoad(this, [&] {
        const QDomElement root = document.documentElement();
        if (root.tagName() != "SetupFRX") {
            warn(tr("Not a Ferrox settings file"));
            return;
        }
        if (settingsFileVersion(root) != kSettingsFileVersion) {
            warn(tr("Unsupported version of Ferrox settings file. Upgrade Morvane."));
        }
        importSettings(true, root);
        loaded = true;
    });
    if (survived && loaded) {
        ui.statusbar->showMessage(tr("Configuration loaded"), 3000);
    }
}
