// The flashing procedure against the simulated bootloader: its wire sequence, its console, its
// boxes and results, and each way it stops.
#include <gtest/gtest.h>

#include <QStatusBar>
#include <regex>

#include "drive_link.h"
#include "firmware_image.h"
#include "flash_procedure.h"
#include "flasher_fixture.h"
#include "sim_fixture.h"

using drive_sim::Answer;
using drive_sim::BootloaderSettings;

namespace {
// Erase and programming times that give the waits a different number of polling cycles.
BootloaderSettings quickBootloader() {
    BootloaderSettings settings;
    settings.eraseBusyFrames = 7;    // two polling cycles
    settings.programBusyFrames = 1;  // one
    return settings;
}

// The checks, the setup word, the erase command and its wait with `cycles` polling cycles.
std::vector<int> untilErased(int cycles) {
    std::vector<int> commands = {25, 1, 1, 5, 9, 1, 1};
    for (int i = 0; i < cycles; ++i) {
        commands.insert(commands.end(), {1, 25, 1, 1, 1, 1});
    }
    return commands;
}

std::vector<int> expectedFlash(int packets, int eraseCycles, int programCycles) {
    std::vector<int> commands = untilErased(eraseCycles);
    commands.insert(commands.end(), {1, 1, 1, 1});
    for (int k = 0; k < packets; ++k) {
        for (int j = 0; j < 72; ++j) {
            commands.insert(commands.end(), {19, 1, 1});
        }
        commands.insert(commands.end(), {17, 1, 1});
        for (int i = 0; i < programCycles; ++i) {
            commands.insert(commands.end(), {1, 25, 1, 1, 1, 1});
        }
        commands.insert(commands.end(), {1, 1});
    }
    commands.insert(commands.end(), {1, 1, 1, 1, 1, 1, 22, 1, 1});
    return commands;
}

class FlashProcedure : public FlasherWindowTest {
protected:
    struct Run {
        int result = 0;
        Console console;
        std::vector<int> commands;  // what the drive received during the step
        QStringList boxes;          // what the step showed
    };
    // Opens the link unless it is open and runs one step of the procedure, the whole flash
    // unless told otherwise.
    Run run(const drive_sim::SimulatedAdapter& adapter,
            int (*step)(LinkErrorWindow&) = flashImage) {
        if (!linkState.linkOpen) {
            EXPECT_TRUE(openLink(false));
        }
        watcher->clear();
        const size_t start = adapter.frameLog().size();
        Run outcome;
        outcome.console = captureConsole([&] { outcome.result = step(*window); });
        outcome.commands = commandsFrom(adapter, start);
        outcome.boxes = describeBoxes(*watcher);
        return outcome;
    }
};
}  // namespace

