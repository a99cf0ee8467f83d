// The flashing procedure against the simulated bootloader: its wire sequence, its console, its
// boxes and results, and each way it stops.
#include <gtest/gtest.h>

#include <QStatusBar>
#include <regex>

#include "drive_link.h"
#include "firmware_image.h"
#include "flash_procedure.h"
#include "flasher_fixture.h"
#include "flasher_window.h"
#include "message_box_watcher.h"
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

void addWait(std::vector<int>& commands, int cycles) {
    commands.insert(commands.end(), {1, 1});
    for (int i = 0; i < cycles; ++i) {
        commands.insert(commands.end(), {1, 25, 1, 1, 1, 1});
    }
}

std::vector<int> expectedFlash(int packets, int eraseCycles, int programCycles) {
    std::vector<int> commands = {25, 1, 1, 5, 9};
    addWait(commands, eraseCycles);
    commands.insert(commands.end(), {1, 1, 1, 1});
    for (int k = 0; k < packets; ++k) {
        for (int j = 0; j < 72; ++j) {
            commands.insert(commands.end(), {19, 1, 1});
        }
        commands.push_back(17);
        addWait(commands, programCycles);
        commands.insert(commands.end(), {1, 1});
    }
    commands.insert(commands.end(), {1, 1, 1, 1, 1, 1, 22, 1, 1});
    return commands;
}

// The answer to the first fault-bit request: clean bits, broken CRC.
AnswerHook corruptsFirstFaultRequest() {
    auto first = std::make_shared<bool>(true);
    return [first](uint8_t command, uint16_t, Answer& answer) {
        if (command == 25 && *first) {
            answer = corrupted(answer);
            *first = false;
        }
    };
}

class FlashProcedure : public FlasherTest {
protected:
    void SetUp() override {
        FlasherTest::SetUp();
        QObject::connect(window.ui.statusbar, &QStatusBar::messageChanged,
                         [this](const QString& text) {
                             if (!text.isEmpty()) {
                                 statusTexts << text;
                             }
                         });
    }
    struct Run {
        int result = 0;
        Console console;
        std::vector<int> commands;  // what the drive received during the step
        QStringList boxes;          // what the step showed, answered by a watcher
    };
    // Opens the link unless it is open and runs one step of the procedure, the whole flash
    // unless told otherwise.
    Run run(const drive_sim::SimulatedAdapter& adapter,
            int (*step)(LinkErrorWindow&) = flashImage) {
        if (!linkState.linkOpen) {
            EXPECT_TRUE(openLink(false));
        }
        MessageBoxWatcher watcher;
        const size_t start = adapter.frameLog().size();
        Run outcome;
        outcome.console = captureConsole([&] { outcome.result = step(window); });
        outcome.commands = commandsFrom(adapter, start);
        outcome.boxes = describeBoxes(watcher);
        return outcome;
    }
    Morvane window;
    QStringList statusTexts;
};
}  // namespace

TEST_F(FlashProcedure, TwoPacketImageGoesOutInOrderAndVerifies) {
    BootloaderBench bench = installBootloader(quickBootloader());
    std::vector<uint16_t> words = useImage(2, 0x4321);
    const Run flash = run(bench.adapter);
    EXPECT_EQ(flash.result, 0);

    EXPECT_EQ(flash.commands, expectedFlash(2, 2, 1));
    std::vector<uint16_t> dataWords;
    const size_t start = bench.adapter.frameLog().size() - flash.commands.size();
    for (size_t i = start; i < bench.adapter.frameLog().size(); ++i) {
        const drive_sim::FrameRecord& frame = bench.adapter.frameLog()[i];
        EXPECT_TRUE(frame.crcOk);
        if (frame.command == 19) {
            dataWords.push_back(frame.value);
        } else if (frame.command == 5) {
            EXPECT_EQ(frame.value, 0x4321);
        } else if (frame.command == 9) {
            EXPECT_EQ(frame.value, 0xC308);
        } else {
            EXPECT_EQ(frame.value, 0) << "command " << int(frame.command);
        }
    }
    EXPECT_EQ(dataWords, words);
    EXPECT_EQ(withoutTransactions(flash.console.out),
              "SPI init\n\nErasing flash\nIdle\n\nIdleOver\n\nWriting to flash\n"
              "Packet 1/2      \rIdle\n\nIdleOver\n\n"
              "Packet 2/2      \rIdle\n\nIdleOver\n\n\nDone. Verifying\n");
    EXPECT_EQ(flash.console.err, "");
    EXPECT_EQ(flash.boxes, QStringList{kSuccessBox});
    EXPECT_EQ(statusTexts, QStringList({"Writing packet 1/2. Please wait!",
                                        "Writing packet 2/2. Please wait!", "Flashing done"}));
    EXPECT_EQ(window.ui.statusbar->currentMessage(), "Flashing done");
    EXPECT_EQ(bench.bootloader.setupWord(), 0x4321);
    EXPECT_TRUE(std::equal(words.begin(), words.end(), bench.bootloader.flash().begin()));
    EXPECT_EQ(bench.bootloader.packetsProgrammed(), 2);
}

