// morvane: the configuration program for KMR drives running the Ferrox firmware.
#include <QJsonArray>
#include <cstdio>

#include "atomic_file.h"
#include "axis_options.h"
#include "command_line.h"
#include "command_line_front_end.h"
#include "connect_then.h"
#include "link_test.h"
#include "morvane.h"
#include "morvane_subcommands.h"
#include "morvane_workflows.h"
#include "program_versions.h"
#include "progress.h"
#include "report_subcommand.h"
#include "scope_capture.h"
#include "settings_comparison.h"
#include "settings_document.h"
#include "settings_transfer.h"
#include "startup.h"
#include "step_response.h"
#include "step_test.h"
#include "step_tuning.h"

using command_line::connectThen;
using command_line::exitCodeOf;
using command_line::hasSubcommand;
using command_line::kAxisOption;
using command_line::kExitDone;
using command_line::MorvaneCommandLine;
using command_line::NamedFile;
using command_line::reportProgress;
using command_line::runSubcommand;
using command_line::Subcommand;
using command_line::SubcommandCall;
using command_line::subcommandHelp;
using command_line::SubcommandResult;
using command_line::withoutMarkup;
using config_tool::applySettings;
using config_tool::checkSettingsOnDrive;
using config_tool::connectDrive;
using config_tool::ConnectOutcome;
using config_tool::DiagnosisOutcome;
using config_tool::differingLines;
using config_tool::disableDrive;
using config_tool::DriveSettings;
using config_tool::openSettingsFile;
using config_tool::ReadBackOutcome;
using config_tool::saveSettingsFile;
using config_tool::SettingLine;
using config_tool::settingLines;
using config_tool::showDiagnosis;
using config_tool::validSettings;
using config_tool::withSettingsSuffix;
using drive_link::Failure;
using drive_link::LinkDialect;
using drive_link::MessageKind;
using drive_link::Outcome;
using files::writeFileAtomically;
using response::runStepTest;
using response::stepCaptureCsv;
using response::StepFigures;
using response::stepResultText;
using response::StepTestOutcome;
using response::traceSampleTables;
using startup::ProgramInfo;
using startup::runProgram;

