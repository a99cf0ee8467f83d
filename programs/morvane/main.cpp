// morvane: the configuration program for KMR drives running the Ferrox firmware.
#include <QJsonArray>
#include <cstdio>

#include "atomic_file.h"
#include "command_line.h"
#include "command_line_front_end.h"
#include "link_test.h"
#include "morvane.h"
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

using command_line::exitCodeOf;
using command_line::hasSubcommand;
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
const QCommandLineOption kAxisOption("axis", "the axis to test, 1 or 2", "1|2");
const QCommandLineOption kSpanOption("span", "capture the curves over this span (ms)",
                                     "100|500|2000");
const QCommandLineOption kCsvOption("csv", "write the captured curves to FILE (needs --span)",
                                    "FILE");

// Connect, then one drive workflow: the first outcome that is not done gives the exit code, the
// last message shown the reason.
template <class Then>
SubcommandResult connectThen(drive_link::Link& link, MorvaneCommandLine& frontEnd, Then then) {
    const ConnectOutcome connected = connectDrive(link, frontEnd);
    const QString version =
        connected.firmwareVersion < 0 ? QString() : QString::number(connected.firmwareVersion);
    const Outcome outcome = connected.outcome.succeeded() ? then(frontEnd) : connected.outcome;
    if (outcome.succeeded()) {
        return {kExitDone, {}, {}, version};
    }
    return {exitCodeOf(outcome), "failed: " + frontEnd.report.lastMessage(), {}, version};
}

template <class Then>
SubcommandResult connectThen(const SubcommandCall& call, Then then) {
    MorvaneCommandLine frontEnd(call.powerCycleWaitSeconds);
    return connectThen(call.link, frontEnd, then);
}

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

// tune: the tuning assistant on one axis, from a 100 ms step test at the drive's present gains.
const QCommandLineOption kBandwidthOption(
    "bandwidth", "the closed loop's bandwidth (Hz); by default 40 Hz, or the nearest that passes",
    "HZ");
const QCommandLineOption kDampingOption("damping", "the closed loop's damping (default 1)", "Z",
                                        "1");
const QCommandLineOption kApplyOption(
    "apply", "apply the gains, test again and keep them only when the test matches");
constexpr double kDefaultBandwidthHz = 40.0;
constexpr int kTuningSpanMs = 100;

QString tuneRefusal(const QCommandLineParser& parser) {
    bool bandwidthIsNumber = true;
    bool dampingIsNumber = false;
    const double hz = parser.isSet(kBandwidthOption)
                          ? parser.value(kBandwidthOption).toDouble(&bandwidthIsNumber)
                          : kDefaultBandwidthHz;
    const double damping = parser.value(kDampingOption).toDouble(&dampingIsNumber);
    if (parser.value(kAxisOption) != "1" && parser.value(kAxisOption) != "2") {
        return "tune needs --axis=1 or --axis=2";
    }
    if (!bandwidthIsNumber || !(hz >= 0.1 && hz <= 1000)) {
        return "--bandwidth takes a number of Hz from 0.1 to 1000";
    }
    if (!dampingIsNumber || !(damping >= 0.3 && damping <= 3)) {
        return "--damping takes a number from 0.3 to 3";
    }
    return {};
}

QJsonObject figuresObject(const tuning::StepFigures& figures) {
    return {{"peak_error", figures.peakError},
            {"undershoot", figures.undershoot},
            {"settling_ms", figures.settlingTimeMs}};
}

QJsonObject tuningDetails(const response::TuningProposal& tuned) {
    const tuning::AxisModel& m = tuned.identified.model;
    const tuning::Proposal& p = tuned.proposal;
    QJsonObject details{
        {"identified", QJsonObject{{"inertia_a_s2_per_count", m.mechanics.inertia},
                                   {"viscous_a_s_per_count", m.mechanics.viscous},
                                   {"coulomb_a", m.mechanics.coulomb},
                                   {"load_a", m.mechanics.load},
                                   {"current_lag_ms", m.currentLoop.timeConstant * 1e3},
                                   {"fit_percent", tuned.identified.fitPercent}}}};
    if (tuned.identified.usable) {
        details["proposed"] =
            QJsonObject{{"p", p.gains.p},       {"i", p.gains.i},
                        {"d", p.gains.d},       {"bandwidth_hz", p.bandwidthHz},
                        {"damping", p.damping}, {"predicted", figuresObject(p.prediction.figures)}};
    }
    return details;
}