TEST_F(FlashProcedure, EveryPacketCostsItsWordsProgramWaitAndCheck) {
    BootloaderBench bench = installBootloader();  // the default erase and programming times
    useImage(3);
    const Run flash = run(bench.adapter);
    ASSERT_EQ(flash.result, 0);
    // Erase busy for 40 frames: eight polling cycles; a packet busy for 4: two.
    EXPECT_EQ(flash.commands, expectedFlash(3, 8, 2));
    EXPECT_EQ(flash.boxes, QStringList{kSuccessBox});
}

TEST_F(FlashProcedure, ImageWithoutPacketsErasesAndVerifies) {
    BootloaderBench bench = installBootloader(quickBootloader());
    useImage(0);
    const Run flash = run(bench.adapter);
    EXPECT_EQ(flash.result, 0);
    EXPECT_EQ(flash.commands, expectedFlash(0, 2, 0));
    EXPECT_EQ(withoutTransactions(flash.console.out),
              "SPI init\n\nErasing flash\nIdle\n\nIdleOver\n\nWriting to flash\n\nDone. "
              "Verifying\n");
    EXPECT_EQ(flash.boxes, QStringList{kSuccessBox});
    EXPECT_EQ(statusTexts, QStringList{"Flashing done"});
}

TEST_F(FlashProcedure, ErrorBeforeThePacketsSurfacesAtTheFirstDataWord) {
    BootloaderBench bench = installHookedBootloader(corruptsFirstFaultRequest(), quickBootloader());
    useImage(2);
    const Run flash = run(bench.adapter);
    EXPECT_EQ(flash.result, -1);
    std::vector<int> expected = {25, 1, 1, 5, 9};
    addWait(expected, 2);
    expected.insert(expected.end(), {1, 1, 1, 1, 19, 1, 1});
    EXPECT_EQ(flash.commands, expected);
    EXPECT_EQ(flash.boxes, QStringList{kLostBox});
    EXPECT_EQ(window.ui.statusbar->currentMessage(), "Connection lost, reconnect.");
}

TEST_F(FlashProcedure, DriveRunningItsFirmwareIsNotABootloader) {
    FerroxBench bench = installFerroxDrive();
    useImage(1);
    const Run flash = run(bench.adapter);
    EXPECT_EQ(flash.result, -1);
    EXPECT_EQ(flash.commands, std::vector<int>({25, 1, 1}));
    // The answer's value field is not zero, yet it is not taken for fault bits.
    EXPECT_EQ(flash.boxes,
              QStringList{"warning|Error|Drive not in bootloader mode. Restart drive power and "
                          "try again."});
    EXPECT_EQ(withoutTransactions(flash.console.out),
              "SPI init\n\nDrive not in bootloader mode? Check CLR jumper and reset drive. Hit "
              "enter to exit\n");
    // The raw answer fails its CRC on purpose; the trace says so.
    EXPECT_NE(flash.console.out.find("001,00000 CRC error  00FFFFFF\n"), std::string::npos);
}

