// The flasher window: its form, Connect against every kind of drive, and opening image files.
#include <gtest/gtest.h>

#include <QFile>
#include <QStatusBar>

#include "firmware_image.h"
#include "flasher_fixture.h"
#include "sim_fixture.h"
#include "vlf_writer.h"

using drive_sim::SimulatedAdapter;

namespace {
QImage logoOf(const Morvane& window) {
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    return window.ui.logo->pixmap().toImage();
#else
    return window.ui.logo->pixmap(Qt::ReturnByValue).toImage();
#endif
}

drive_sim::LinkFaults linkFaults(drive_sim::LineFault line, long silentAfter = -1,
                                 bool openFails = false) {
    drive_sim::LinkFaults faults;
    faults.line = line;
    faults.stopAnsweringAfterFrames = silentAfter;
    if (openFails) {
        faults.failingCalls = {drive_sim::AdapterCall::Open};
    }
    return faults;
}

}  // namespace

class FlasherWindow : public FlasherWindowTest {};

TEST_F(FlasherWindow, FormAsTheUserFirstSeesIt) {
    EXPECT_EQ(window->windowTitle(), "Tressel 2.0");
    EXPECT_EQ(QImage(":/tressel.ico").size(), QSize(32, 32));
    EXPECT_EQ(logoOf(*window).width(), 128);
    EXPECT_EQ(qAlpha(logoOf(*window).pixel(0, 0)), 0) << "a transparent logo";
    EXPECT_EQ(window->ui.connectButton->toolTip(), "Estabilish a USB connection to drive");
    EXPECT_EQ(buttonStates(*window), "C--");
}

