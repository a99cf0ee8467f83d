// A subcommand's line of any bytes, one argument a line, judged as the runner does before it
// installs the drive: refused with a reason and exit code 2, or a subcommand of the list with its
// argument and every value in range. --unit-from's path is the unit (refused if it starts "x").
#include "command_line.h"
#include "exit_codes.h"
#include "fuzz_check.h"
#include "unit_label.h"

using namespace command_line;

namespace {
const QCommandLineOption axisOption("axis", "", "1|2");

// Shaped as the programs' lists: an argument, --retries, an own option with a refusal of its
// value. Made at first use: --retries is another file's global.
const std::vector<Subcommand>& subcommands() {
    auto axisRefusal = [](const QCommandLineParser& parser) {
        return QString(parser.value(axisOption) == "1" ? "" : "step-test needs --axis=1");
    };
    static const std::vector<Subcommand> list = {
        {"flash", "IMAGE.vlf", "", nullptr, {kRetriesOption}},
        {"step-test", nullptr, "", nullptr, {axisOption}, axisRefusal},
        {"diagnose", nullptr, "", nullptr}};
    return list;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const startup::ProgramInfo info{"fuzzed", "1", "", drive_link::LinkDialect::Firmware};
    QStringList arguments{"fuzzed"};
    arguments += QString::fromUtf8(reinterpret_cast<const char*>(data), int(size)).split('\n');
    QCommandLineParser parser;
    const SubcommandLine line =
        judgeSubcommandLine(arguments, parser, info, subcommands(),
                            [](const QString& path, QString& unit, QString& why) {
                                why = path.startsWith('x') ? "cannot read " + path : "";
                                unit = path;
                                return why.isEmpty();
                            });
    if (!line.subcommand) {
        FUZZ_CHECK(!line.why.isEmpty() && line.exitCode == kExitBadCommandLine, "a refusal");
        return 0;
    }
    const QStringList positional = parser.positionalArguments();
    const auto& choice = line.choice;
    FUZZ_CHECK(positional.value(0) == line.subcommand->name &&
                   positional.size() == (line.subcommand->argument ? 2 : 1) &&
                   line.powerCycleWaitSeconds >= 0 && line.powerCycleWaitSeconds <= 3600 &&
                   line.retries >= 0 && line.retries <= 10 &&
                   (line.unit.isEmpty() || unitRefusal(line.unit).isEmpty()) &&
                   !(line.json && line.tracePath == "-") &&
                   !(choice.simulate && !choice.adapter.empty()) &&
                   choice.simulate == bool(choice.simulation),
               "the subcommand, its argument, every value in range, one way to the drive");
    return 0;
}
