// The line report's core over hand-written log lines: which lines it takes, and the figures.
#include <gtest/gtest.h>

#include "adapter_alarm.h"
#include "exit_codes.h"
#include "line_figures.h"
#include "log_reader.h"
#include "regular_file.h"
#include "report_pages.h"
#include "run_records.h"
#include "spill_sort.h"

#include <sys/stat.h>
#include <unistd.h>
#include <QBuffer>
#include <QDir>
#include <QTemporaryDir>
#include <thread>

using namespace line_report;

namespace {
const char* const kOurs =
    R"({"result":"failed","exit_code":6,"message":"m","unit":"U-1","time":"2026-12-07T10:00:00.123Z",)"
    R"("program":"tressel","subcommand":"flash","adapter":"FT1","duration_s":12.5,"attempt":2})";
const char* const kJournal =
    R"({"__CURSOR":"s=1","_PID":"42","_COMM":"tressel","_UID":"1000","SYSLOG_IDENTIFIER":"tressel",)"
    R"("MESSAGE":"flash failed","MESSAGE_ID":"8c1e4b7a2f5d4e6b9a0c3d2e1f4a5b6c",)"
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
    const RecordTrust user1000{1000u}, user0{0u};
    const struct {
        QByteArray line;
        bool taken;
        RecordTrust trust = {};
    } cases[] = {
        {kOurs, true},
        {kJournal, true},
        {kJournal, true, user1000},
        {kJournal, false, user0},
        {QByteArray(kJournal).replace(R"("_UID":"1000",)", ""), true},
        {QByteArray(kJournal).replace(R"("_UID":"1000",)", ""), false, user1000},
        {QByteArray(kJournal).replace("8c1e", "0000"), false},  // another program's entry
        // Another process sending our fields: the daemon names it, whatever it claims.
        {QByteArray(kJournal).replace(R"("_COMM":"tressel")", R"("_COMM":"python3")"), false},
        {QByteArray(kJournal).replace(R"("_COMM":"tressel",)", ""), true},
        {QByteArray(kJournal).replace(R"("SYSLOG_IDENTIFIER":"tressel",)", ""), false},
        {QByteArray(kJournal).replace(R"("SYSLOG_IDENTIFIER":"tressel")",
                                      R"("SYSLOG_IDENTIFIER":"morvane")"),
         false},
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
        EXPECT_EQ(parseRecordLine(c.line, record, c.trust), c.taken) << c.line.constData();
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
    using Count = std::pair<QString, qint64>;
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

namespace {
QByteArray ourLine(const QByteArray& unit, const char* adapter, int exitCode, int second,
                   const char* duration = "1.5") {
    return QString(R"({"exit_code":%1,"unit":"%2","time":"2026-12-07T10:00:%3.000Z",)"
                   R"("subcommand":"flash","adapter":"%4","duration_s":%5})")
        .arg(exitCode)
        .arg(QString::fromUtf8(unit))
        .arg(second, 2, 10, QChar('0'))
        .arg(adapter, duration)
        .toUtf8();
}

LineFigures figuresOf(const QByteArray& log, ReadLimits limits = {}) {
    QBuffer buffer;
    buffer.setData(log);
    buffer.open(QIODevice::ReadOnly);
    LineTally tally;
    QString why;
    EXPECT_TRUE(readRecords(buffer, tally, why, ReadLimits{64 * 1024, limits.mostLineBytes}));
    buffer.seek(0);
    LineTally again;
    readRecords(buffer, again, why, limits);
    const LineFigures figures = again.figures(command_line::exitClassName);
    // However the log comes in chunks, the same figures; and kept on disk past a tiny bound.
    EXPECT_EQ(reportJson(figures), reportJson(tally.figures(command_line::exitClassName)));
    buffer.seek(0);
    LineTally spilled({}, SpillLimits{512, {}});
    EXPECT_TRUE(readRecords(buffer, spilled, why, limits));
    EXPECT_EQ(reportJson(figures), reportJson(spilled.figures(command_line::exitClassName)));
    return figures;
}
}  // namespace

// A log read in chunks of any size: a line past the limit, a duration that is no number of
// seconds from 0 up, are skipped lines; a run's record seen again is counted once and said so.
TEST(LineReport, ReadsInChunksSkipsWhatIsNoRunAndCountsARunOnce) {
    // FT1 fails U-1 three times, FT2 passes three units.
    QByteArray sixRuns;
    for (int i = 0; i < 6; ++i) {
        const QByteArray unit = "U-" + QByteArray::number(i < 3 ? 1 : i);
        sixRuns += ourLine(unit, i < 3 ? "FT1" : "FT2", i < 3 ? 6 : 0, i) + "\n";
    }
    const QByteArray journalDuration =
        QByteArray(kJournal).replace(R"("KMR_DURATION_S":"12.5")", R"("KMR_DURATION_S":"%1")");
    const struct {
        QByteArray log;
        qint64 runs, skipped, duplicates;
    } logs[] = {
        {sixRuns, 6, 0, 0},
        {sixRuns + sixRuns, 6, 0, 6},
        {sixRuns + sixRuns.left(sixRuns.size() - 1), 6, 0, 6},  // the last without its break
        {sixRuns + "\n\r\n  \n" + ourLine("U-9", "FT1", 0, 9) + "\r\n", 7, 0, 0},
        {sixRuns + QByteArray(1000, 'x') + "\n" + ourLine("U-9", "FT1", 0, 9), 7, 1, 0},
        {sixRuns + ourLine("U-9", "FT1", 0, 20) + QByteArray(600, ' ') + "\n", 6, 1, 0},
        {sixRuns + QByteArray(5000, '{'), 6, 1, 0},
        {ourLine("U-3", "FT1", 0, 1, "-1") + "\n" + ourLine("U-3", "FT1", 0, 2, "1e999") + "\n" +
             QByteArray(journalDuration).replace("%1", "nan") + "\n" +
             QByteArray(journalDuration).replace("%1", "inf") + "\n" +
             QByteArray(journalDuration).replace("%1", "-0.5") + "\n" +
             QByteArray(journalDuration).replace("%1", "0") + "\n",
         1, 5, 0},
    };
    for (const auto& log : logs) {
        SCOPED_TRACE(log.log.left(300).toStdString());
        const LineFigures figures = figuresOf(log.log, ReadLimits{7, 512});
        EXPECT_EQ(figures.runs, log.runs);
        EXPECT_EQ(figures.skippedLines, log.skipped);
        EXPECT_EQ(figures.duplicateRecords, log.duplicates);
    }
    // Given twice, the log raises no alarm that it does not raise once: 3 failures of 3 runs
    // against 0 of 3 are 1 chance in 20, but 6 of 6 against 0 of 6 are 1 in 924.
    const LineFigures twice = figuresOf(sixRuns + sixRuns);
    EXPECT_EQ(twice.adapters.front().runs, 3);
    EXPECT_FALSE(twice.adapters.front().alarm);
    EXPECT_EQ(twice.units, 4);
    std::vector<RunRecord> twelveRuns;
    for (int i = 0; i < 12; ++i) {
        twelveRuns.push_back(run(i < 6 ? "U-1" : "U-2", i < 6 ? "FT1" : "FT2", i < 6 ? 6 : 0, i));
    }
    EXPECT_TRUE(summarize(twelveRuns, 0, command_line::exitClassName).adapters.front().alarm);
    // A NaN duration counted would have made this median 53 seconds.
    const LineFigures spread =
        figuresOf(ourLine("U-1", "FT1", 0, 1, "1") + "\n" + ourLine("U-2", "FT1", 0, 2, "100") +
                  "\n" + QByteArray(journalDuration).replace("%1", "nan") + "\n");
    EXPECT_DOUBLE_EQ(spread.durations.at("flash").median, 50.5);
    EXPECT_EQ(reportJson(twice)["duplicate_records"].toInt(), 6);
    EXPECT_TRUE(reportText(twice).contains("duplicate records: 6"));
    EXPECT_TRUE(reportHtml(twice, "line").contains("duplicate records: 6"));
}

// A log named on the line: a FIFO nobody feeds is refused after the wait, one a writer feeds is
// read to its writer's end; a device is never opened.
TEST(LineReport, AFifoWithoutAWriterIsRefusedInTimeAndADeviceAtOnce) {
    QTemporaryDir dir;
    const QByteArray fifo = QFile::encodeName(dir.filePath("fifo"));
    ASSERT_EQ(mkfifo(fifo.constData(), 0600), 0);
    EXPECT_EQ(files::openStream(fifo.constData(), 200).outcome, files::FileOpening::NoWriter);
    EXPECT_EQ(files::openStream("/dev/zero", 200).outcome, files::FileOpening::NotRegularFile);
    EXPECT_EQ(files::openStream(dir.path().toUtf8().constData(), 200).outcome,
              files::FileOpening::CannotOpen);
    std::thread writer([&fifo] {
        QFile out(QString::fromUtf8(fifo));
        out.open(QIODevice::WriteOnly);
        for (int second = 0; second < 50; ++second) {
            out.write(ourLine("U-1", "FT1", 0, second) + "\n");
            out.flush();
        }
    });
    const files::RegularFile opened = files::openStream(fifo.constData(), 5000);
    ASSERT_EQ(opened.outcome, files::FileOpening::Opened);
    QFile in;
    in.open(opened.descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    LineTally tally;
    QString why;
    EXPECT_TRUE(readRecords(in, tally, why));
    writer.join();
    EXPECT_EQ(tally.figures(command_line::exitClassName).runs, 50);
}

namespace {
std::vector<std::pair<std::string, std::string>> sortedBySpilling(
    const std::vector<std::pair<std::string, std::string>>& entries, SpillLimits limits,
    size_t& spilledRuns) {
    SpillSort sort(limits);
    for (const auto& [key, payload] : entries) {
        EXPECT_TRUE(sort.add(key, payload));
    }
    spilledRuns = sort.spilledRuns();
    std::vector<std::pair<std::string, std::string>> out;
    QString why;
    EXPECT_TRUE(sort.forEach(
        [&out](std::string_view key, std::string_view payload) { out.emplace_back(key, payload); },
        why));
    return out;
}
}  // namespace

// Past its bound the sort goes to runs on disk, and past 64 runs merges them into one: the order
// is that of a stable sort in memory whatever the bound, and the runs leave nothing behind.
TEST(LineReport, SortsWholeKeysStablyAcrossSpilledRuns) {
    std::vector<std::pair<std::string, std::string>> entries;
    for (int i = 0; i < 3000; ++i) {  // keys that differ only in their last bytes, or not at all
        entries.emplace_back(std::string(40, 'k') + std::to_string(i * 7919 % 211),
                             std::to_string(i));
    }
    entries.emplace_back(std::string(2000, 'z'), "an entry past the bound");
    auto expected = entries;
    std::stable_sort(expected.begin(), expected.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    QTemporaryDir dir;
    const struct {
        qint64 memoryBytes;
        size_t fewestRuns, mostRuns;
    } bounds[] = {{16 << 20, 0, 0}, {4096, 20, 63}, {512, 1, 64}};
    for (const auto& bound : bounds) {
        size_t runs = 0;
        EXPECT_EQ(sortedBySpilling(entries, SpillLimits{bound.memoryBytes, dir.path()}, runs),
                  expected)
            << bound.memoryBytes;
        EXPECT_TRUE(runs >= bound.fewestRuns && runs <= bound.mostRuns) << runs;
        EXPECT_TRUE(QDir(dir.path()).isEmpty());
    }
}

// Copies of a run spread over the log and over the spilled runs: each run once, the copies
// duplicates, and of differing copies the first in the log counts.
TEST(LineReport, CountsARunOnceWhereverItsCopiesLie) {
    QByteArray log;
    for (int copy = 0; copy < 4; ++copy) {
        for (int unit = 0; unit < 60; ++unit) {
            log += ourLine("U-" + QByteArray::number(unit), "FT1", copy == 0 ? 0 : 6, unit % 60) +
                   "\n";
        }
    }
    const LineFigures figures = figuresOf(log);
    EXPECT_EQ(figures.runs, 60);
    EXPECT_EQ(figures.duplicateRecords, 180);
    EXPECT_EQ(figures.units, 60);
    EXPECT_DOUBLE_EQ(*figures.firstPassYield, 1);
    QBuffer buffer(&log);
    buffer.open(QIODevice::ReadOnly);
    QTemporaryDir dir;
    LineTally tally({}, SpillLimits{512, dir.filePath("gone")});
    QString why;
    EXPECT_FALSE(readRecords(buffer, tally, why));
    EXPECT_TRUE(why.startsWith("cannot make a temporary file")) << why.toStdString();
}
