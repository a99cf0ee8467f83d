// The flasher window: its form, Connect against every kind of drive, and opening image files.
#include <gtest/gtest.h>

#include <QFile>
#include <QMenuBar>
#include <QStatusBar>
#include <QTextDocument>

#include "drive_link.h"
#include "firmware_image.h"
#include "sim_fixture.h"
#include "vlf_writer.h"
#include "window_fixture.h"

using drive_sim::Answer;
using drive_sim::BootloaderSettings;

namespace {
const QString kUnsupportedBox = "critical|Error|Unsupported drive type.";
const QString kNoDataBox =
    "warning|Error|Unable to communicate with drive. No data received from device. <br>Ensure "
    "that you have followed the instructions of previous dialog.";
const QString kChecksumBox =
    "warning|Error|Unable to communicate with drive. Data checksum error. <br>Ensure that you "
    "have followed the instructions of previous dialog.";
const QString kNotBootloaderBox =
    "warning|Error|Drive doesn't seem to be in bootloader mode. Please try again.";
const QString kNoAdapterBox = "warning|Error|Unable to open USB adapter";
const QString kLoadFailedBox = "warning|Error|Unable to load file or wrong type";

BootloaderSettings withVersion(uint16_t version) {
    BootloaderSettings settings;
    settings.version = version;
    return settings;
}

QPixmap logoPixmap(const Morvane& window) {
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    return window.ui.logo->pixmap();
#else
    return window.ui.logo->pixmap(Qt::ReturnByValue);
#endif
}

class FlasherWindow : public FlasherWindowTest {
protected:
    Console connect() {
        return captureConsole([this] { clickConnect(); });
    }
};
}  // namespace

TEST_F(FlasherWindow, FormAsTheUserFirstSeesIt) {
    EXPECT_EQ(window->windowTitle(), "Tressel 2.0");
    // The form's size; shown, the layout may widen it where the desktop's fonts need the room.
    EXPECT_EQ(Morvane().size(), QSize(507, 202));
    EXPECT_FALSE(window->windowIcon().isNull());
    const QImage logo = logoPixmap(*window).toImage();
    ASSERT_FALSE(logo.isNull());
    EXPECT_EQ(logo.width(), 128);
    EXPECT_TRUE(logo.hasAlphaChannel());
    EXPECT_EQ(qAlpha(logo.pixel(0, 0)), 0);
    EXPECT_EQ(window->findChild<QMenuBar*>(), nullptr);
    EXPECT_EQ(window->ui.statusbar, window->statusBar());

    EXPECT_EQ(window->ui.connectButton->text(), "&Connect");
    EXPECT_EQ(window->ui.openfirmware->text(), "&Open firmware file");
    EXPECT_EQ(window->ui.startflash->text(), "&Flash firmware");
    EXPECT_EQ(window->ui.connectButton->toolTip(), "Estabilish a USB connection to drive");
    EXPECT_EQ(window->ui.openfirmware->toolTip(),
              "Open file selection dialog for VLF firmware files");
    EXPECT_EQ(window->ui.startflash->toolTip(), "Start firmware upload");
    EXPECT_EQ(window->ui.connectButton->nextInFocusChain(), window->ui.openfirmware);
    EXPECT_EQ(window->ui.openfirmware->nextInFocusChain(), window->ui.startflash);

    QTextDocument text;
    text.setHtml(window->ui.doclabel->text());
    EXPECT_EQ(text.toPlainText(),
              "Before flashing, remember to backup your drive settings to a file with \n"
              "Orrick/Morvane. During flashing drive returns to non-configured state.\n\n"
              "To flash firmware:\n"
              "  1. Click Connect\n  2. Open firmware file\n  3. Click Flash firmware\n"
              "  4. Sit back and relax. Flasher is failsafe and drive \n"
              "      won't be harmed even if process is interrupted.");
    EXPECT_NE(window->ui.doclabel->text().indexOf("font-family:'DejaVu Sans'; font-size:9pt"), -1);

    EXPECT_EQ(buttonStates(*window), "C--");
    EXPECT_FALSE(window->imageLoaded);
}

