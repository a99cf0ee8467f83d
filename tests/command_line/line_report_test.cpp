// The line report's core over hand-written log lines: which lines it takes, and the figures.
#include <gtest/gtest.h>

#include "adapter_alarm.h"
#include "exit_codes.h"
#include "line_figures.h"
#include "report_pages.h"
#include "run_records.h"

using namespace line_report;

namespace {
const char* const kOurs =
    R"({"result":"failed","exit_code":6,"message":"m","unit":"U-1","time":"2026-12-07T10:00:00.123Z",)"
    R"("program":"tressel","subcommand":"flash","adapter":"FT1","duration_s":12.5,"attempt":2})";
const char* const kJournal =
    R"({"__CURSOR":"s=1","_PID":"42","MESSAGE":"flash failed","MESSAGE_ID":"8c1e4b7a2f5d4e6b9a0c3d2e1f4a5b6c",)"
    R"("KMR_RESULT":"failed","KMR_EXIT_CODE":"6","KMR_UNIT":"U-1","KMR_TIME":"2026-12-07T10:00:00.123Z",)"
    R"("KMR_PROGRAM":"tressel","KMR_SUBCOMMAND":"flash","KMR_ADAPTER":"FT1","KMR_DURATION_S":"12.5",)"
    R"("KMR_ATTEMPT":"2"})";

RunRecord run(const char* unit, const char* adapter, int exitCode, qint64 timeMs,
              double seconds = 1, const char* subcommand = "flash") {
    RunRecord record;
    record.unit = unit;
    record.adapter = adapter;
    record.exitCode = exitCode;
    record.timeMs = timeMs;
    record.durationS = seconds;
    record.subcommand = subcommand;
    return record;
}
}  // namespace

TEST(LineReport, TakesOurLinesAndOurJournalRecordsOnly) {
    const struct {
        QByteArray line;
        bool taken;
    } cases[] = {
        {kOurs, true},
        {kJournal, true},
        {QByteArray(kJournal).replace("8c1e", "0000"), false},  // another program's entry
        {QByteArray(kJournal).replace(R"("KMR_UNIT":"U-1")", R"("KMR_UNIT":[85,255])"), false},
        {QByteArray(kJournal).replace(R"("KMR_EXIT_CODE":"6")", R"("KMR_EXIT_CODE":"six")"), false},
        {QByteArray(kOurs).replace(R"("exit_code":6)", R"("exit_code":"6")"), false},
        {QByteArray(kOurs).replace("2026-12-07T10", "yesterday"), false},
        {R"({"level":"info","msg":"hello"})", false},
        {"[1,2]", false},
        {"{\"result\":\"done\",", false},
    };
    for (const auto& c : cases) {
        RunRecord record;
        EXPECT_EQ(parseRecordLine(c.line, record), c.taken) << c.line.constData();
    }
    RunRecord fromLog, fromJournal;
    ASSERT_TRUE(parseRecordLine(kOurs, fromLog) && parseRecordLine(kJournal, fromJournal));
    for (const RunRecord& record : {fromLog, fromJournal}) {
        EXPECT_EQ(record.exitCode, 6);
        EXPECT_EQ(record.attempt, 2);
        EXPECT_DOUBLE_EQ(record.durationS, 12.5);
        EXPECT_EQ(record.unit, "U-1");
        EXPECT_EQ(record.timeMs, 1796637600123);
    }
}

TEST(LineReport, AnEmptyLogHasNoYield) {
    const LineFigures figures = summarize({}, 3, command_line::exitClassName);
    const QJsonObject json = reportJson(figures);
    EXPECT_EQ(json["runs"].toInt(-1), 0);
    EXPECT_EQ(json["skipped_lines"].toInt(), 3);
    EXPECT_TRUE(json["first_pass_yield"].isNull() && json["final_yield"].isNull());
    EXPECT_TRUE(summaryLine(figures).contains("first-pass yield n/a"));
}

TEST(LineReport, YieldsFailuresAndDurations) {
    std::vector<RunRecord> runs{run("U-2", "FT2", 0, 50),
                                run("U-1", "FT1", 6, 10),
                                run("U-1", "FT1", 0, 30),
                                run("U-3", "FT1", 7, 40),
                                run("U-3", "FT1", 7, 60),
                                run("U-4", "FT2", 6, 70),
                                run("", "FT2", 0, 80, 99, "link-test"),
                                run("", "FT2", 0, 90, 1, "link-test")};
    for (int i = 1; i <= 21; ++i) {
        runs.push_back(run("U-5", "FT3", 0, 100 + i, i, "backup"));
    }
    const LineFigures figures = summarize(runs, 0, command_line::exitClassName);
    EXPECT_EQ(figures.runs, 29);
    EXPECT_EQ(figures.units, 5);
    EXPECT_EQ(figures.unnamedRuns, 2);
    EXPECT_DOUBLE_EQ(*figures.firstPassYield, 2.0 / 5);  // U-2 and U-5
    EXPECT_DOUBLE_EQ(*figures.finalYield, 3.0 / 5);      // and U-1, on its second attempt
    using Count = std::pair<QString, int>;
    EXPECT_EQ(figures.failuresByClass, (std::vector<Count>{{"drive_failed", 2}, {"link_lost", 2}}));
    // Nearest rank: the 20th of 21 values, the 2nd of 2.
    EXPECT_DOUBLE_EQ(figures.durations.at("backup").median, 11);
    EXPECT_DOUBLE_EQ(figures.durations.at("backup").p95, 20);
    EXPECT_DOUBLE_EQ(figures.durations.at("link-test").median, 50);
    EXPECT_DOUBLE_EQ(figures.durations.at("link-test").p95, 99);
}

TEST(LineReport, AlarmNamesAnAdapterFailingFarMoreThanTheRest) {
    // All 2 failures on the adapter with 2 of 4 runs: 1 of the 6 ways to place them.
    EXPECT_NEAR(chanceOfAsManyFailures(2, 2, 4, 2), 1.0 / 6, 1e-12);
    EXPECT_NEAR(chanceOfAsManyFailures(5, 0, 50, 3), 1.0, 1e-12);
    AdapterWatch watch;
    for (int i = 0; i < 100; ++i) {
        watch.add("FT1", i % 10 == 0);  // 10 %
        watch.add("FT2", i == 0);
        watch.add("FT3", false);
    }
    EXPECT_EQ(watch.alarmedAdapters(), std::vector<QString>{"FT1"});
    AdapterWatch few;  // as high a rate, but too few failures to tell
    few.add("FT1", true);
    few.add("FT1", true);
    for (int i = 0; i < 100; ++i) {
        few.add("FT2", false);
    }
    EXPECT_FALSE(few.alarmed("FT1"));
}

TEST(LineReport, ThePageNamesNothingOutsideItself) {
    const QByteArray page =
        reportHtml(summarize({run("U-1", "FT<1>", 6, 0), run("U-2", "FT2", 0, 1)}, 0,
                             command_line::exitClassName),
                   "line");
    EXPECT_TRUE(page.contains("FT&lt;1&gt;") && !page.contains("FT<1>"));
    EXPECT_TRUE(page.contains("<svg"));
    for (const char* outside : {"http", "src=", "href", "<script", "url(", "@import"}) {
        EXPECT_FALSE(page.contains(outside)) << outside;
    }
}