namespace {
const QCommandLineOption kSpanOption("span", "capture the curves over this span (ms)",
                                     "100|500|2000");
const QCommandLineOption kCsvOption("csv", "write the captured curves to FILE (needs --span)",
                                    "FILE");

SubcommandResult diagnose(const SubcommandCall& call) {
    QString report;
    SubcommandResult result = connectThen(call, [&](MorvaneCommandLine& frontEnd) {
        const DiagnosisOutcome diagnosed = showDiagnosis(call.link, frontEnd);
        report = withoutMarkup(diagnosed.report);
        return diagnosed.outcome;
    });
    if (result.exitCode == kExitDone) {
        result.line = report;
    }
    return result;
}

SubcommandResult disable(const SubcommandCall& call) {
    SubcommandResult result = connectThen(
        call, [&](MorvaneCommandLine& frontEnd) { return disableDrive(call.link, frontEnd); });
    if (result.exitCode == kExitDone) {
        result.line = "drive disabled";
    }
    return result;
}

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

// Open configuration, before any drive work so that a refused file costs none: the file's
// settings as the form holds them. A file that the window would load only with a warning (a
// missing parameter, another version) is refused: nobody looks at the values before they reach
// the drive. So are settings that Apply would refuse, before it has disabled the drive.
Outcome openCheckedSettings(MorvaneCommandLine& frontEnd, DriveSettings& fromFile) {
    Outcome opened = openSettingsFile(frontEnd);
    fromFile = frontEnd.settings();
    if (opened.succeeded()) {
        opened = validSettings(frontEnd, fromFile);
    }
    return opened;
}

SubcommandResult fileRefused(MorvaneCommandLine& frontEnd, const Outcome& opened) {
    return {exitCodeOf(opened), "failed: " + frontEnd.report.lastMessage(), {}, {}};
}

// Then Connect, which fills the settings with the drive's, so the file's are put back before
// Apply, as a user does Open after Connect. The drive must then hold exactly what was sent.
SubcommandResult restore(const SubcommandCall& call) {
    return withSettingsFile(call, [&call](MorvaneCommandLine& frontEnd) {
        DriveSettings fromFile;
        const Outcome opened = openCheckedSettings(frontEnd, fromFile);
        if (!opened.succeeded()) {
            return fileRefused(frontEnd, opened);
        }
        QStringList differences;
        SubcommandResult result =
            connectThen(call.link, frontEnd, [&](MorvaneCommandLine& connected) {
                connected.showSettings(fromFile);
                const Outcome applied = applySettings(call.link, connected);
                if (!applied.succeeded()) {
                    return applied;
                }
                reportProgress("read-back");
                const ReadBackOutcome readBack =
                    checkSettingsOnDrive(call.link, connected, fromFile);
                differences = readBack.differences;
                return readBack.outcome;
            });
        if (!differences.isEmpty()) {
            result.line = "failed: read-back differs: " + differences.join("; ");
        } else if (result.exitCode == kExitDone) {
            result.line = "restored and read back: " + frontEnd.settingsFile;
        }
        return result;
    });
}

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

// The Test button on the axis and span given, the curves optionally kept as CSV.
QString stepTestRefusal(const QCommandLineParser& parser) {
    const QString axis = parser.value(kAxisOption);
    const QString span = parser.value(kSpanOption);
    if (axis != "1" && axis != "2") {
        return "step-test needs --axis=1 or --axis=2";
    }
    if (parser.isSet(kSpanOption) && span != "100" && span != "500" && span != "2000") {
        return "--span takes 100, 500 or 2000";
    }
    if (parser.isSet(kCsvOption) && (parser.value(kCsvOption).isEmpty() || span.isEmpty())) {
        return "--csv needs a file name and --span";
    }
    return {};
}

SubcommandResult stepTest(const SubcommandCall& call) {
    const QString axis = call.parser.value(kAxisOption);
    const QString span = call.parser.value(kSpanOption);
    const QString csv = call.parser.value(kCsvOption);
    traceSampleTables(true);
    MorvaneCommandLine frontEnd(call.powerCycleWaitSeconds);
    frontEnd.axis = axis.toInt() - 1;
    frontEnd.spanMs = span.toInt();
    StepFigures figures;
    SubcommandResult result = connectThen(call.link, frontEnd, [&](MorvaneCommandLine& connected) {
        const StepTestOutcome tested = runStepTest(call.link, connected);
        figures = tested.figures;
        if (!tested.outcome.succeeded() || csv.isEmpty() ||
            writeFileAtomically(csv,
                                QByteArray::fromStdString(stepCaptureCsv(connected.capture)))) {
            return tested.outcome;
        }
        connected.showMessage(MessageKind::Warning, "Error",
                              connected.translate("Unable to open file for writing"),
                              Failure::FileRefused);
        return Outcome::failed(Failure::FileRefused);
    });
    result.file = csv;
    if (result.exitCode != kExitDone) {
        return result;
    }
    result.line = stepResultText(figures.peakError, figures.undershoot, figures.settlingTimeMs);
    // A figure at the top of its word is no measurement: a line must not file it as one.
    const std::string saturated = response::saturatedFigures(
        figures.peakError, figures.undershoot, !span.isEmpty() && frontEnd.capture.curvesSaturated);
    if (!saturated.empty()) {
        result.exitCode = command_line::kExitDriveFailed;
        result.line = "failed: saturated at the 16-bit limit (" +
                      QString::fromStdString(saturated) +
                      "), the true figures are larger: " + result.line;
    }
    return result;
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

int main(int argc, char** argv) {
    Subcommand backupFile{"backup", "FILE.frx",
                          "connect and save both axes' settings into the file", backup};
    backupFile.namedFiles = settingsFileNamed(NamedFile::Written);
    Subcommand restoreFile{"restore",
                           "FILE.frx",
                           "apply the file's settings to the drive and read them back",
                           restore,
                           {command_line::kRetriesOption}};
    restoreFile.namedFiles = settingsFileNamed(NamedFile::Read);
    Subcommand diffFile{"diff", "FILE.frx",
                        "connect, print the settings the drive holds otherwise (exit 7 if any)",
                        diff};
    diffFile.namedFiles = settingsFileNamed(NamedFile::Read);
    Subcommand stepTestRun{"step-test",
                           nullptr,
                           "connect, run the step test on one axis, print its three figures",
                           stepTest,
                           {kAxisOption, kSpanOption, kCsvOption},
                           stepTestRefusal};
    stepTestRun.namedFiles = [](const QCommandLineParser& parser) {
        return std::vector<NamedFile>{{"--csv", parser.value(kCsvOption), NamedFile::Written}};
    };
    const std::vector<Subcommand> subcommands{
        backupFile,
        restoreFile,
        stepTestRun,
        command_line::tuneSubcommand(),
        {"show", nullptr, "connect and print every setting of both axes", show},
        diffFile,
        {"diagnose", nullptr, "connect and print the drive diagnosis report", diagnose},
        {"disable", nullptr, "connect and switch the drive's power stage off", disable},
        command_line::linkTestSubcommand(),
        command_line::reportSubcommand()};
    const std::string help = subcommandHelp("morvane", subcommands);
    const ProgramInfo info{"morvane", KMR_MORVANE_VERSION,
                           "Configures KMR-20/30 drives running the Ferrox firmware.",
                           LinkDialect::Firmware, help.c_str()};
    if (hasSubcommand(argc, argv)) {
        return runSubcommand(argc, argv, info, subcommands);
    }
    Q_INIT_RESOURCE(morvane);
    return runProgram(argc, argv, info, [](const drive_link::LinkSettings& link) {
        Morvane* window = new Morvane(link);
        window->resize(300, 400);
        return window;
    });
}
