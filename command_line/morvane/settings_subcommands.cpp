// backup, restore, show and diff: the drive's settings against a settings file, with the
// window's Connect, Save, Open and Apply.
#include <QJsonArray>

#include "connect_then.h"
#include "morvane_subcommands.h"
#include "progress.h"
#include "settings_comparison.h"
#include "settings_document.h"
#include "settings_transfer.h"

namespace command_line {

using config_tool::DriveSettings;
using drive_link::Failure;
using drive_link::MessageKind;
using drive_link::Outcome;

using config_tool::applySettings;
using config_tool::checkSettingsOnDrive;
using config_tool::differingLines;
using config_tool::openCheckedSettings;
using config_tool::ReadBackOutcome;
using config_tool::saveSettingsFile;
using config_tool::SettingLine;
using config_tool::settingLines;
using config_tool::withSettingsSuffix;

namespace {
// backup and restore: the settings file named on the line stands in for the file dialog.
template <class Run>
SubcommandResult withSettingsFile(const SubcommandCall& call, Run run) {
    MorvaneCommandLine frontEnd(call.powerCycleWaitSeconds);
    frontEnd.settingsFile = call.argument;
    SubcommandResult result = run(frontEnd);
    result.file = result.file.isEmpty() ? call.argument : result.file;
    return result;
}

// Connect with its import, then Save configuration as... into the file named.
SubcommandResult backup(const SubcommandCall& call) {
    return withSettingsFile(call, [&call](MorvaneCommandLine& frontEnd) {
        Outcome saved;
        SubcommandResult result =
            connectThen(call.link, frontEnd, [&](MorvaneCommandLine& connected) {
                saved = saveSettingsFile(connected);
                return saved;
            });
        result.file = withSettingsSuffix(frontEnd.settingsFile);
        if (result.exitCode == kExitDone) {
            result.line = "saved: " + result.file;
        } else if (saved.cancelled) {
            result.line = "failed: Save cancelled";  // no message tells it
        }
        return result;
    });
}

SubcommandResult fileRefused(MorvaneCommandLine& frontEnd, const Outcome& opened) {
    return {exitCodeOf(opened), "failed: " + frontEnd.report.lastMessage(), {}, {}};
}

SubcommandResult restore(const SubcommandCall& call) {
    MorvaneCommandLine frontEnd(call.powerCycleWaitSeconds);
    return restoreSettingsFile(call.argument, frontEnd, call.link);
}

}  // namespace

// Then Connect, which fills the settings with the drive's, so the file's are put back before
// Apply, as a user does Open after Connect. The drive must then hold exactly what was sent.
SubcommandResult restoreSettingsFile(const QString& file, MorvaneCommandLine& frontEnd,
                                     drive_link::Link& link) {
    frontEnd.settingsFile = file;
    DriveSettings fromFile;
    const Outcome opened = openCheckedSettings(frontEnd, fromFile);
    if (!opened.succeeded()) {
        SubcommandResult refused = fileRefused(frontEnd, opened);
        refused.file = file;
        return refused;
    }
    QStringList differences;
    SubcommandResult result = connectThen(link, frontEnd, [&](MorvaneCommandLine& connected) {
        connected.showSettings(fromFile);
        const Outcome applied = applySettings(link, connected);
        if (!applied.succeeded()) {
            return applied;
        }
        reportProgress("read-back");
        const ReadBackOutcome readBack = checkSettingsOnDrive(link, connected, fromFile);
        differences = readBack.differences;
        return readBack.outcome;
    });
    result.file = file;
    if (!differences.isEmpty()) {
        result.line = "failed: read-back differs: " + differences.join("; ");
    } else if (result.exitCode == kExitDone) {
        result.line = "restored and read back: " + file;
    }
    return result;
}

namespace {
// Connect alone: it reads the drive's identity and settings and writes nothing, so show and diff
// leave the drive as they found it. Its settings are then the front end's, as the form holds
// them.
Outcome readOnly(MorvaneCommandLine&) {
    return Outcome::done();
}

QString nameOf(const SettingLine& line) {
    return QString::fromStdString(config_tool::lineName(line));
}

QString valueOf(const SettingLine& line, const DriveSettings& settings) {
    return QString::fromStdString(config_tool::valueText(line, settings));
}

// Every setting of both axes as the form shows it, one line each, and the same per axis for
// --json.
SubcommandResult show(const SubcommandCall& call) {
    MorvaneCommandLine frontEnd(call.powerCycleWaitSeconds);
    SubcommandResult result = connectThen(call.link, frontEnd, readOnly);
    if (result.exitCode != kExitDone) {
        return result;
    }
    const DriveSettings held = frontEnd.settings();
    QStringList lines;
    QJsonArray axes[2];
    for (const SettingLine& line : settingLines()) {
        const QString value = valueOf(line, held);
        const QString unit = QString::fromStdString(line.unit);
        lines << QString("%1 (parameter %2): %3")
                     .arg(nameOf(line))
                     .arg(line.parameter)
                     .arg(unit.isEmpty() ? value : value + " " + unit);
        axes[line.axis].append(QJsonObject{{"name", nameOf(line)},
                                           {"parameter", line.parameter},
                                           {"value", value},
                                           {"unit", unit}});
    }
    result.line = lines.join('\n');
    result.details["axes"] = QJsonArray{QJsonObject{{"axis", 1}, {"settings", axes[0]}},
                                        QJsonObject{{"axis", 2}, {"settings", axes[1]}}};
    return result;
}

// The file checked as restore checks it, then each setting the drive holds otherwise: done when
// there is none, failed as a check (7) when there are.
SubcommandResult diff(const SubcommandCall& call) {
    return withSettingsFile(call, [&call](MorvaneCommandLine& frontEnd) {
        DriveSettings fromFile;
        const Outcome opened = openCheckedSettings(frontEnd, fromFile);
        if (!opened.succeeded()) {
            return fileRefused(frontEnd, opened);
        }
        SubcommandResult result = connectThen(call.link, frontEnd, readOnly);
        if (result.exitCode != kExitDone) {
            return result;
        }
        const DriveSettings held = frontEnd.settings();
        QStringList lines;
        QJsonArray differences;
        for (const SettingLine& line : differingLines(fromFile, held)) {
            lines << QString("parameter %1 (%2): file %3, drive %4")
                         .arg(line.parameter)
                         .arg(nameOf(line), valueOf(line, fromFile), valueOf(line, held));
            differences.append(QJsonObject{{"parameter", line.parameter},
                                           {"name", nameOf(line)},
                                           {"file", valueOf(line, fromFile)},
                                           {"drive", valueOf(line, held)}});
        }
        result.details["differences"] = differences;
        if (lines.isEmpty()) {
            result.line = "the drive holds the settings of " + frontEnd.settingsFile;
            return result;
        }
        result.exitCode = command_line::kExitDriveFailed;
        lines << QString("failed: %1 %2 from %3")
                     .arg(lines.size())
                     .arg(lines.size() == 1 ? "setting differs" : "settings differ",
                          frontEnd.settingsFile);
        result.line = lines.join('\n');
        return result;
    });
}

// The settings file named on the line, as the subcommand reads or writes it.
std::function<std::vector<NamedFile>(const QCommandLineParser&)> settingsFileNamed(
    NamedFile::Use use) {
    return [use](const QCommandLineParser& parser) {
        const QString named = parser.positionalArguments().value(1);
        return std::vector<NamedFile>{
            {"FILE.frx", use == NamedFile::Written ? withSettingsSuffix(named) : named, use}};
    };
}
}  // namespace

Subcommand backupSubcommand() {
    Subcommand backupFile{"backup", "FILE.frx",
                          "connect and save both axes' settings into the file", backup};
    backupFile.namedFiles = settingsFileNamed(NamedFile::Written);
    return backupFile;
}

Subcommand restoreSubcommand() {
    Subcommand restoreFile{"restore",
                           "FILE.frx",
                           "apply the file's settings to the drive and read them back",
                           restore,
                           {kRetriesOption}};
    restoreFile.namedFiles = settingsFileNamed(NamedFile::Read);
    return restoreFile;
}

Subcommand showSubcommand() {
    return {"show", nullptr, "connect and print every setting of both axes", show};
}

Subcommand diffSubcommand() {
    Subcommand diffFile{"diff", "FILE.frx",
                        "connect, print the settings the drive holds otherwise (exit 7 if any)",
                        diff};
    diffFile.namedFiles = settingsFileNamed(NamedFile::Read);
    return diffFile;
}

}  // namespace command_line