TEST_F(FlashProcedure, ActiveFaultBitsStopBeforeTheErase) {
    BootloaderSettings settings;
    settings.faultBits = 0x0200;
    BootloaderBench bench = installBootloader(settings);
    useImage(1);
    const Run flash = run(bench.adapter);
    EXPECT_EQ(flash.result, -1);
    EXPECT_EQ(flash.commands, std::vector<int>({25, 1, 1}));
    EXPECT_EQ(flash.boxes,
              QStringList{"warning|Error|Fault bits active. Restart drive power and try again."});
    EXPECT_EQ(withoutTransactions(flash.console.out),
              "SPI init\n\nBL fault bits active. Reset drive and try again. Hit enter to exit\n");
    EXPECT_EQ(bench.bootloader.eraseCount(), 0);
}

TEST_F(FlashProcedure, CrcErrorOnADataWordStopsBeforeTheProgramCommand) {
    int dataWords = 0;
    BootloaderBench bench = installHookedBootloader(
        [&dataWords](uint8_t command, uint16_t, Answer& answer) {
            if (command == 19 && ++dataWords == 72 + 5) {
                answer = corrupted(answer);
            }
        },
        quickBootloader());
    useImage(3);
    const Run flash = run(bench.adapter);
    EXPECT_EQ(flash.result, -1);
    std::vector<int> sent = flash.commands;
    EXPECT_EQ(std::count(sent.begin(), sent.end(), 19), 72 + 5);
    EXPECT_EQ(std::count(sent.begin(), sent.end(), 17), 1);
    ASSERT_GE(sent.size(), 3u);
    EXPECT_EQ(std::vector<int>(sent.end() - 3, sent.end()), std::vector<int>({19, 1, 1}));
    EXPECT_EQ(flash.boxes, QStringList{kLostBox});
    EXPECT_EQ(statusTexts.mid(0, 2), QStringList({"Writing packet 1/3. Please wait!",
                                                  "Writing packet 2/3. Please wait!"}));
    EXPECT_EQ(bench.bootloader.packetsProgrammed(), 1);
}

TEST_F(FlashProcedure, OddVerdictIsSuccessAndEvenIsFailure) {
    struct Case {
        uint16_t verdict;
        QString box;
    };
    for (const Case& c :
         {Case{0x0001, kSuccessBox}, Case{0x0003, kSuccessBox}, Case{0xFFFF, kSuccessBox},
          Case{0x0000, kFailedBox}, Case{0x0002, kFailedBox}, Case{0xFFFE, kFailedBox}}) {
        BootloaderBench bench = installHookedBootloader(
            [&c](uint8_t command, uint16_t, Answer& answer) {
                if (command == 22) {
                    answer.raw = drive_sim::framedReply(1, c.verdict);
                }
            },
            quickBootloader());
        useImage(1);
        const Run flash = run(bench.adapter);
        EXPECT_EQ(flash.result, 0) << c.verdict;
        EXPECT_EQ(flash.boxes, QStringList{c.box}) << c.verdict;
        EXPECT_EQ(window.ui.statusbar->currentMessage(), "Flashing done");
    }
}

TEST_F(FlashProcedure, SingleAnswersThatDecideTheVerdict) {
    const struct {
        const char* name;
        AnswerHook hook;
        size_t packets;
        QString box;
    } cases[] = {
        // Without packets there is no data word whose link check would notice the error.
        {"bad CRC before an empty image", corruptsFirstFaultRequest(), 0, kSuccessBox},
        {"zero fault word, odd status",
         [](uint8_t command, uint16_t, Answer& answer) {
             if (command == 25) {
                 answer.raw = drive_sim::framedReply(0x5A, 0);
             }
         },
         1, kSuccessBox},
        // A bit error must not turn a verdict into a success.
        {"odd verdict failing its CRC",
         [](uint8_t command, uint16_t, Answer& answer) {
             if (command == 22) {
                 answer = corrupted(Answer{drive_sim::framedReply(1, 0x0001), false});
             }
         },
         1, kFailedBox},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        BootloaderBench bench = installHookedBootloader(c.hook, quickBootloader());
        useImage(c.packets);
        const Run flash = run(bench.adapter);
        EXPECT_EQ(flash.result, 0);
        EXPECT_EQ(flash.boxes, QStringList{c.box});
    }
}

