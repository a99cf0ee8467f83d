// A subcommand's command line of any bytes, one argument a line, judged as the runner judges it
// up to where it would install the drive: refused with a reason and a bad-line exit code, or a
// subcommand of the list with every value in range. --unit-from's file is not read: its path is
// the unit, or refused when it starts with "x".
#include <QCommandLineParser>
#include <QStringList>

#include "command_line.h"
#include "command_line_front_end.h"
#include "fuzz_check.h"
#include "unit_label.h"

using namespace command_line;

namespace {
const QCommandLineOption axisOption("axis", "", "1|2");
const QCommandLineOption framesOption("frames", "", "N", "300");

// Shaped as the programs' lists are: an argument, a subcommand's own options, shared options,
// a refusal of a value and --retries. Made at first use: --retries is another file's global.
const std::vector<Subcommand>& subcommands() {
    static const std::vector<Subcommand> list = {
        {"flash", "IMAGE.vlf", "", nullptr, {kRetriesOption}},
        {"diagnose", nullptr, "", nullptr},
        {"step-test",
         nullptr,
         "",
         nullptr,
         {axisOption},
         [](const QCommandLineParser& parser) {
             const QString axis = parser.value(axisOption);
             return axis == "1" || axis == "2" ? QString() : QString("step-test needs --axis");
         }},
        {"tune", nullptr, "", nullptr, {axisOption}},
        {"link-test", nullptr, "", nullptr, {framesOption}},
    };
    return list;
}

const startup::ProgramInfo info{"fuzzed", "1.0.0", "", drive_link::LinkDialect::Firmware};

bool unitFromPath(const QString& path, QString& unit, QString& why) {
    if (path.startsWith('x')) {
        why = "cannot read " + path;
        return false;
    }
    unit = path;
    return true;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QStringList arguments{"fuzzed"};
    arguments += QString::fromUtf8(reinterpret_cast<const char*>(data), int(size)).split('\n');
    QCommandLineParser parser;
    const SubcommandLine line =
        judgeSubcommandLine(arguments, parser, info, subcommands(), unitFromPath);
    if (!line.subcommand) {
        FUZZ_CHECK(!line.why.isEmpty(), "a refusal names its reason");
        FUZZ_CHECK(line.exitCode == kExitBadCommandLine, "a refusal is a bad command line");
        return 0;
    }
    const QStringList positional = parser.positionalArguments();
    FUZZ_CHECK(positional.value(0) == line.subcommand->name, "the subcommand named");
    FUZZ_CHECK(positional.size() == (line.subcommand->argument ? 2 : 1), "its argument");
    FUZZ_CHECK(line.powerCycleWaitSeconds >= 0 && line.powerCycleWaitSeconds <= 3600, "wait");
    FUZZ_CHECK(line.retries >= 0 && line.retries <= 10, "retries");
    FUZZ_CHECK(line.retries == 0 || parser.isSet(kRetriesOption), "retries only when asked");
    FUZZ_CHECK(line.unit.isEmpty() || unitRefusal(line.unit).isEmpty(), "a unit the log takes");
    FUZZ_CHECK(!(line.json && line.tracePath == "-"), "no trace among the JSON lines");
    FUZZ_CHECK(!line.choice.exitNow && !(line.choice.simulate && !line.choice.adapter.empty()),
               "one way to the drive");
    FUZZ_CHECK(line.choice.simulate == bool(line.choice.simulation), "the simulation described");
    return 0;
}
