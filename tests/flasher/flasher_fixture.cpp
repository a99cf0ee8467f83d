#include "flasher_fixture.h"

#include <QDir>
#include <QStatusBar>
#include <QtTest/QTest>
#include <regex>

#include "drive_link.h"
#include "firmware_image.h"
#include "flash_procedure.h"
#include "output_capture.h"
#include "sim_fixture.h"
#include "vlf_writer.h"

const QString kConnectingBox =
    "information|Connecting|USB adapter found. <br><br><b>Restart drive logic voltage now</b> to "
    "estabilish  connection:<br>&nbsp;&nbsp;1. Power-off drive logic voltage (if "
    "powered)<br>&nbsp;&nbsp;2. Power-up drive logic voltage<br>&nbsp;&nbsp;3. Press "
    "Ok<br><br><b>Make sure</b> there is nothing connected to CMD connector <b>and</b> USB adapter "
    "is connected to SPI connector. Note: this program doesn't support KMR-10 model.";
const QString kSuccessBox =
    "information|Results|Flashing successful, drive memory verified! Now close Tressel, restart "
    "drive logic supply and configure drive with Orrick/Morvane.";
const QString kFailedBox = "warning|Results|Flashing failed. Restart drive power and try again.";
const QString kUnexpectedBox =
    "critical|Error|Flashing failed, drive in unexpected state. Restart drive power and try "
    "again.";
const QString kLostBox =
    "critical|CRC error|Connection to drive lost, data checksum error. <br>Ensure that you have "
    "sufficient noise shielding in cables.";

namespace {
class HookedBootloader : public drive_sim::DrivePersonality {
public:
    HookedBootloader(std::unique_ptr<drive_sim::SimulatedBootloader> inner, AnswerHook hook)
        : inner_(std::move(inner)), hook_(std::move(hook)) {}
    void powerUp() override { inner_->powerUp(); }
    uint32_t powerUpReply() const override { return inner_->powerUpReply(); }
    drive_sim::Answer execute(uint8_t command, uint16_t value) override {
        drive_sim::Answer answer = inner_->execute(command, value);
        hook_(command, value, answer);
        return answer;
    }
    drive_sim::SimulatedBootloader& inner() { return *inner_; }

private:
    std::unique_ptr<drive_sim::SimulatedBootloader> inner_;
    AnswerHook hook_;
};
}  // namespace

BootloaderBench installBootloader(drive_sim::BootloaderSettings settings,
                                  drive_sim::LinkFaults faults, AnswerHook hook) {
    if (!hook) {
        hook = [](uint8_t, uint16_t, drive_sim::Answer&) {};
    }
    auto hooked =
        std::make_unique<HookedBootloader>(drive_sim::makeBootloader(settings), std::move(hook));
    drive_sim::SimulatedBootloader& ref = hooked->inner();
    return {installSimulatedDrive(std::move(hooked), std::move(faults)), ref};
}

drive_sim::Answer corrupted(drive_sim::Answer answer) {
    answer.raw ^= 0x01u;  // CRC-8 catches every single flipped bit
    return answer;
}

AnswerHook corruptNth(uint8_t command, int n) {
    auto seen = std::make_shared<int>(0);
    return [command, n, seen](uint8_t sent, uint16_t, drive_sim::Answer& answer) {
        if (sent == command && ++*seen == n) {
            answer = corrupted(answer);
        }
    };
}

AnswerHook answerTo(uint8_t command, uint32_t raw) {
    return [command, raw](uint8_t sent, uint16_t, drive_sim::Answer& answer) {
        if (sent == command) {
            answer.raw = raw;
        }
    };
}

std::vector<uint16_t> useImage(size_t packets, uint16_t setupWord, uint32_t seed) {
    std::vector<uint16_t> words = vlf::patternPackets(packets, seed);
    firmwareImage.packetCount = uint16_t(packets);
    firmwareImage.setupWord = setupWord;
    firmwareImage.words = std::make_unique<uint16_t[]>(words.size());
    std::copy(words.begin(), words.end(), firmwareImage.words.get());
    return words;
}

Console captureConsole(const std::function<void()>& action) {
    OutputCapture capture;
    action();
    Console console{capture.out(), capture.err()};
    capture.stop();
    return console;
}

std::string withoutTransactions(const std::string& out) {
    static const std::regex transaction(R"(\d{3},\d{5} [^\n]*\n)");
    return std::regex_replace(out, transaction, "");
}

std::vector<int> commandsFrom(const std::vector<drive_sim::FrameRecord>& log, size_t from) {
    std::vector<int> commands;
    for (size_t i = from; i < log.size(); ++i) {
        commands.push_back(log[i].command);
    }
    return commands;
}

namespace {
QtMessageHandler previousHandler = nullptr;

// The offscreen platform says this on standard error whenever a message box opens; it is no
// output of ours and would spoil the exact comparisons.
void dropPlatformNoise(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (!text.contains("does not support propagateSizeHints") && previousHandler) {
        previousHandler(type, context, text);
    }
}
}  // namespace

void FlasherTest::SetUp() {
    static const bool installed = [] {
        previousHandler = qInstallMessageHandler(dropPlatformNoise);
        return true;
    }();
    ASSERT_TRUE(installed);
    Q_INIT_RESOURCE(tressel);
    ASSERT_TRUE(dir_.isValid());
    resetLinkState();
    resetFirmwareImage();
    setIdleTimeLimit(kDefaultIdleTimeLimit);
    setLinkDialect(LinkDialect::Bootloader);
}

void FlasherTest::TearDown() {
    resetFirmwareImage();
    setIdleTimeLimit(kDefaultIdleTimeLimit);
}

std::string FlasherTest::path(const char* name) const {
    return QDir(dir_.path()).filePath(name).toStdString();
}

void FlasherTest::writeFile(const std::string& file, const std::vector<uint8_t>& bytes) const {
    std::string error;
    ASSERT_TRUE(vlf::writeBytes(file, bytes, error)) << error;
}

QString buttonStates(const Morvane& window) {
    return QString(window.ui.connectButton->isEnabled() ? "C" : "-") +
           (window.ui.openfirmware->isEnabled() ? "O" : "-") +
           (window.ui.startflash->isEnabled() ? "F" : "-");
}

void FlasherWindowTest::SetUp() {
    FlasherTest::SetUp();
    openNewWindow();
    watcher = std::make_unique<MessageBoxWatcher>();
}

void FlasherWindowTest::TearDown() {
    watcher.reset();
    captureConsole([this] { window.reset(); });
    FlasherTest::TearDown();
}

void FlasherWindowTest::openNewWindow() {
    window = std::make_unique<Morvane>();
    window->askFileName = filePrompt.prompt();
    QObject::connect(window->ui.statusbar, &QStatusBar::messageChanged,
                     [this](const QString& text) {
                         if (!text.isEmpty()) {
                             statusTexts << text;
                         }
                     });
    window->show();
}

void FlasherWindowTest::click(QWidget* button) {
    QTest::mouseClick(button, Qt::LeftButton);
}

Console FlasherWindowTest::connect() {
    return captureConsole([this] { clickConnect(); });
}

void FlasherWindowTest::openFile(const QString& file) {
    filePrompt.answer({file});
    click(window->ui.openfirmware);
}

std::vector<uint16_t> FlasherWindowTest::writeImage(const std::string& file, size_t packets) {
    vlf::ImageSpec imageSpec;
    imageSpec.setupWord = 0x0042;
    imageSpec.words = vlf::patternPackets(packets, 11);
    std::string error;
    EXPECT_TRUE(vlf::writeImage(file, imageSpec, error)) << error;
    return imageSpec.words;
}