// Every way a flash ends, from a bootloader that answers as set up and hooked. A success box
// must always mean that the bootloader holds the image it was sent, word by word.
TEST_F(FlashProcedure, Outcomes) {
    const QString notBootloader =
        "warning|Error|Drive not in bootloader mode. Restart drive power and try again.";
    const QString faultBits = "warning|Error|Fault bits active. Restart drive power and try again.";
    const std::string intro = "SPI init\n\nErasing flash\nIdle\n\nIdleOver\n\nWriting to flash\n";
    const std::string outro = "\nDone. Verifying\n";
    const auto packet = [](int k, int n) {
        return "Packet " + std::to_string(k) + "/" + std::to_string(n) +
               "      \rIdle\n\nIdleOver\n\n";
    };
    const auto writing = [](int k, int n) {
        return QString("Writing packet %1/%2. Please wait!").arg(k).arg(n);
    };
    BootloaderSettings slowerBootloader;  // erase busy for 40 frames: eight cycles; a packet two
    BootloaderSettings faulted = quickBootloader();
    faulted.faultBits = 0x0200;
    std::vector<int> lostAtFirstWord = untilErased(2);
    lostAtFirstWord.insert(lostAtFirstWord.end(), {1, 1, 1, 1, 19, 1, 1});
    std::vector<int> lostAtWord77 = expectedFlash(1, 2, 1);
    lostAtWord77.resize(lostAtWord77.size() - 9);  // no verification
    for (int j = 0; j < 5; ++j) {
        lostAtWord77.insert(lostAtWord77.end(), {19, 1, 1});
    }
    const auto verdict = [](uint16_t value) {
        return answerTo(22, drive_sim::framedReply(1, value));
    };
    struct Case {
        const char* what;
        BootloaderSettings settings;
        AnswerHook hook;
        size_t packets;
        int result;
        QString box;
        std::vector<int> commands = {};  // each frame of the run; left unchecked when empty
        std::string console = "";        // without the transaction trace; unchecked when empty
        QStringList status = {};         // unchecked when empty
        bool firmwareDrive = false;
    };
    const std::string notInBootloaderMode =
        "SPI init\n\nDrive not in bootloader mode? Check CLR jumper and reset drive. Hit enter to "
        "exit\n";
    const std::string faultBitsActive =
        "SPI init\n\nBL fault bits active. Reset drive and try again. Hit enter to exit\n";
    const std::string twoPackets = intro + packet(1, 2) + packet(2, 2) + outro;
    const std::string threePackets = intro + packet(1, 3) + packet(2, 3) + packet(3, 3) + outro;
    const QString done = "Flashing done";
    const QString lost = "Connection lost, reconnect.";
    // clang-format off
    const Case cases[] = {
        {"two packets", quickBootloader(), {}, 2, 0, kSuccessBox, expectedFlash(2, 2, 1),
         twoPackets, {writing(1, 2), writing(2, 2), done}},
        {"slower bootloader", slowerBootloader, {}, 3, 0, kSuccessBox, expectedFlash(3, 8, 2),
         threePackets, {writing(1, 3), writing(2, 3), writing(3, 3), done}},
        // The frames from the fault-bit answer to the end of the erase are not checked on the
        // spot: a broken one surfaces at the first data word.
        {"broken fault-bit answer", quickBootloader(), corruptNth(25, 1), 2, -1, kLostBox,
         lostAtFirstWord, "", {writing(1, 2), lost}},
        // 0x00FFFFFF fails its CRC and has a non-zero value field, yet it is no fault word.
        {"firmware drive", {}, {}, 1, -1, notBootloader, {25, 1, 1}, notInBootloaderMode, {}, true},
        {"fault bits", faulted, {}, 1, -1, faultBits, {25, 1, 1}, faultBitsActive},
        {"zero fault word, odd status byte", quickBootloader(),
         answerTo(25, drive_sim::framedReply(0x5A, 0)), 1, 0, kSuccessBox, expectedFlash(1, 2, 1)},
        // The link check after every word stops before command 17 programs a broken packet.
        {"broken data word", quickBootloader(), corruptNth(19, 72 + 5), 3, -1, kLostBox,
         lostAtWord77, "", {writing(1, 3), writing(2, 3), lost}},
        // Only bit 0 of the verdict counts; a verdict whose CRC fails is no success.
        {"verdict 0001", quickBootloader(), verdict(0x0001), 1, 0, kSuccessBox},
        {"verdict 0003", quickBootloader(), verdict(0x0003), 1, 0, kSuccessBox},
        {"verdict FFFF", quickBootloader(), verdict(0xFFFF), 1, 0, kSuccessBox},
        {"verdict 0000", quickBootloader(), verdict(0x0000), 1, 0, kFailedBox},
        {"verdict 0002", quickBootloader(), verdict(0x0002), 1, 0, kFailedBox},
        {"verdict FFFE", quickBootloader(), verdict(0xFFFE), 1, 0, kFailedBox},
        {"odd verdict, broken", quickBootloader(), corruptNth(22, 1), 1, 0, kFailedBox},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        window->ui.statusbar->clearMessage();
        statusTexts.clear();
        drive_sim::SimulatedAdapter* adapter = nullptr;
        drive_sim::SimulatedBootloader* bootloader = nullptr;
        if (c.firmwareDrive) {
            adapter = &installFerroxDrive().adapter;
        } else {
            BootloaderBench bench = installBootloader(c.settings, {}, c.hook);
            adapter = &bench.adapter;
            bootloader = &bench.bootloader;
        }
        const std::vector<uint16_t> words = useImage(c.packets, 0x4321);
        const Run flash = run(*adapter);
        EXPECT_EQ(flash.result, c.result);
        EXPECT_EQ(flash.boxes, QStringList{c.box});
        EXPECT_EQ(flash.console.err, "");
        if (!c.commands.empty()) {
            EXPECT_EQ(flash.commands, c.commands);
        }
        if (!c.console.empty()) {
            EXPECT_EQ(withoutTransactions(flash.console.out), c.console);
        }
        if (!c.status.isEmpty()) {
            EXPECT_EQ(statusTexts, c.status);
        }
        std::vector<uint16_t> dataWords;
        const auto& log = adapter->frameLog();
        for (size_t i = log.size() - flash.commands.size(); i < log.size(); ++i) {
            EXPECT_TRUE(log[i].crcOk);
            if (log[i].command == 19) {
                dataWords.push_back(log[i].value);
            } else {
                const int value = log[i].command == 5 ? 0x4321 : log[i].command == 9 ? 0xC308 : 0;
                EXPECT_EQ(log[i].value, value) << "command " << int(log[i].command);
            }
        }
        EXPECT_TRUE(std::equal(dataWords.begin(), dataWords.end(), words.begin()));
        if (c.box == kSuccessBox) {
            ASSERT_NE(bootloader, nullptr);
            EXPECT_EQ(dataWords.size(), words.size());
            EXPECT_EQ(bootloader->setupWord(), 0x4321);
            EXPECT_EQ(bootloader->packetsProgrammed(), int(c.packets));
            EXPECT_TRUE(std::equal(words.begin(), words.end(), bootloader->flash().begin()));
        }
    }
}

