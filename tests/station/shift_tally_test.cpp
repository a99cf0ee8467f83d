// The station's yield strip against `report`: the same unit attempts, filed by the tiles or read
// back from the log lines they become, give the same units, yields and adapter alarm.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <cmath>
#include <vector>

#include "shift_tally.h"

namespace {
// One attempt of a unit: the unit, the fixture's adapter, the attempt, its exit code.
struct Attempt {
    QString unit;
    QString adapter;
    int attempt;
    int exitCode;
};

QJsonObject recordOf(const Attempt& attempt, int second) {
    return {{"time", QString("2026-12-08T10:%1:%2.000Z")
                         .arg(second / 60, 2, 10, QChar('0'))
                         .arg(second % 60, 2, 10, QChar('0'))},
            {"subcommand", "flash"},
            {"unit", attempt.unit},
            {"adapter", attempt.adapter},
            {"attempt", attempt.attempt},
            {"exit_code", attempt.exitCode},
            {"duration_s", 9.5}};
}

// `count` units on `adapter`, each passing or failing at its only attempt.
std::vector<Attempt> units(const QString& adapter, int count, int exitCode, int firstNumber) {
    std::vector<Attempt> attempts;
    for (int i = 0; i < count; ++i) {
        attempts.push_back({QString("SN-%1").arg(firstNumber + i), adapter, 1, exitCode});
    }
    return attempts;
}

std::vector<Attempt> joined(std::vector<std::vector<Attempt>> parts) {
    std::vector<Attempt> all;
    for (const auto& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

QString percentOf(const QJsonValue& share) {
    return share.isNull() ? QString("-")
                          : QString("%1 %").arg(std::round(share.toDouble() * 1000) / 10);
}

// The strip as `report --json` on the log gives its figures.
QString reportedStrip(const QString& log) {
    QProcess report;
    report.start(KMR_TRESSEL, {"report", "--json", log});
    EXPECT_TRUE(report.waitForFinished(20000));
    const QJsonObject figures = QJsonDocument::fromJson(report.readAllStandardOutput()).object();
    QStringList alarmed;
    for (const QJsonValue& adapter : figures["adapters"].toArray()) {
        if (adapter["alarm"].toBool()) {
            alarmed += adapter["adapter"].toString();
        }
    }
    return QString("units %1   first-pass yield %2   final yield %3   adapter alarm: %4")
        .arg(figures["units"].toInt())
        .arg(percentOf(figures["first_pass_yield"]), percentOf(figures["final_yield"]),
             alarmed.isEmpty() ? QString("none") : alarmed.join(", "));
}
}  // namespace

TEST(ShiftTally, TheStripShowsWhatReportGivesForTheSameLogLines) {
    const struct {
        const char* name;
        std::vector<Attempt> attempts;
        const char* strip;
    } cases[] = {
        {"no unit yet", {}, "units 0   first-pass yield -   final yield -   adapter alarm: none"},
        {"a pass, a unit that failed twice, a pass on the retry",
         {{"SN-1", "simulated 1-1", 1, 0},
          {"SN-3", "simulated 1-3", 1, 5},
          {"SN-3", "simulated 1-3", 2, 5},
          {"SN-2", "simulated 1-2", 1, 6},
          {"SN-2", "simulated 1-2", 2, 0}},
         "units 3   first-pass yield 33.3 %   final yield 66.7 %   adapter alarm: none"},
        {"one fixture fails every unit while the others pass",
         joined({units("A 1-1", 8, 0, 1), units("B 1-2", 5, 6, 20), units("C 1-3", 8, 0, 40)}),
         "units 21   first-pass yield 76.2 %   final yield 76.2 %   adapter alarm: B 1-2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        QFile log(dir.filePath("units.log"));
        ASSERT_TRUE(log.open(QIODevice::WriteOnly));
        gui_station::ShiftTally shift;
        int second = 0;
        for (const Attempt& attempt : c.attempts) {
            const QJsonObject record = recordOf(attempt, second++);
            EXPECT_EQ(shift.file(record), attempt.adapter);
            log.write(QJsonDocument(record).toJson(QJsonDocument::Compact) + '\n');
        }
        log.close();
        EXPECT_EQ(shift.stripText().toStdString(), c.strip);
        EXPECT_EQ(shift.stripText().toStdString(), reportedStrip(log.fileName()).toStdString());
        EXPECT_EQ(shift.alarmed("B 1-2"), QString(c.strip).endsWith("B 1-2"));
    }
}
