// step-test: Connect, then the response dialog's Test on one axis, its figures on the line and
// its curves optionally as CSV.
#include "atomic_file.h"
#include "axis_options.h"
#include "connect_then.h"
#include "morvane_subcommands.h"
#include "scope_capture.h"
#include "step_response.h"
#include "step_test.h"
#include "tuning_trial.h"

namespace command_line {

using config_tool::DriveSettings;
using drive_link::Failure;
using drive_link::MessageKind;
using drive_link::Outcome;

using files::writeFileAtomically;
using response::CheckedStepTest;
using response::runCheckedStepTest;
using response::stepCaptureCsv;
using response::StepFigures;
using response::stepResultText;

namespace {
const QCommandLineOption kSpanOption("span", "capture the curves over this span (ms)",
                                     "100|500|2000");
const QCommandLineOption kCsvOption("csv", "write the captured curves to FILE (needs --span)",
                                    "FILE");

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
    MorvaneCommandLine frontEnd(call.powerCycleWaitSeconds);
    frontEnd.axis = axis.toInt() - 1;
    frontEnd.spanMs = span.toInt();
    CheckedStepTest checked;
    SubcommandResult result = connectThen(call.link, frontEnd, [&](MorvaneCommandLine& connected) {
        checked = runCheckedStepTest(call.link, connected);
        // A tripped run's curves show how it went wrong; a corrupted one's show nothing true.
        if (checked.tested.outcome.succeeded() && !checked.corrupted && !csv.isEmpty() &&
            !writeFileAtomically(
                csv, QByteArray::fromStdString(stepCaptureCsv(checked.tested.capture)))) {
            connected.showMessage(MessageKind::Warning, "Error",
                                  connected.translate("Unable to open file for writing"),
                                  Failure::FileRefused);
            return Outcome::failed(Failure::FileRefused);
        }
        return checked.outcome;
    });
    result.file = csv;
    if (result.exitCode != kExitDone && checked.refusal.isEmpty()) {
        return result;
    }
    const StepFigures& figures = checked.tested.figures;
    result.line = stepResultText(figures.peakError, figures.undershoot, figures.settlingTimeMs);
    // A figure at the top of its word is no measurement: a line must not file it as one.
    const std::string saturated =
        response::saturatedFigures(figures.peakError, figures.undershoot,
                                   !span.isEmpty() && checked.tested.capture.curvesSaturated);
    if (!saturated.empty()) {
        result.exitCode = command_line::kExitDriveFailed;
        result.line = "failed: saturated at the 16-bit limit (" +
                      QString::fromStdString(saturated) +
                      "), the true figures are larger: " + result.line;
        if (!checked.refusal.isEmpty()) {
            result.line += "; " + checked.refusal;
        }
    } else if (!checked.refusal.isEmpty()) {
        result.line = "failed: " + checked.refusal + ": " + result.line;
    }
    return result;
}
}  // namespace

Subcommand stepTestSubcommand() {
    Subcommand stepTestRun{"step-test",
                           nullptr,
                           "connect, run the step test on one axis, print its three figures",
                           stepTest,
                           {kAxisOption, kSpanOption, kCsvOption},
                           stepTestRefusal};
    stepTestRun.namedFiles = [](const QCommandLineParser& parser) {
        return std::vector<NamedFile>{{"--csv", parser.value(kCsvOption), NamedFile::Written}};
    };
    return stepTestRun;
}

}  // namespace command_line
