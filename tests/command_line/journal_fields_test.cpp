// A run record as the journal gets it, without a journal: the fixed fields first, then every
// key of the log line as KMR_ and the key in capitals, its value as the log line writes it.
#include <gtest/gtest.h>

#include <QJsonArray>

#include "journal_log.h"

using namespace command_line;

TEST(JournalFields, FixedFieldsThenEveryKeyAsText) {
    const QJsonObject done{{"program", "tressel"},
                           {"subcommand", "flash"},
                           {"unit", "U-17"},
                           {"message", "flashed and verified"},
                           {"result", "done"},
                           {"exit_code", 0},
                           {"duration_s", 0.25},
                           {"frames-per.s", 1e6},
                           {"proposed", QJsonObject{{"p", 1499}, {"ok", true}}}};
    EXPECT_EQ(
        journalFields(done),
        (QList<QByteArray>{"MESSAGE_ID=8c1e4b7a2f5d4e6b9a0c3d2e1f4a5b6c",
                           "MESSAGE=tressel flash unit U-17: flashed and verified", "PRIORITY=6",
                           "SYSLOG_IDENTIFIER=tressel", "KMR_DURATION_S=0.25", "KMR_EXIT_CODE=0",
                           "KMR_FRAMES_PER_S=1000000", "KMR_MESSAGE=flashed and verified",
                           "KMR_PROGRAM=tressel", "KMR_PROPOSED={\"ok\":true,\"p\":1499}",
                           "KMR_RESULT=done", "KMR_SUBCOMMAND=flash", "KMR_UNIT=U-17"}));
    const QList<QByteArray> failed = journalFields({{"program", "morvane"},
                                                    {"subcommand", "disable"},
                                                    {"message", "failed: x"},
                                                    {"result", "failed"}});
    EXPECT_EQ(failed.mid(1, 2),
              (QList<QByteArray>{"MESSAGE=morvane disable: failed: x", "PRIORITY=3"}));
}
