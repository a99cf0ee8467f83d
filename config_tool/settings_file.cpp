// Saving and opening settings files. Neither touches the drive, so both work while disconnected.
#include <QDomDocument>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QStatusBar>

#include "morvane.h"
#include "settings_document.h"

namespace {
const char* const kDefaultFileName = "Ferroxsettings.frx";

// The toolkit's own dialog rather than the desktop's: it behaves the same everywhere, and
// saving it appends ".frx" before checking for a file to overwrite, so the overwrite question
// covers the name that is really written.
QString askFileName(QWidget* parent, const QString& caption, const QString& filter,
                    QFileDialog::AcceptMode mode) {
    QFileDialog dialog(parent, caption, kDefaultFileName, filter);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(mode);
    // Any name is taken, also for opening: a file that is not there gets the program's own
    // "File not found" instead of a refusal inside the dialog.
    dialog.setFileMode(QFileDialog::AnyFile);
    if (mode == QFileDialog::AcceptSave) {
        dialog.setDefaultSuffix("frx");
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return QString();
    }
    return dialog.selectedFiles().first();
}
}  // namespace

QDomElement Morvane::makeParamElement(QDomDocument& document, const QString& tag, uint16_t value) {
    QDomElement element = document.createElement(tag);
    element.setAttribute("Type", "uint16");
    element.setAttribute("Value", QString::number(value));
    return element;
}

void Morvane::on_Save_configuration_activated() {
    QString name =
        askFileName(this, tr("Save File"), tr("Ferrox files (*.frx)"), QFileDialog::AcceptSave);
    if (name.isEmpty()) {
        ui.statusbar->showMessage(tr("Save cancelled"), 3000);
        return;
    }
    name = withSettingsSuffix(name);

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
    const QString name =
        askFileName(this, tr("Open File"), tr("Ferrox files (*.frx)"), QFileDialog::AcceptOpen);
    if (name.isEmpty()) {
        return;
    }
    auto warn = [this](const QString& text) {
        QMessageBox::warning(this, "Error", text, QMessageBox::Ok);
    };

    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) {
        warn(tr("File not found"));
        return;
    }
    QDomDocument document;
    if (!document.setContent(&file)) {
        warn(tr("File read failed"));
        file.close();
        return;
    }
    file.close();

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
