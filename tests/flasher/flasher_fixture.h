// What the flasher's tests share: a simulated bootloader behind the D2XX calls, images made with
// the vlf writer, and the console with the per-transaction trace lines taken out.
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "bootloader.h"
#include "message_box_watcher.h"
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

// Installs the simulated bootloader with the given settings and faults (zero latency).
BootloaderBench installBootloader(drive_sim::BootloaderSettings settings = {},
                                  drive_sim::LinkFaults faults = {});

// Sees every answer of the bootloader before it goes out and may change it (a corrupted reply,
// an odd verdict, a fault word that appears later).
using AnswerHook = std::function<void(uint8_t command, uint16_t value, drive_sim::Answer& answer)>;
BootloaderBench installHookedBootloader(AnswerHook hook,
                                        drive_sim::BootloaderSettings settings = {},
                                        drive_sim::LinkFaults faults = {});

// An answer whose CRC fails, with the same bits otherwise.
drive_sim::Answer corrupted(drive_sim::Answer answer);

// Puts `packets` pattern packets with `setupWord` into the program's image, as a load would.
std::vector<uint16_t> useImage(size_t packets, uint16_t setupWord = 0x1234, uint32_t seed = 7);

// What an action wrote to standard output and standard error. The capture ends before the
// caller's assertions run, so that their failures are seen.
struct Console {
    std::string out;
    std::string err;
};
Console captureConsole(const std::function<void()>& action);

// The console without the trace lines of single transactions ("ccc,vvvvv ... \n").
std::string withoutTransactions(const std::string& out);

// The commands of the frames the drive received from index `from` on.
std::vector<int> commandsFrom(const drive_sim::SimulatedAdapter& adapter, size_t from = 0);

// Starts every case with the link, the image and the idle time limit as at program start, and
// the flasher's dialect of the link.
class FlasherTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // A file in this case's own temporary directory.
    std::string path(const char* name) const;
    void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) const;

    QTemporaryDir dir_;
};
