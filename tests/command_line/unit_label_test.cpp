// The unit labels a line may file: the rules over bytes and over --unit's decoded text, and the
// scanner's file as --unit-from reads it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "unit_label.h"

using namespace command_line;

TEST(UnitLabel, RulesOverBytesAndDecodedText) {
    const struct {
        QByteArray label;
        const char* refusal;  // empty: taken
    } cases[] = {
        {"U-1001", ""},
        {"SN 0042/B", ""},          // blanks inside are fine
        {"Prüfling-7", ""},         // any letters
        {QByteArray(64, 'x'), ""},  // 64 characters
        {QByteArray(32, 'x') + QByteArray("\xC3\xA4").repeated(32), ""},
        {QByteArray(65, 'x'), "needs 1 to 64 characters"},
        {QByteArray("\xE2\x82\xAC").repeated(86) + "\xE2", "needs 1 to 64 characters"},
        {"", "needs 1 to 64 characters"},
        {" ", "starts or ends with white space"},
        {" U-1", "starts or ends with white space"},
        {"U-1\xC2\xA0", "starts or ends with white space"},  // no-break space
        {"U-\x01", "holds a control character"},
        {QByteArray("U-\0001", 4), "holds a NUL character"},
        {"U-\xE2\x80\xAE"
         "7140",
         "holds the invisible format character U+202E"},
        {"U-\xE2\x80\x8B"
         "1",
         "holds the invisible format character U+200B"},
        {"U-\xEF\xBB\xBF"
         "1",
         "holds the invisible format character U+FEFF"},
        {"U-\xE2\x80\xA8"
         "1",
         "holds a line or paragraph separator"},
        {"U-\xE2\x80\xA9"
         "1",
         "holds a line or paragraph separator"},
        {"U-\xEF\xBF\xBD", "is not valid UTF-8"},  // U+FFFD stands for lost bytes
        {"U-\xFF", "is not valid UTF-8"},
        {"U-\xC0\xAF", "is not valid UTF-8"},                              // overlong '/'
        {"U-\xED\xA0\x80", "is not valid UTF-8"},                          // a surrogate
        {"U-\xF4\x90\x80\x80", "is not valid UTF-8"},                      // past U+10FFFF
        {"U-\xE2\x82", "is not valid UTF-8"},                              // cut short
        {QByteArray("\xFF\xFEU\000-\0001\000", 8), "is not valid UTF-8"},  // UTF-16
    };
    for (const auto& c : cases) {
        EXPECT_EQ(unitLabelRefusal(c.label), c.refusal) << c.label.toHex().constData();
        // --unit's text as the line decodes it: invalid bytes have become U+FFFD.
        const QString refusal = unitRefusal(QString::fromUtf8(c.label.constData(), c.label.size()));
        EXPECT_EQ(refusal, *c.refusal ? QString("--unit ") + c.refusal : QString())
            << c.label.toHex().constData();
    }
}

TEST(UnitLabel, TheScannersFileGivesItsFirstLineOnly) {
    QTemporaryDir dir;
    const struct {
        const char* name;
        QByteArray text;
        const char* unit;  // null: refused
    } cases[] = {
        {"lf", "SN-1\nnext\n", "SN-1"},
        {"crlf", "SN-2\r\nnext", "SN-2"},
        {"cr", "SN-3\rnext", "SN-3"},
        {"no-break", "SN-4", "SN-4"},
        {"empty", "", nullptr},
        {"blank-first", "\nSN-5\n", nullptr},
        {"utf16", QByteArray("\xFF\xFES\000N\000\n\000", 8), nullptr},
        {"nul", QByteArray("SN\0006\n", 5), nullptr},
        {"bom", "\xEF\xBB\xBFSN-7\n", nullptr},
        {"long", QByteArray(5000, 'x'), nullptr},
        {"long-cut", QByteArray("\xE2\x82\xAC").repeated(2000), nullptr},  // cut mid-character
    };
    for (const auto& c : cases) {
        const QString path = dir.filePath(c.name);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(c.text);
        file.close();
        QString unit, why;
        EXPECT_EQ(readUnitFrom(path, unit, why), c.unit != nullptr)
            << c.name << ": " << qPrintable(why);
        if (c.unit) {
            EXPECT_EQ(unit, c.unit) << c.name;
        } else {
            EXPECT_TRUE(why.startsWith("cannot read the unit from " + path + ": "))
                << qPrintable(why);
        }
    }
}

TEST(UnitLabel, SpecialFilesAreRefused) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath("fifo");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString environ = dir.filePath("environ");  // a link to a file of the kernel's
    ASSERT_TRUE(QFile::link("/proc/self/environ", environ));
    for (const QString& path : {fifo, environ, QString("/proc/self/cmdline"),
                                QString("/sys/kernel/uevent_seqnum"), QString("/dev/null")}) {
        QString unit, why;
        EXPECT_FALSE(readUnitFrom(path, unit, why))
            << qPrintable(path) << " gave " << qPrintable(unit);
        EXPECT_TRUE(unit.isEmpty()) << qPrintable(path);
    }
}