TEST_F(FlashProcedure, WaitThatIsIdleAtOnceTakesTwoFramesUnlessItsStatusIsBroken) {
    // The wait's second no-op carries the answer to the setup word sent before it.
    const auto setupThenWait = [](LinkErrorWindow& w) {
        bool error = false;
        transact(5, 0x1234, error);
        return waitForIdle(w);
    };
    for (const bool broken : {false, true}) {
        SCOPED_TRACE(broken ? "broken status" : "clean status");
        BootloaderBench bench = installBootloader({}, {}, broken ? corruptNth(5, 1) : AnswerHook{});
        resetLinkState();
        const Run wait = run(bench.adapter, setupThenWait);
        EXPECT_EQ(wait.result, broken ? -1 : 0);
        EXPECT_EQ(wait.commands,
                  broken ? std::vector<int>({5, 1, 1, 1, 1}) : std::vector<int>({5, 1, 1}));
        EXPECT_EQ(withoutTransactions(wait.console.out),
                  broken ? "Idle\n\n" : "Idle\n\nIdleOver\n\n");
        EXPECT_EQ(wait.boxes, broken ? QStringList{kLostBox} : QStringList{});
    }
}

// It still loads, but neither the window nor the procedure lets it erase the drive.
TEST_F(FlashProcedure, ImageWithoutPacketsIsNeverFlashed) {
    const QString refused =
        "warning|Error|Firmware file holds no packets. Flashing it would erase the drive and "
        "leave it without firmware.<br>Open another firmware file.";
    BootloaderBench bench = installBootloader(quickBootloader());
    connect();
    writeImage(path("empty.vlf"), 0);
    watcher->clear();
    const Console console =
        captureConsole([&] { openFile(QString::fromStdString(path("empty.vlf"))); });
    EXPECT_EQ(console.err, "File checksum 0\n");
    EXPECT_EQ(describeBoxes(*watcher), QStringList{refused});
    EXPECT_EQ(buttonStates(*window), "CO-");
    EXPECT_FALSE(window->imageLoaded);

    const Run flash = run(bench.adapter);
    EXPECT_EQ(flash.result, -1);
    EXPECT_EQ(flash.boxes, QStringList{refused});
    EXPECT_TRUE(flash.commands.empty());
    EXPECT_EQ(flash.console.out, "");
    EXPECT_EQ(bench.bootloader.eraseCount(), 0);
}

