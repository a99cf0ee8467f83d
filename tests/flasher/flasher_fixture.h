// What the flasher's tests share: a simulated bootloader behind the D2XX calls, images made with
// the vlf writer, the console without its per-transaction trace lines, and a shown window whose
// boxes and file prompt are answered.
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bootloader.h"
#include "flasher_window.h"
#include "message_box_watcher.h"
#include "scripted_file_prompt.h"
#include "sim_adapter.h"

// The boxes of the flasher, as describeBox() writes them.
extern const QString kConnectingBox;
extern const QString kSuccessBox;
extern const QString kFailedBox;
extern const QString kUnexpectedBox;
extern const QString kLostBox;

struct BootloaderBench {
    drive_sim::SimulatedAdapter& adapter;
    drive_sim::SimulatedBootloader& bootloader;
};

// Sees every answer of the bootloader before it goes out and may change it.
using AnswerHook = std::function<void(uint8_t command, uint16_t value, drive_sim::Answer& answer)>;

// Installs the simulated bootloader with the given settings and faults (zero latency).
BootloaderBench installBootloader(drive_sim::BootloaderSettings settings = {},
                                  drive_sim::LinkFaults faults = {}, AnswerHook hook = {});

// An answer whose CRC fails, with the same bits otherwise.
drive_sim::Answer corrupted(drive_sim::Answer answer);
// Hooks that break the CRC of the `n`th answer to `command`, or replace every answer to it.
AnswerHook corruptNth(uint8_t command, int n);
AnswerHook answerTo(uint8_t command, uint32_t raw);

// Puts `packets` pattern packets with `setupWord` into the program's image, as a load would.
std::vector<uint16_t> useImage(size_t packets, uint16_t setupWord = 0x1234, uint32_t seed = 7);

// What an action wrote to standard output and standard error; the capture ends before the
// caller's assertions run, so that their failures are seen.
struct Console {
    std::string out;
    std::string err;
};
Console captureConsole(const std::function<void()>& action);

// The console without the trace lines of single transactions ("ccc,vvvvv ... \n").
std::string withoutTransactions(const std::string& out);

// The commands of the frames the drive received from index `from` on.
std::vector<int> commandsFrom(const std::vector<drive_sim::FrameRecord>& log, size_t from = 0);
inline std::vector<int> commandsFrom(const drive_sim::SimulatedAdapter& adapter, size_t from = 0) {
    return commandsFrom(adapter.frameLog(), from);
}

// Every case starts with the link, the image and the idle time limit as at program start.
class FlasherTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::string path(const char* name) const;  // in this case's own temporary directory
    void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) const;

    QTemporaryDir dir_;
};

// Which buttons are enabled: "C" Connect, "O" Open firmware file, "F" Flash firmware, "-" off.
QString buttonStates(const Morvane& window);

class FlasherWindowTest : public FlasherTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // A fresh shown window, its file prompt answered by `filePrompt`, in place of the last one.
    void openNewWindow();
    void click(QWidget* button);
    void clickConnect() { click(window->ui.connectButton); }
    Console connect();  // clicks Connect with the console captured
    void clickFlash() { click(window->ui.startflash); }
    // Opens `file` through the Open button, the file prompt answering (an empty name cancels).
    void openFile(const QString& file);
    // Writes an image of `packets` pattern packets with setup word 0x0042; returns its words.
    std::vector<uint16_t> writeImage(const std::string& file, size_t packets);

    std::unique_ptr<Morvane> window;
    std::unique_ptr<MessageBoxWatcher> watcher;
    ScriptedFilePrompt filePrompt;
    QStringList statusTexts;  // every text the status bar showed, in order
};
