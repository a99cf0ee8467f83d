// The flasher window: its form, Connect against every kind of drive, and opening image files.
#include <gtest/gtest.h>

#include <QFile>
#include <QMenuBar>
#include <QStatusBar>
#include <QTextDocument>

#include "drive_link.h"
#include "firmware_image.h"
#include "flasher_fixture.h"
#include "sim_fixture.h"
#include "vlf_writer.h"

using drive_sim::SimulatedAdapter;

namespace {
SimulatedAdapter& withVersion(uint16_t version) {
    drive_sim::BootloaderSettings settings;
    settings.version = version;
    return installBootloader(settings).adapter;
}

SimulatedAdapter& withFaults(drive_sim::LinkFaults faults) {
    return installBootloader({}, faults).adapter;
}

QImage logoOf(const Morvane& window) {
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    return window.ui.logo->pixmap().toImage();
#else
    return window.ui.logo->pixmap(Qt::ReturnByValue).toImage();
#endif
}

drive_sim::LinkFaults lineStuck(drive_sim::LineFault line) {
    drive_sim::LinkFaults faults;
    faults.line = line;
    return faults;
}
}  // namespace

class FlasherWindow : public FlasherWindowTest {};

TEST_F(FlasherWindow, FormAsTheUserFirstSeesIt) {
    EXPECT_EQ(window->windowTitle(), "Tressel 2.0");
    EXPECT_EQ(Morvane().size(), QSize(507, 202));  // shown, fonts may widen it
    EXPECT_EQ(QImage(":/tressel.ico").size(), QSize(32, 32));
    const QImage logo = logoOf(*window);
    EXPECT_EQ(logo.width(), 128);
    EXPECT_EQ(qAlpha(logo.pixel(0, 0)), 0);
    EXPECT_EQ(window->findChild<QMenuBar*>(), nullptr);
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
    EXPECT_EQ(buttonStates(*window), "C--");
}