// Applies the settings with the axis's gains replaced.
Outcome applyGains(drive_link::Link& link, MorvaneCommandLine& frontEnd, int axis,
                   const tuning::DriveGains& gains) {
    frontEnd.showSettings(
        config_tool::withGains(frontEnd.settings(), axis, gains.p, gains.i, gains.d));
    return applySettings(link, frontEnd);
}

SubcommandResult tune(const SubcommandCall& call) {
    const int axis = call.parser.value(kAxisOption).toInt() - 1;
    const bool bandwidthAsked = call.parser.isSet(kBandwidthOption);
    const double hz =
        bandwidthAsked ? call.parser.value(kBandwidthOption).toDouble() : kDefaultBandwidthHz;
    const double damping = call.parser.value(kDampingOption).toDouble();
    const bool apply = call.parser.isSet(kApplyOption);
    traceSampleTables(true);
    MorvaneCommandLine frontEnd(call.powerCycleWaitSeconds);
    frontEnd.axis = axis;
    frontEnd.spanMs = kTuningSpanMs;
    response::TuningProposal tuned;
    QString refusal;
    response::TuningCheck check;
    bool checked = false;
    SubcommandResult result = connectThen(call.link, frontEnd, [&](MorvaneCommandLine& connected) {
        Outcome outcome = runStepTest(call.link, connected).outcome;
        if (!outcome.succeeded()) {
            return outcome;
        }
        const response::StepCapture before = connected.capture;
        tuned = response::proposeForRun(before, hz, damping);
        if (tuned.identified.usable && !tuned.proposal.offered() && !bandwidthAsked &&
            tuned.proposal.passingBandwidthHz > 0.0) {
            tuned.proposal =
                response::reproposed(tuned, before, tuned.proposal.passingBandwidthHz, damping);
        }
        if (!tuned.identified.usable || !tuned.proposal.offered()) {
            refusal = QString::fromStdString(tuned.identified.usable ? tuned.proposal.refusal
                                                                     : tuned.identified.warning);
            return Outcome::failed(Failure::DriveFailed);
        }
        if (!apply) {
            return outcome;
        }
        reportProgress("apply");
        outcome = applyGains(call.link, connected, axis, tuned.proposal.gains);
        if (outcome.succeeded()) {
            outcome = runStepTest(call.link, connected).outcome;
        }
        if (!outcome.succeeded()) {
            return outcome;
        }
        check = response::checkTuning(tuned, connected.capture);
        checked = true;
        if (check.passed) {
            return outcome;
        }
        reportProgress("put back");
        outcome =
            applyGains(call.link, connected, axis, {before.gainP, before.gainI, before.gainD});
        return outcome.succeeded() ? Outcome::failed(Failure::DriveFailed) : outcome;
    });
    result.details = tuningDetails(tuned);
    if (checked) {
        result.details["measured"] = figuresObject(check.measured);
        result.details["validation_fit_percent"] = check.validationFitPercent;
        result.details["kept"] = check.passed;
    }
    const QString found = "axis " + QString::number(axis + 1) + ": " +
                          response::identifiedText(tuned.identified) + "; proposed " +
                          response::proposalText(tuned.proposal) + ", predicted " +
                          response::figuresText(tuned.proposal.prediction.figures);
    if (!refusal.isEmpty()) {
        result.line = "failed: " + refusal;
    } else if (checked && !check.passed) {
        result.line = "failed: " + check.why + "; the old gains are back; " + found;
    } else if (result.exitCode == kExitDone) {
        result.line = found;
        if (checked) {
            result.line +=
                "; kept, measured " + response::figuresText(check.measured) +
                QString(", validation fit %1 %").arg(check.validationFitPercent, 0, 'f', 1);
        }
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
        {"tune",
         nullptr,
         "connect, step-test one axis, identify it and propose P, I and D",
         tune,
         {kAxisOption, kBandwidthOption, kDampingOption, kApplyOption},
         tuneRefusal},
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
