// Stop and close while the flasher's window flashes on its worker thread: both ask first, stop
// between two packets, and leave a drive that the next Connect and flash take up again.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "bootloader.h"
#include "flasher_window.h"
#include "message_box_watcher.h"
#include "output_capture.h"
#include "sim_fixture.h"
#include "vlf_writer.h"

namespace {
constexpr int kPackets = 5;

// The window with a hand on its Stop button or its close box at one packet.
class WindowActingAtPacket : public Morvane {
public:
    void packetStarted(int packet, int packetCount) override {
        Morvane::packetStarted(packet, packetCount);
        if (packet == actAt) {
            act();
        }
    }
    void pressStop() { findChild<QPushButton*>("stopButton")->click(); }
    int actAt = -1;
    std::function<void()> act;
};

struct Bench {
    Bench() {
        drive_sim::BootloaderSettings quick;
        quick.eraseBusyFrames = 1;
        quick.programBusyFrames = 1;
        auto bootloader = drive_sim::makeBootloader(quick);
        drive = bootloader.get();
        installSimulatedDrive(std::move(bootloader));
        vlf::ImageLayout layout;
        layout.words = vlf::patternPackets(kPackets, 9);
        std::string error;
        EXPECT_TRUE(vlf::writeImage(dir.filePath("image.vlf").toStdString(), layout, error));
        const QString image = dir.filePath("image.vlf");
        window.askFileName = [image](QWidget*, const widgets::FileQuestion&) { return image; };
        window.show();
        QTest::mouseClick(window.ui.connectButton, Qt::LeftButton);
        QTest::mouseClick(window.ui.openfirmware, Qt::LeftButton);
    }
    QStringList titles() const {
        QStringList seen;
        for (const SeenBox& box : watcher.boxes()) {
            seen << box.title;
        }
        return seen;
    }
    QTemporaryDir dir;
    drive_sim::SimulatedBootloader* drive = nullptr;
    OutputCapture quiet;
    MessageBoxWatcher watcher;
    WindowActingAtPacket window;
};
}  // namespace

TEST(FlasherStop, StopsBetweenPacketsOnlyWhenTheUserAgreesAndTheNextFlashSucceeds) {
    for (const auto answer : {QMessageBox::No, QMessageBox::Yes}) {
        SCOPED_TRACE(answer == QMessageBox::Yes ? "stop" : "go on");
        Bench bench;
        bench.watcher.clear();
        bench.watcher.answerWith(answer);
        bench.window.actAt = 2;
        bench.window.act = [&] { bench.window.pressStop(); };
        QTest::mouseClick(bench.window.ui.startflash, Qt::LeftButton);
        const bool stopped = answer == QMessageBox::Yes;
        EXPECT_EQ(bench.titles().value(0), "Stop flashing");
        // Packets 0 to 2 were written before the stop was seen; the one under way was finished.
        EXPECT_EQ(bench.drive->packetsProgrammed(), stopped ? 3 : kPackets);
        EXPECT_EQ(bench.titles().contains("Results"), !stopped);
        EXPECT_EQ(bench.window.ui.statusbar->currentMessage(),
                  stopped ? "Stopped" : "Flashing done");
        EXPECT_EQ(bench.window.ui.startflash->isEnabled(), false);

        // The drive is taken up again and flashed whole.
        bench.window.actAt = -1;
        bench.watcher.answerWith(QMessageBox::Ok);
        bench.watcher.clear();
        QTest::mouseClick(bench.window.ui.connectButton, Qt::LeftButton);
        ASSERT_TRUE(bench.window.ui.startflash->isEnabled());
        QTest::mouseClick(bench.window.ui.startflash, Qt::LeftButton);
        EXPECT_TRUE(bench.titles().join(" ").endsWith("Connecting Results"))
            << bench.titles().join(" ").toStdString();
        EXPECT_TRUE(bench.watcher.boxes().back().text.startsWith("Flashing successful"));
    }
}

TEST(FlasherStop, ClosingDuringAFlashAsksFirstThenClosesAtAPacketBoundary) {
    for (const auto answer : {QMessageBox::No, QMessageBox::Yes}) {
        SCOPED_TRACE(answer == QMessageBox::Yes ? "close" : "keep");
        Bench bench;
        bench.watcher.clear();
        bench.watcher.answerWith(answer);
        bench.window.actAt = 1;
        bench.window.act = [&] { bench.window.close(); };
        QTest::mouseClick(bench.window.ui.startflash, Qt::LeftButton);
        const bool closed = answer == QMessageBox::Yes;
        EXPECT_EQ(bench.titles().value(0), "Stop flashing");
        EXPECT_EQ(bench.window.isVisible(), !closed);
        EXPECT_EQ(bench.drive->packetsProgrammed(), closed ? 2 : kPackets);
        EXPECT_EQ(bench.window.link.state().linkOpen, !closed);
    }
}