// Every outcome of Connect in a window of its own, down to what closing it prints.
TEST_F(FlasherWindow, ConnectOutcomes) {
    const QString connecting = "Connecting to drive...";
    const QString lost = "Connection lost, reconnect.";
    const QString noData =
        "warning|Error|Unable to communicate with drive. No data received from device. <br>Ensure "
        "that you have followed the instructions of previous dialog.";
    const QString unsupported = "critical|Error|Unsupported drive type.";
    const std::vector<int> whole = {1, 1, 1, 1, 1, 1, 11, 1, 1, 1, 1};
    struct Case {
        const char* what;
        std::function<SimulatedAdapter&()> install;
        QStringList boxes;  // after the Connecting box
        std::vector<int> commands;
        QStringList status;
        std::string trace = "";  // a line the transaction trace must hold
    };
    const Case cases[] = {
        {"version 109",
         []() -> SimulatedAdapter& { return withVersion(109); },
         {},
         whole,
         {connecting, "Conneced. Bootloader version 109"}},
        {"version 110",
         []() -> SimulatedAdapter& { return withVersion(110); },
         {},
         whole,
         {connecting, "Conneced. Bootloader version 110"}},
        {"version 108",
         []() -> SimulatedAdapter& { return withVersion(108); },
         {unsupported},
         {1, 1, 1, 1, 1, 1, 11, 1, 1},
         {connecting}},
        {"version 111",
         []() -> SimulatedAdapter& { return withVersion(111); },
         {unsupported},
         {1, 1, 1, 1, 1, 1, 11, 1, 1},
         {connecting}},
        {"firmware answers 0xD123",
         []() -> SimulatedAdapter& { return installFerroxDrive().adapter; },
         {"warning|Error|Drive doesn't seem to be in bootloader mode. Please try again."},
         {1, 1, 1, 1, 1, 1},
         {connecting}},
        {"line stuck high",
         []() -> SimulatedAdapter& {
             return withFaults(lineStuck(drive_sim::LineFault::StuckHigh));
         },
         {noData},
         {1, 1, 1},
         {connecting},
         "001,00000 CRC error  00000000"},
        {"line stuck low",
         []() -> SimulatedAdapter& {
             return withFaults(lineStuck(drive_sim::LineFault::StuckLow));
         },
         {noData},
         {1, 1, 1},
         {connecting},
         "001,00000 CRC error  FFFFFFFF"},
        {"first answer corrupted",
         []() -> SimulatedAdapter& {
             auto first = std::make_shared<bool>(true);
             return installBootloader({}, {},
                                      [first](uint8_t, uint16_t, drive_sim::Answer& a) {
                                          if (*first) {
                                              a = corrupted(a);
                                              *first = false;
                                          }
                                      })
                 .adapter;
         },
         {"warning|Error|Unable to communicate with drive. Data checksum error. <br>Ensure that "
          "you have followed the instructions of previous dialog."},
         {1, 1, 1},
         {connecting}},
        {"silent after the version",
         []() -> SimulatedAdapter& {
             drive_sim::LinkFaults faults;
             faults.stopAnsweringAfterFrames = 9;  // the link check's no-ops go unanswered
             return withFaults(faults);
         },
         {kLostBox},
         {1, 1, 1, 1, 1, 1, 11, 1, 1},
         {connecting, lost}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SimulatedAdapter& adapter = c.install();
        openNewWindow();
        watcher->clear();
        statusTexts.clear();
        const Console console = connect();
        EXPECT_EQ(describeBoxes(*watcher), QStringList{kConnectingBox} + c.boxes);
        EXPECT_EQ(commandsFrom(adapter), c.commands);
        EXPECT_EQ(statusTexts, c.status);
        EXPECT_EQ(buttonStates(*window), c.boxes.isEmpty() ? "CO-" : "C--");
        EXPECT_NE(console.out.find(c.trace), std::string::npos) << console.out;
        EXPECT_EQ(captureConsole([this] { window->close(); }).out, "USB closed\n");
    }

    drive_sim::LinkFaults faults;
    faults.failingCalls = {drive_sim::AdapterCall::Open};
    SimulatedAdapter& adapter = withFaults(faults);
    openNewWindow();
    watcher->clear();
    connect();
    EXPECT_EQ(describeBoxes(*watcher), QStringList{"warning|Error|Unable to open USB adapter"});
    EXPECT_TRUE(adapter.frameLog().empty());
    EXPECT_EQ(buttonStates(*window), "C--");
    EXPECT_EQ(captureConsole([this] { window->close(); }).out, "") << "nothing was opened";
}

TEST_F(FlasherWindow, ConnectAgainReopensAndAsksAgain) {
    BootloaderBench bench = installBootloader();
    connect();
    ASSERT_EQ(buttonStates(*window), "CO-");
    QString statesWhileAsking;
    watcher->onBoxOpen([&](int, QMessageBox*) { statesWhileAsking = buttonStates(*window); });
    watcher->clear();
    connect();
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
}

TEST_F(FlasherWindow, CancelledPromptAndFailedLoadKeepOpenFirmwareFile) {
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

    const std::string file = path("not-an-image.vlf");
    writeFile(file, {'M', 'Z', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    watcher->clear();
    const Console console = captureConsole([&] { openFile(QString::fromStdString(file)); });
    EXPECT_EQ(describeBoxes(*watcher),
              QStringList{"warning|Error|Unable to load file or wrong type"});
    EXPECT_EQ(window->ui.statusbar->currentMessage(), QString::fromStdString(file) + " selected");
    EXPECT_EQ(console.err, "Wrong file type " + file + " (-1)\n");
    EXPECT_EQ(buttonStates(*window), "CO-");
    EXPECT_FALSE(window->imageLoaded);
}

TEST_F(FlasherWindow, NameOutsideLatin1Loads) {
    installBootloader();
    connect();
    const QString file = QString::fromStdString(path("")) + QString::fromUtf8("прошивка-Ω.vlf");
    const std::string encoded = QFile::encodeName(file).toStdString();
    if (QFile::decodeName(encoded.c_str()) != file) {
        GTEST_SKIP() << "the file system's encoding cannot hold the name";
    }
    std::vector<uint16_t> words = writeImage(encoded, 2);
    watcher->clear();
    const Console console = captureConsole([&] { openFile(file); });
    EXPECT_TRUE(watcher->boxes().empty());
    EXPECT_EQ(console.err, "File checksum " + std::to_string(vlf::checksumWord(words)) + "\n");
    EXPECT_EQ(window->ui.statusbar->currentMessage(), file + " selected");
    EXPECT_EQ(buttonStates(*window), "C-F");
    EXPECT_TRUE(window->imageLoaded);
    EXPECT_EQ(firmwareImage.packetCount, 2);
}
