// Plays every scenario and compares its whole transcript (frames, front-end events, standard
// output and standard error) with its golden file. KMR_REGENERATE_GOLDEN=1 writes the files
// instead; their diff is reviewed like code.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include "output_capture.h"
#include "scenarios.h"
#include "step_response.h"
#include "trace.h"
#include "transcript.h"

using namespace drive_link;
using namespace response;

namespace {
std::string* scenarioTrace = nullptr;
LinkSettings scenarioSettings;
QString play(const Scenario& scenario) {
    std::string out;
    scenarioTrace = &out;
    OutputCapture capture;  // standard error, and anything that strays onto standard output
    const QString events = scenario.play();
    const std::string err = capture.err();
    const std::string strayOut = capture.out();
    capture.stop();
    scenarioTrace = nullptr;
    EXPECT_EQ(strayOut, "") << "only the trace may write to standard output";
    // A time-out's report names the time it waited, which varies.
    const QString errors =
        QString::fromStdString(err).replace(QRegularExpression("after \\d+ ms"), "after <t> ms");
    // Scenarios keep their files in temporary folders, named anew each time.
    const QRegularExpression scratch(QRegularExpression::escape(QDir::tempPath()) +
                                     "/[^/]+-\\w{6}");
    QString text = events + "stdout:\n" + compactTrace(out) + "\nstderr:\n" +
                   compactTrace(errors.toStdString()) + "\n";
    return text.replace(scratch, "<dir>");
}

class Transcripts : public testing::TestWithParam<Scenario> {};

QString goldenFileOf(const Scenario& scenario) {
    return QString(KMR_GOLDEN_DIR) + "/" + scenario.name + ".txt";
}

void expectGolden(const Scenario& scenario, const QString& text) {
    QFile golden(goldenFileOf(scenario));
    ASSERT_TRUE(golden.open(QIODevice::ReadOnly)) << golden.fileName().toStdString();
    EXPECT_EQ(text.toStdString(), QString::fromUtf8(golden.readAll()).toStdString());
}

TEST_P(Transcripts, MatchTheGoldenFile) {
    const Scenario& scenario = GetParam();
    const QString text = play(scenario);
    if (qEnvironmentVariableIsSet("KMR_REGENERATE_GOLDEN")) {
        QFile golden(goldenFileOf(scenario));
        ASSERT_TRUE(golden.open(QIODevice::WriteOnly | QIODevice::Truncate));
        golden.write(text.toUtf8());
        return;
    }
    expectGolden(scenario, text);
}

// The fast link streams runs of frames; the drive must see the same frames and the trace must
// read the same wherever nothing fails in the middle of a run. (Where a packet's frame fails,
// the fast link has sent the rest of the packet's frames already and traces them: the flash's
// fault scenario is left out, and tests/flasher/fast_link_flash_test.cpp holds that case.)
class FastLinkTranscripts : public testing::TestWithParam<Scenario> {};

TEST_P(FastLinkTranscripts, MatchTheGoldenFile) {
    scenarioSettings.mode = LinkMode::Fast;
    const QString text = play(GetParam());
    scenarioSettings = LinkSettings{};
    expectGolden(GetParam(), text);
}

std::vector<Scenario> allScenarios() {
    std::vector<Scenario> all = morvaneScenarios();
    for (Scenario& scenario : tresselScenarios()) {
        all.push_back(std::move(scenario));
    }
    return all;
}

INSTANTIATE_TEST_SUITE_P(, Transcripts, testing::ValuesIn(allScenarios()),
                         [](const testing::TestParamInfo<Scenario>& info) {
                             return std::string(info.param.name);
                         });
std::vector<Scenario> scenariosWithoutAFailureInsideARun() {
    std::vector<Scenario> kept;
    for (Scenario& scenario : allScenarios()) {
        if (std::string(scenario.name) != "tressel_flash_faults") {
            kept.push_back(std::move(scenario));
        }
    }
    return kept;
}

INSTANTIATE_TEST_SUITE_P(, FastLinkTranscripts,
                         testing::ValuesIn(scenariosWithoutAFailureInsideARun()),
                         [](const testing::TestParamInfo<Scenario>& info) {
                             return std::string(info.param.name);
                         });
}  // namespace

void setUpScenarioLink(Link& link) {
    link.setTraceSink([](std::string_view text) {
        if (scenarioTrace) {
            scenarioTrace->append(text);
        }
    });
}

LinkSettings scenarioLinkSettings() {
    return scenarioSettings;
}
