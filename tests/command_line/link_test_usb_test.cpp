// `link-test` of both programs, run as processes on the emulated FT232R: the time per frame it
// reports is the one the chip's byte clock and latency timer make, and a drive whose reply comes
// later than one byte time after the clock edge is misread, so Connect's probe finds no drive.
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include "bootloader.h"
#include "sim_options.h"
#include "usb_chip_fixture.h"

// At 150 us a byte a word's 33 bytes take 4.95 ms and straddle IN packets: the word is complete
// at the second run-out of the 4 ms latency timer (8 ms), or at the third of the 2 ms one the
// link falls back to when the chip refuses 10000 baud (6 ms). Two words a frame.
TEST(LinkTestOnEmulatedAdapter, ReportsTheTimePerFrameOfTheChipsClockAndLatencyTimer) {
    const struct {
        const char* program;
        bool bootloader;
        bool fallbackLatency;
        double answerDelayUs;
        int exitCode;
        double msPerFrame;
    } runs[] = {
        {KMR_MORVANE, false, false, 0, 0, 16},
        {KMR_TRESSEL, true, true, 0, 0, 12},
        {KMR_MORVANE, false, false, 140, 0, 16},
        {KMR_MORVANE, false, false, 160, 5, 0},
    };
    for (const auto& run : runs) {
        SCOPED_TRACE(run.program);
        drive_sim::ChipOptions options;
        options.microsecondsPerByte = 150;
        options.answerDelayMicroseconds = run.answerDelayUs;
        if (run.fallbackLatency) {
            options.refusedBaudDivisors = {0x012C};
        }
        // A busy machine can only make a run slower: the fastest of three runs is the chip's.
        QJsonObject result;
        for (int attempt = 0; attempt < 3; ++attempt) {
            EmulatedAdapter chip(
                run.bootloader ? drive_sim::makeBootloader() : drive_sim::makeFerroxFirmware(),
                options);
            QProcess program;
            program.setStandardInputFile(QProcess::nullDevice());
            program.start(run.program, {"link-test", "--frames=40", "--json"});
            ASSERT_TRUE(program.waitForFinished(60000));
            ASSERT_EQ(program.exitCode(), run.exitCode)
                << program.readAllStandardError().toStdString();
            // Progress events first, the result object last.
            result = QJsonDocument::fromJson(
                         program.readAllStandardOutput().trimmed().split('\n').last())
                         .object();
            if (result["ms_per_frame"].toDouble() < 1.2 * run.msPerFrame) {
                break;
            }
        }
        EXPECT_EQ(result["exit_code"].toInt(-1), run.exitCode);
        if (run.exitCode == 0) {
            EXPECT_EQ(result["frames"].toInt(), 40);
            EXPECT_EQ(result["crc_failures"].toInt(-1), 0);
#ifndef KMR_SLOWED_BY_SANITIZERS
            EXPECT_NEAR(result["ms_per_frame"].toDouble(), run.msPerFrame, 0.2 * run.msPerFrame);
#endif
            EXPECT_NEAR(result["flash_120_packets_s"].toDouble(),
                        26542 * result["ms_per_frame"].toDouble() / 1000, 1);
        }
    }
}
