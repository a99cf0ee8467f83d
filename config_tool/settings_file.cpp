// Saving and opening settings files.
#include <QDomDocument>

#include "atomic_file.h"
#include "morvane_front_end.h"
#include "morvane_workflows.h"
#include "settings_document.h"
#include "settings_transfer.h"

void saveSettingsFile(MorvaneFrontEnd& frontEnd) {
    QString name = frontEnd.askSettingsFile(true);
    if (name.isEmpty()) {
        frontEnd.showStatus(frontEnd.translate("Save cancelled"), 3000);
        return;
    }
    // The prompt asked about replacing the name as chosen; with the suffix it is another file.
    const QString chosen = name;
    name = withSettingsSuffix(name);
    if (name != chosen && !frontEnd.mayReplace(name)) {
        frontEnd.showStatus(frontEnd.translate("Save cancelled"), 3000);
        return;
    }

    SettingsDocument settings = newSettingsDocument();
    if (!exportSettingsToDocument(frontEnd, settings)) {
        return;
    }
    if (!writeFileAtomically(name, settingsFileText(settings.document))) {
        frontEnd.showMessage(MessageKind::Warning, "Error",
                             frontEnd.translate("Unable to open file for writing"),
                             Failure::FileRefused);
        return;
    }
    frontEnd.showStatus(frontEnd.translate("Configuration saved"), 3000);
}

void openSettingsFile(MorvaneFrontEnd& frontEnd) {
    const QString name = frontEnd.askSettingsFile(false);
    if (name.isEmpty()) {
        return;
    }
    auto warn = [&frontEnd](const char* text) {
        frontEnd.showMessage(MessageKind::Warning, "Error", frontEnd.translate(text),
                             Failure::FileRefused);
    };

    QDomDocument document;
    switch (readSettingsFile(name, document)) {
        case SettingsRead::CannotOpen:
            warn("File not found");
            return;
        case SettingsRead::Refused:
            warn("File read failed");
            return;
        case SettingsRead::Parsed:
            break;
    }

    bool loaded = false;
    const bool survived = guardSettingsLoad(frontEnd, [&] {
        const QDomElement root = document.documentElement();
        if (root.tagName() != "SetupFRX") {
            warn("Not a Ferrox settings file");
            return;
        }
        if (settingsFileVersion(root) != kSettingsFileVersion) {
            warn("Unsupported version of Ferrox settings file. Upgrade Morvane.");
        }
        importSettingsFromDocument(frontEnd, root);
        loaded = true;
    });
    if (survived && loaded) {
        frontEnd.showStatus(frontEnd.translate("Configuration loaded"), 3000);
    }
}