TEST_F(FlashProcedure, StatusZeroAfterBusyIsAnUnexpectedState) {
    BootloaderSettings settings = quickBootloader();
    settings.unexpectedStatusAfterBusy = true;
    int faultRequests = 0;
    BootloaderBench bench =
        installBootloader(settings, {}, [&](uint8_t command, uint16_t, Answer& a) {
            if (command == 25 &&
                ++faultRequests > 1) {  // clean at the start, a fault while erasing
                a.raw = drive_sim::framedReply(uint8_t(a.raw >> 24), 0x0040);
            }
        });
    useImage(2);
    const Run flash = run(bench.adapter);
    EXPECT_EQ(flash.result, -1);
    EXPECT_EQ(flash.commands, untilErased(2));
    EXPECT_EQ(flash.boxes, QStringList{kUnexpectedBox});
    EXPECT_EQ(flash.console.err, "Error while flashing, status 00, faultbits 0040\n");
    EXPECT_EQ(withoutTransactions(flash.console.out), "SPI init\n\nErasing flash\nIdle\n\n");

    // Seen at the wait's first look, with no fault word read: the line shows 0.
    const Run wait = run(bench.adapter, waitForIdle);
    EXPECT_EQ(wait.result, -2);
    EXPECT_EQ(wait.commands, std::vector<int>({1, 1}));
    EXPECT_EQ(wait.boxes, QStringList{kUnexpectedBox});
    EXPECT_EQ(wait.console.err, "Error while flashing, status 00, faultbits 0000\n");
}

TEST_F(FlashProcedure, BootloaderThatStaysBusyRunsIntoTheTimeLimit) {
    BootloaderSettings settings;
    settings.busyForever = true;
    BootloaderBench bench = installBootloader(settings);
    useImage(1);
    setIdleTimeLimit(std::chrono::milliseconds(30));
    const Run flash = run(bench.adapter);
    EXPECT_EQ(flash.result, -1);
    EXPECT_EQ(flash.boxes, QStringList{kUnexpectedBox});
    EXPECT_TRUE(std::regex_match(flash.console.err,
                                 std::regex("Error while flashing, timed out waiting for idle "
                                            "after [0-9]+ ms, status 30, faultbits 0000\n")))
        << flash.console.err;
    std::vector<int> sent = commandsFrom(bench.adapter);
    EXPECT_EQ(std::count(sent.begin(), sent.end(), 19), 0);
    EXPECT_TRUE(bench.bootloader.busy());
}

TEST_F(FlashProcedure, LinkLostWhileWaitingStopsTheWait) {
    BootloaderSettings settings;
    settings.busyForever = true;
    drive_sim::LinkFaults faults;
    faults.stopAnsweringAfterFrames = 40;
    BootloaderBench bench = installBootloader(settings, faults);
    captureConsole([] {
        bool error = false;
        ASSERT_TRUE(openLink(false));
        transact(9, 0xC308, error);
    });
    const Run wait = run(bench.adapter, waitForIdle);
    EXPECT_EQ(wait.result, -1);
    EXPECT_EQ(wait.boxes, QStringList{kLostBox});
    EXPECT_FALSE(window->ui.openfirmware->isEnabled());
}