TEST_F(FlashProcedure, FlashThatWasNotErasedFailsTheVerification) {
    // Programming can only clear bits: over the old firmware the words come out wrong.
    BootloaderBench bench = installBootloader(quickBootloader());
    std::vector<uint16_t> words = useImage(1);
    ASSERT_TRUE(openLink(false));
    bool error = false;
    for (uint16_t word : words) {
        transact(19, word, error);
    }
    transact(17, 0, error);
    ASSERT_EQ(run(bench.adapter, waitForIdle).result, 0);
    for (int i = 0; i < 2; ++i) {
        transact(1, 0, error);
    }
    transact(22, 0, error);
    transact(1, 0, error);
    EXPECT_EQ(transact(1, 0, error) & 1, 0);
    EXPECT_FALSE(error);
    EXPECT_FALSE(std::equal(words.begin(), words.end(), bench.bootloader.flash().begin()));
}

TEST_F(FlashProcedure, WaitThatIsIdleAtOnceTakesTwoFrames) {
    BootloaderBench bench = installBootloader();
    const Run flash = run(bench.adapter, waitForIdle);
    EXPECT_EQ(flash.result, 0);
    EXPECT_EQ(flash.commands, std::vector<int>({1, 1}));
    EXPECT_EQ(withoutTransactions(flash.console.out), "Idle\n\nIdleOver\n\n");
    EXPECT_TRUE(flash.boxes.isEmpty());
}

TEST_F(FlashProcedure, StatusZeroAfterBusyIsAnUnexpectedState) {
    BootloaderSettings settings = quickBootloader();
    settings.unexpectedStatusAfterBusy = true;
    int faultRequests = 0;
    BootloaderBench bench = installHookedBootloader(
        [&faultRequests](uint8_t command, uint16_t, Answer& answer) {
            // Clean at the start, a fault word while the erase runs.
            if (command == 25 && ++faultRequests > 1) {
                answer.raw = drive_sim::framedReply(uint8_t(answer.raw >> 24), 0x0040);
            }
        },
        settings);
    useImage(2);
    const Run flash = run(bench.adapter);
    EXPECT_EQ(flash.result, -1);
    std::vector<int> expected = {25, 1, 1, 5, 9};
    addWait(expected, 2);
    EXPECT_EQ(flash.commands, expected);
    EXPECT_EQ(flash.boxes, QStringList{kUnexpectedBox});
    EXPECT_EQ(flash.console.err, "Error while flashing, status 00, faultbits 0040\n");
    EXPECT_EQ(withoutTransactions(flash.console.out), "SPI init\n\nErasing flash\nIdle\n\n");
}

TEST_F(FlashProcedure, UnexpectedStateWithoutPollingShowsNoFaultBits) {
    BootloaderSettings settings = quickBootloader();
    settings.programBusyFrames = 0;
    settings.unexpectedStatusAfterBusy = true;
    BootloaderBench bench = installBootloader(settings);
    useImage(1);
    // The erase ends in status 0 too, seen after polling; the wait below sees it at its first
    // look.
    const Run flash = run(bench.adapter);
    EXPECT_EQ(flash.result, -1);
    EXPECT_EQ(flash.console.err, "Error while flashing, status 00, faultbits 0000\n");
    const Run wait = run(bench.adapter, waitForIdle);
    EXPECT_EQ(wait.result, -2);
    EXPECT_EQ(wait.commands, std::vector<int>({1, 1}));
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
    const std::string err = flash.console.err;
    EXPECT_TRUE(std::regex_match(err, std::regex("Error while flashing, timed out waiting for "
                                                 "idle after [0-9]+ ms, status 30, faultbits "
                                                 "0000\n")))
        << err;
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
    useImage(1);
    EXPECT_EQ(run(bench.adapter, waitForIdle).result, 0) << "idle before the erase";
    bool error = false;
    transact(9, 0xC308, error);
    const Run wait = run(bench.adapter, waitForIdle);
    EXPECT_EQ(wait.result, -1);
    EXPECT_EQ(wait.boxes, QStringList{kLostBox});
    EXPECT_FALSE(window.ui.openfirmware->isEnabled());
}