TEST_F(FlasherWindow, VersionsFrom109To110Connect) {
    for (uint16_t version : {109, 110, 108, 111}) {
        SCOPED_TRACE(version);
        const bool supported = version == 109 || version == 110;
        BootloaderBench bench = installBootloader(withVersion(version));
        watcher->clear();
        statusTexts.clear();
        Console console = connect();
        if (!supported) {
            EXPECT_EQ(describeBoxes(*watcher), QStringList({kConnectingBox, kUnsupportedBox}));
            EXPECT_EQ(buttonStates(*window), "C--");
            continue;
        }
        EXPECT_EQ(describeBoxes(*watcher), QStringList{kConnectingBox});
        EXPECT_EQ(commandsFrom(bench.adapter),
                  std::vector<int>({1, 1, 1, 1, 1, 1, 11, 1, 1, 1, 1}));
        EXPECT_EQ(statusTexts,
                  QStringList({"Connecting to drive...",
                               "Conneced. Bootloader version " + QString::number(version)}));
        EXPECT_EQ(buttonStates(*window), "CO-");
        EXPECT_EQ(console.err, "");
    }
}

TEST_F(FlasherWindow, DriveRunningItsFirmwareIsRefused) {
    FerroxBench bench = installFerroxDrive();
    connect();
    EXPECT_EQ(describeBoxes(*watcher), QStringList({kConnectingBox, kNotBootloaderBox}));
    EXPECT_EQ(commandsFrom(bench.adapter), std::vector<int>({1, 1, 1, 1, 1, 1}));
    EXPECT_EQ(buttonStates(*window), "C--");
}

TEST_F(FlasherWindow, SilentLineIsNoDataEitherWay) {
    for (drive_sim::LineFault line :
         {drive_sim::LineFault::StuckHigh, drive_sim::LineFault::StuckLow}) {
        drive_sim::LinkFaults faults;
        faults.line = line;
        BootloaderBench bench = installBootloader({}, faults);
        watcher->clear();
        Console console = connect();
        EXPECT_EQ(describeBoxes(*watcher), QStringList({kConnectingBox, kNoDataBox}));
        EXPECT_EQ(commandsFrom(bench.adapter), std::vector<int>({1, 1, 1}));
        EXPECT_EQ(buttonStates(*window), "C--");
        const char* reply = line == drive_sim::LineFault::StuckHigh ? "00000000" : "FFFFFFFF";
        EXPECT_NE(console.out.find(std::string("001,00000 CRC error  ") + reply), std::string::npos)
            << console.out;
    }
}

TEST_F(FlasherWindow, CorruptedFirstAnswerIsAChecksumError) {
    bool first = true;
    installHookedBootloader([&first](uint8_t, uint16_t, Answer& answer) {
        if (first) {
            answer = corrupted(answer);
            first = false;
        }
    });
    connect();
    EXPECT_EQ(describeBoxes(*watcher), QStringList({kConnectingBox, kChecksumBox}));
    EXPECT_EQ(buttonStates(*window), "C--");
}

TEST_F(FlasherWindow, AdapterThatCannotBeOpened) {
    drive_sim::LinkFaults faults;
    faults.failingCalls = {drive_sim::AdapterCall::Open};
    BootloaderBench bench = installBootloader({}, faults);
    connect();
    EXPECT_EQ(describeBoxes(*watcher), QStringList{kNoAdapterBox});
    EXPECT_TRUE(bench.adapter.frameLog().empty());
    EXPECT_EQ(buttonStates(*window), "C--");
    // Nothing was opened, so closing says nothing.
    EXPECT_EQ(captureConsole([this] { window->close(); }).out, "");
}

TEST_F(FlasherWindow, LinkLostAfterTheVersionIsReportedByTheLinkCheck) {
    drive_sim::LinkFaults faults;
    faults.stopAnsweringAfterFrames = 9;  // the version arrives; the two flushing no-ops do not
    installBootloader({}, faults);
    connect();
    EXPECT_EQ(describeBoxes(*watcher), QStringList({kConnectingBox, kLostBox}));
    EXPECT_EQ(window->ui.statusbar->currentMessage(), "Connection lost, reconnect.");
    EXPECT_EQ(buttonStates(*window), "C--");
}

