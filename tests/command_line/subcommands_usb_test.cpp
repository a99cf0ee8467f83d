// The subcommands without --simulate: the programs, run as processes, reach the FT232R emulated
// on the mocked USB bus through the libftdi1 provider, as they would reach an adapter on a bench.
#include <gtest/gtest.h>

#include <csignal>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include "bootloader.h"
#include "sim_options.h"
#include "usb_chip_fixture.h"
#include "vlf_writer.h"

// An adapter without a serial number works as one with a serial; the log then names none.
TEST(OnEmulatedAdapter, SubcommandsRunOverTheLibftdiPathAndLogTheAdaptersSerial) {
    QTemporaryDir dir;
    vlf::ImageLayout image;
    image.words = vlf::patternPackets(3, 7);
    std::string error;
    ASSERT_TRUE(vlf::writeImage(dir.filePath("image.vlf").toStdString(), image, error));
    const QString log = dir.filePath("log.jsonl");
    const struct {
        bool bootloader;
        const char* serial;
        const char* program;
        QStringList arguments;
        const char* resultText;
    } runs[] = {
        {true, "", KMR_TRESSEL, {"flash", dir.filePath("image.vlf")}, "flashed and verified: "},
        {false, "KMR00001", KMR_MORVANE, {"diagnose"}, "Fault register 0000"},
        {false, "", KMR_MORVANE, {"backup", dir.filePath("drive.frx")}, "saved: "},
        {false,
         "KMR00001",
         KMR_MORVANE,
         {"restore", dir.filePath("drive.frx")},
         "restored and read back: "},
    };
    for (const auto& run : runs) {
        // The chip's testbed is handed to the child through the environment umockdev set.
        drive_sim::ChipOptions options;
        options.serial = run.serial;
        EmulatedAdapter chip(
            run.bootloader ? drive_sim::makeBootloader() : drive_sim::makeFerroxFirmware(),
            options);
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
        EXPECT_EQ(entry["adapter"].toString(), runs[i].serial) << lines[i].toStdString();
        EXPECT_EQ(entry["exit_code"].toInt(-1), 0);
    }
}

// Two adapters and no --adapter: a subcommand does not guess which drive is meant; it lists
// them and gives up, touching neither. Named by its port path, the second one does the work.
TEST(OnEmulatedAdapter, TwoAdaptersNeedAnAdapterOptionAndItsPortPicksTheRightOne) {
    EmulatedAdapter first(drive_sim::makeFerroxFirmware());
    drive_sim::ChipOptions noSerial;
    noSerial.serial.clear();
    drive_sim::EmulatedFt232r second(drive_sim::makeFerroxFirmware(), {}, noSerial, &*first);
    const struct {
        QStringList adapter;
        int exitCode;
        const char* err;
        bool secondWorked;
    } runs[] = {
        {{},
         4,
         "morvane: several FTDI adapters are plugged in; name the one to use with "
         "--adapter=SERIAL|BUS:DEV|PORT:\n001:002  port 1-1  FT232R USB UART  serial KMR00001\n"
         "001:003  port 1-2  FT232R USB UART  (no serial)\n",
         false},
        {{"--adapter=1-2"}, 0, "", true},
    };
    for (const auto& run : runs) {
        QProcess program;
        program.setStandardInputFile(QProcess::nullDevice());
        program.start(KMR_MORVANE, QStringList{"diagnose"} + run.adapter);
        ASSERT_TRUE(program.waitForFinished(60000));
        EXPECT_EQ(program.exitCode(), run.exitCode);
        const std::string err = program.readAllStandardError().toStdString();
        EXPECT_EQ(err.rfind(run.err, 0), 0u) << err;
        EXPECT_EQ(!second.frameLog().empty(), run.secondWorked);
        EXPECT_TRUE(first->frameLog().empty());
    }
}

// Stopped by a signal while it waits for the drive's restart: the adapter is closed with its bit
// mode reset (the chip back in UART mode), and the log still gets the run, with 128 + the signal.
TEST(OnEmulatedAdapter, SubcommandStoppedBySignalReleasesTheAdapterAndLogsTheStop) {
    EmulatedAdapter chip(drive_sim::makeFerroxFirmware());
    QTemporaryDir dir;
    const QString log = dir.filePath("log.jsonl");
    auto bitModes = [&] {
        std::vector<uint16_t> modes;
        for (const drive_sim::VendorRequest& r : chip->vendorRequests()) {
            if (r.request == drive_sim::kFtdiSetBitMode) {
                modes.push_back(uint16_t(r.value >> 8));
            }
        }
        return modes;
    };
    QProcess program;
    program.setStandardInputFile(QProcess::nullDevice());
    program.start(KMR_MORVANE, {"diagnose", "--power-cycle-wait=60", "--log=" + log});
    for (int waited = 0; waited < 30000 && bitModes().size() < 2; waited += 20) {
        QThread::msleep(20);
    }
    ASSERT_EQ(bitModes(), (std::vector<uint16_t>{0, 4})) << "reset, bit-bang once, still open";
    program.terminate();
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 128 + SIGTERM);
    EXPECT_EQ(bitModes(), (std::vector<uint16_t>{0, 4, 0}));
    QFile logFile(log);
    ASSERT_TRUE(logFile.open(QIODevice::ReadOnly));
    const QJsonObject entry = QJsonDocument::fromJson(logFile.readLine()).object();
    EXPECT_EQ(entry["exit_code"].toInt(), 128 + SIGTERM);
    EXPECT_TRUE(entry["message"].toString().startsWith("failed: interrupted"))
        << entry["message"].toString().toStdString();
}