// Every outcome of Connect in a window of its own, down to what closing it prints.
TEST_F(FlasherWindow, ConnectOutcomes) {
    const QString connecting = "Connecting to drive...";
    const QString noData =
        "warning|Error|Unable to communicate with drive. No data received from device. <br>Ensure "
        "that you have followed the instructions of previous dialog.";
    const QString checksum =
        "warning|Error|Unable to communicate with drive. Data checksum error. <br>Ensure that you "
        "have followed the instructions of previous dialog.";
    const QString notBootloader =
        "warning|Error|Drive doesn't seem to be in bootloader mode. Please try again.";
    const QString unsupported = "critical|Error|Unsupported drive type.";
    const QString noAdapter = "warning|Error|Unable to open USB adapter";
    const QString lost = "Connection lost, reconnect.";
    const std::vector<int> whole = {1, 1, 1, 1, 1, 1, 11, 1, 1, 1, 1};
    const std::vector<int> untilVersion = {1, 1, 1, 1, 1, 1, 11, 1, 1};
    const auto none = drive_sim::LineFault::None;
    struct Case {
        const char* what;
        uint16_t version;
        drive_sim::LinkFaults faults;
        QStringList boxes;
        std::vector<int> commands;
        QStringList status;
        std::string trace = "";  // a line the transaction trace must hold
        AnswerHook hook = {};
        bool firmwareDrive = false;
    };
    // clang-format off
    const Case cases[] = {
        {"version 109", 109, {}, {kConnectingBox}, whole,
         {connecting, "Conneced. Bootloader version 109"}},
        {"version 110", 110, {}, {kConnectingBox}, whole,
         {connecting, "Conneced. Bootloader version 110"}},
        {"version 108", 108, {}, {kConnectingBox, unsupported}, untilVersion, {connecting}},
        {"version 111", 111, {}, {kConnectingBox, unsupported}, untilVersion, {connecting}},
        {"firmware answers 0xD123", 0, {}, {kConnectingBox, notBootloader}, {1, 1, 1, 1, 1, 1},
         {connecting}, "", {}, true},
        {"line stuck high", 109, linkFaults(drive_sim::LineFault::StuckHigh),
         {kConnectingBox, noData}, {1, 1, 1}, {connecting}, "001,00000 CRC error  00000000"},
        {"line stuck low", 109, linkFaults(drive_sim::LineFault::StuckLow),
         {kConnectingBox, noData}, {1, 1, 1}, {connecting}, "001,00000 CRC error  FFFFFFFF"},
        {"first answer corrupted", 109, {}, {kConnectingBox, checksum}, {1, 1, 1}, {connecting},
         "", corruptNth(1, 1)},
        // The version arrives; the link check's two no-ops are not answered.
        {"silent after the version", 109, linkFaults(none, 9), {kConnectingBox, kLostBox},
         untilVersion, {connecting, lost}},
        {"adapter cannot be opened", 109, linkFaults(none, -1, true), {noAdapter}, {},
         {connecting}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        drive_sim::BootloaderSettings settings;
        settings.version = c.version;
        SimulatedAdapter& adapter = c.firmwareDrive
                                        ? installFerroxDrive().adapter
                                        : installBootloader(settings, c.faults, c.hook).adapter;
        openNewWindow();
        watcher->clear();
        statusTexts.clear();
        const Console console = connect();
        EXPECT_EQ(describeBoxes(*watcher), c.boxes);
        EXPECT_EQ(commandsFrom(adapter), c.commands);
        EXPECT_EQ(statusTexts, c.status);
        EXPECT_EQ(buttonStates(*window), c.status.last().startsWith("Conneced") ? "CO-" : "C--");
        EXPECT_NE(console.out.find(c.trace), std::string::npos) << console.out;
        // Closing reports a closed adapter only when one was opened.
        EXPECT_EQ(captureConsole([this] { window->close(); }).out,
                  c.boxes.first() == noAdapter ? "" : "USB closed\n");
    }
}

// Cancelled, then a file that is no image, then an image whose name is outside Latin-1.
TEST_F(FlasherWindow, OpenFirmwareFile) {
    installBootloader();
    connect();
    const QString status = window->ui.statusbar->currentMessage();
    openFile("");
    ASSERT_EQ(filePrompt.asked().size(), 1u);
    EXPECT_EQ(filePrompt.asked().front().caption, "Open File");
    EXPECT_EQ(filePrompt.asked().front().filter, "VL firmware files (*.vlf)");
    EXPECT_FALSE(filePrompt.asked().front().forSaving);
    EXPECT_EQ(window->ui.statusbar->currentMessage(), status);
    EXPECT_EQ(buttonStates(*window), "CO-");

    const std::string wrong = path("not-an-image.vlf");
    writeFile(wrong, {'M', 'Z', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    watcher->clear();
    Console console = captureConsole([&] { openFile(QString::fromStdString(wrong)); });
    EXPECT_EQ(describeBoxes(*watcher),
              QStringList{"warning|Error|Unable to load file or wrong type"});
    EXPECT_EQ(window->ui.statusbar->currentMessage(), QString::fromStdString(wrong) + " selected");
    EXPECT_EQ(console.err, "Wrong file type " + wrong + " (-1)\n");
    EXPECT_EQ(buttonStates(*window), "CO-");
    EXPECT_FALSE(window->imageLoaded);

    // The loader gets the name in the file system's encoding, not in Latin-1.
    const QString file = QString::fromStdString(path("")) + QString::fromUtf8("прошивка-Ω.vlf");
    const std::string encoded = QFile::encodeName(file).toStdString();
    if (QFile::decodeName(encoded.c_str()) != file) {
        GTEST_SKIP() << "the file system's encoding cannot hold the name";
    }
    std::vector<uint16_t> words = writeImage(encoded, 2);
    watcher->clear();
    console = captureConsole([&] { openFile(file); });
    EXPECT_TRUE(watcher->boxes().empty());
    EXPECT_EQ(console.err, "File checksum " + std::to_string(vlf::checksumWord(words)) + "\n");
    EXPECT_EQ(window->ui.statusbar->currentMessage(), file + " selected");
    EXPECT_EQ(buttonStates(*window), "C-F");
    EXPECT_TRUE(window->imageLoaded);
    EXPECT_EQ(firmwareImage.packetCount, 2);
}