TEST_F(FlasherWindow, ConnectAgainReopensAndAsksAgain) {
    BootloaderBench bench = installBootloader();
    connect();
    ASSERT_EQ(buttonStates(*window), "CO-");
    QString statesWhileAsking;
    watcher->onBoxOpen([&](int, QMessageBox*) { statesWhileAsking = buttonStates(*window); });
    watcher->clear();
    Console console = connect();
    EXPECT_EQ(statesWhileAsking, "C--");
    EXPECT_EQ(describeBoxes(*watcher), QStringList{kConnectingBox});
    EXPECT_EQ(buttonStates(*window), "CO-");
    int opens = 0;
    int closes = 0;
    for (const auto& call : bench.adapter.callLog()) {
        opens += call.call == drive_sim::AdapterCall::Open;
        closes += call.call == drive_sim::AdapterCall::Close;
    }
    EXPECT_EQ(opens, 2);
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(captureConsole([this] { window->close(); }).out, "USB closed\n");
}

TEST_F(FlasherWindow, CancelledFileDialogChangesNothing) {
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
    EXPECT_FALSE(window->imageLoaded);
}

TEST_F(FlasherWindow, FailedLoadKeepsOpenAndShowsTheChosenName) {
    installBootloader();
    connect();
    const std::string file = path("not-an-image.vlf");
    writeFile(file, {'M', 'Z', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    watcher->clear();
    Console console = captureConsole([&] { openFile(QString::fromStdString(file)); });
    EXPECT_EQ(describeBoxes(*watcher), QStringList{kLoadFailedBox});
    EXPECT_EQ(window->ui.statusbar->currentMessage(), QString::fromStdString(file) + " selected");
    EXPECT_EQ(console.err, "Wrong file type " + file + " (-1)\n");
    EXPECT_EQ(buttonStates(*window), "CO-");
    EXPECT_FALSE(window->imageLoaded);
}

TEST_F(FlasherWindow, LoadedImageEnablesFlashOnce) {
    installBootloader();
    connect();
    const std::string file = path("image.vlf");
    std::vector<uint16_t> words = writeImage(file, 4);
    Console console = captureConsole([&] { openFile(QString::fromStdString(file)); });
    EXPECT_TRUE(watcher->boxes().size() == 1) << "only the Connecting box";
    EXPECT_EQ(console.err, "File checksum " + std::to_string(vlf::checksumWord(words)) + "\n");
    EXPECT_EQ(window->ui.statusbar->currentMessage(), QString::fromStdString(file) + " selected");
    EXPECT_EQ(buttonStates(*window), "C-F");
    EXPECT_TRUE(window->imageLoaded);
    EXPECT_EQ(firmwareImage.packetCount, 4);
    EXPECT_EQ(firmwareImage.setupWord, 0x0042);
}

TEST_F(FlasherWindow, NameOutsideLatin1Loads) {
    installBootloader();
    connect();
    const QString file = QString::fromStdString(path("")) + QString::fromUtf8("прошивка-Ω.vlf");
    const std::string encoded = QFile::encodeName(file).toStdString();
    if (QFile::decodeName(encoded.c_str()) != file) {
        GTEST_SKIP() << "the file system's encoding cannot hold the name";
    }
    writeImage(encoded, 2);
    Console console = captureConsole([&] { openFile(file); });
    EXPECT_EQ(console.err.rfind("File checksum ", 0), 0u) << console.err;
    EXPECT_EQ(buttonStates(*window), "C-F");
    EXPECT_EQ(window->ui.statusbar->currentMessage(), file + " selected");
}

TEST_F(FlasherWindow, SetConnectedOffersOnlyTheNextStep) {
    window->ui.openfirmware->setEnabled(false);
    window->ui.startflash->setEnabled(false);
    window->setConnected(true);
    EXPECT_EQ(buttonStates(*window), "CO-");
    window->imageLoaded = true;
    window->ui.openfirmware->setEnabled(false);
    window->setConnected(true);
    EXPECT_EQ(buttonStates(*window), "C-F");
    window->ui.connectButton->setEnabled(false);
    window->setConnected(false);
    EXPECT_EQ(buttonStates(*window), "---") << "Connect is not touched";
}
