// The subcommands without --simulate: the programs, run as processes, reach the FT232R emulated
// on the mocked USB bus through the libftdi1 provider, as they would reach an adapter on a bench.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include "bootloader.h"
#include "sim_options.h"
#include "usb_chip_fixture.h"
#include "vlf_writer.h"

TEST(OnEmulatedAdapter, SubcommandsRunOverTheLibftdiPathAndLogTheAdaptersSerial) {
    QTemporaryDir dir;
    vlf::ImageSpec image;
    image.words = vlf::patternPackets(3, 7);
    std::string error;
    ASSERT_TRUE(vlf::writeImage(dir.filePath("image.vlf").toStdString(), image, error));
    const QString log = dir.filePath("log.jsonl");
    const struct {
        bool bootloader;
        const char* program;
        QStringList arguments;
        const char* resultText;
    } runs[] = {
        {true, KMR_TRESSEL, {"flash", dir.filePath("image.vlf")}, "flashed and verified: "},
        {false, KMR_MORVANE, {"diagnose"}, "Fault register 0000"},
        {false, KMR_MORVANE, {"backup", dir.filePath("drive.frx")}, "saved: "},
        {false, KMR_MORVANE, {"restore", dir.filePath("drive.frx")}, "restored and read back: "},
    };
    for (const auto& run : runs) {
        // The chip's testbed is handed to the child through the environment umockdev set.
        EmulatedAdapter chip(run.bootloader ? drive_sim::makeBootloader()
                                            : drive_sim::makeFerroxFirmware());
        QProcess program;
        program.setStandardInputFile(QProcess::nullDevice());
        program.start(run.program, run.arguments + QStringList{"--log=" + log});
        ASSERT_TRUE(program.waitForFinished(60000));
        const QString out = QString::fromLocal8Bit(program.readAllStandardOutput());
        EXPECT_EQ(program.exitCode(), 0)
            << out.toStdString() << program.readAllStandardError().toStdString();
        EXPECT_TRUE(out.contains(run.resultText)) << out.toStdString();
    }
    QFile logFile(log);
    ASSERT_TRUE(logFile.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = logFile.readAll().split('\n');
    ASSERT_EQ(lines.size(), 5);  // four runs and the empty rest after the last line break
    for (int i = 0; i < 4; ++i) {
        const QJsonObject entry = QJsonDocument::fromJson(lines[i]).object();
        EXPECT_EQ(entry["adapter"].toString(), "KMR00001") << lines[i].toStdString();
        EXPECT_EQ(entry["exit_code"].toInt(-1), 0);
    }
}
