// Saving and opening settings files.
#include <QByteArray>

#include "atomic_file.h"
#include "morvane_front_end.h"
#include "morvane_workflows.h"
#include "settings_document.h"
#include "settings_transfer.h"

namespace config_tool {

using drive_link::Failure;
using drive_link::MessageKind;
using drive_link::Outcome;
using files::writeFileAtomically;

namespace {
Outcome cancelSave(MorvaneFrontEnd& frontEnd) {
    frontEnd.showStatus(frontEnd.translate("Save cancelled"), 3000);
    return Outcome::cancelledByUser();
}
}  // namespace

Outcome saveSettingsFile(MorvaneFrontEnd& frontEnd) {
    QString name = frontEnd.askSettingsFile(true);
    if (name.isEmpty()) {
        return cancelSave(frontEnd);
    }
    // The prompt asked about replacing the name as chosen; with the suffix it is another file.
    const QString chosen = name;
    name = withSettingsSuffix(name);
    if (name != chosen && !frontEnd.mayReplace(name)) {
        return cancelSave(frontEnd);
    }

    QByteArray text;
    const Outcome exported = exportSettingsToText(frontEnd, text);
    if (!exported.succeeded()) {
        return exported;
    }
    if (!writeFileAtomically(name, text)) {
        frontEnd.showMessage(MessageKind::Warning, "Error",
                             frontEnd.translate("Unable to open file for writing"),
                             Failure::FileRefused);
        return Outcome::failed(Failure::FileRefused);
    }
    frontEnd.fileHolds(frontEnd.settings());
    frontEnd.showStatus(frontEnd.translate("Configuration saved"), 3000);
    return Outcome::done();
}

SettingsFileOutcome chooseSettingsFile(MorvaneFrontEnd& frontEnd) {
    const QString name = frontEnd.askSettingsFile(false);
    if (name.isEmpty()) {
        return {Outcome::cancelledByUser(), std::nullopt, name};
    }
    const Outcome refused = Outcome::failed(Failure::FileRefused);
    auto warn = [&frontEnd](const char* text) {
        frontEnd.showMessage(MessageKind::Warning, "Error", frontEnd.translate(text),
                             Failure::FileRefused);
    };

    QByteArray text;
    switch (readSettingsFile(name, text)) {
        case SettingsRead::CannotOpen:
            warn("File not found");
            return {refused, std::nullopt, name};
        case SettingsRead::Refused:
            warn("File read failed");
            return {refused, std::nullopt, name};
        case SettingsRead::Read:
            break;
    }

    // Loaded with complaints, the values are given all the same; the outcome still says so.
    SettingsFileLoad load;
    const bool survived = guardSettingsLoad(frontEnd, [&] {
        load = loadSettingsText(text);
        if (load.refusal) {
            warn(load.refusal);
            return;
        }
        for (const SettingsWarning& warning : load.warnings) {
            frontEnd.showMessage(MessageKind::Warning, "Error",
                                 warningMessage(warning, frontEnd.translate(warning.text)),
                                 Failure::FileRefused);
        }
    });
    if (!survived || load.refusal) {
        return {refused, std::nullopt, name};
    }
    return {load.warnings.empty() ? Outcome::done() : refused, load.settings, name};
}

Outcome openSettingsFile(MorvaneFrontEnd& frontEnd) {
    const SettingsFileOutcome chosen = chooseSettingsFile(frontEnd);
    if (!chosen.settings) {
        return chosen.outcome;
    }
    frontEnd.showSettings(*chosen.settings);
    if (chosen.outcome.succeeded()) {
        frontEnd.fileHolds(frontEnd.settings());
    }
    frontEnd.showStatus(frontEnd.translate("Configuration loaded"), 3000);
    return chosen.outcome;
}

Outcome openCheckedSettings(MorvaneFrontEnd& frontEnd, DriveSettings& fromFile) {
    Outcome opened = openSettingsFile(frontEnd);
    fromFile = frontEnd.settings();
    if (opened.succeeded()) {
        opened = validSettings(frontEnd, fromFile);
    }
    return opened;
}

}  // namespace config_tool
