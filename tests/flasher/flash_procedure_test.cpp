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

TEST_F(FlashProcedure, ImagesGoOutInOrderAndVerify) {
    struct Case {
        int packets;
        BootloaderSettings settings;
        int eraseCycles;  // erase busy for 40 frames by default: eight cycles; 7 frames: two
        int programCycles;
        std::string console;
        QStringList status;
    };
    const Case cases[] = {
        {2,
         quickBootloader(),
         2,
         1,
         "SPI init\n\nErasing flash\nIdle\n\nIdleOver\n\nWriting to flash\n"
         "Packet 1/2      \rIdle\n\nIdleOver\n\nPacket 2/2      \rIdle\n\nIdleOver\n\n"
         "\nDone. Verifying\n",
         {"Writing packet 1/2. Please wait!", "Writing packet 2/2. Please wait!", "Flashing done"}},
        {3,
         BootloaderSettings{},
         8,
         2,
         "SPI init\n\nErasing flash\nIdle\n\nIdleOver\n\nWriting to flash\n"
         "Packet 1/3      \rIdle\n\nIdleOver\n\nPacket 2/3      \rIdle\n\nIdleOver\n\n"
         "Packet 3/3      \rIdle\n\nIdleOver\n\n\nDone. Verifying\n",
         {"Writing packet 1/3. Please wait!", "Writing packet 2/3. Please wait!",
          "Writing packet 3/3. Please wait!", "Flashing done"}},
        {0,
         quickBootloader(),
         2,
         0,
         "SPI init\n\nErasing flash\nIdle\n\nIdleOver\n\nWriting to flash\n\nDone. Verifying\n",
         {"Flashing done"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.packets);
        window.ui.statusbar->clearMessage();  // the last case's "Flashing done" is shown
        statusTexts.clear();
        BootloaderBench bench = installBootloader(c.settings);
        std::vector<uint16_t> words = useImage(size_t(c.packets), 0x4321);
        const Run flash = run(bench.adapter);
        EXPECT_EQ(flash.result, 0);
        EXPECT_EQ(flash.commands, expectedFlash(c.packets, c.eraseCycles, c.programCycles));
        std::vector<uint16_t> dataWords;
        const auto& log = bench.adapter.frameLog();
        for (size_t i = log.size() - flash.commands.size(); i < log.size(); ++i) {
            EXPECT_TRUE(log[i].crcOk);
            const uint16_t value = log[i].command == 5 ? 0x4321 : log[i].command == 9 ? 0xC308 : 0;
            if (log[i].command == 19) {
                dataWords.push_back(log[i].value);
            } else {
                EXPECT_EQ(log[i].value, value) << "command " << int(log[i].command);
            }
        }
        EXPECT_EQ(dataWords, words);
        EXPECT_EQ(withoutTransactions(flash.console.out), c.console);
        EXPECT_EQ(flash.console.err, "");
        EXPECT_EQ(flash.boxes, QStringList{kSuccessBox});
        EXPECT_EQ(statusTexts, c.status);
        EXPECT_EQ(bench.bootloader.setupWord(), 0x4321);
        EXPECT_TRUE(std::equal(words.begin(), words.end(), bench.bootloader.flash().begin()));
        EXPECT_EQ(bench.bootloader.packetsProgrammed(), c.packets);
    }
}

// The frames from the fault-bit answer to the end of the erase are not checked on the spot: a
// broken one surfaces at the first data word, and an image without packets never sees it.
TEST_F(FlashProcedure, ErrorBeforeThePacketsSurfacesAtTheFirstDataWordOnly) {
    for (int packets : {2, 0}) {
        SCOPED_TRACE(packets);
        bool first = true;
        BootloaderBench bench = installBootloader(
            quickBootloader(), {}, [&first](uint8_t command, uint16_t, Answer& answer) {
                if (command == 25 && first) {
                    answer = corrupted(answer);
                    first = false;
                }
            });
        useImage(size_t(packets));
        const Run flash = run(bench.adapter);
        std::vector<int> expected = untilErased(2);
        expected.insert(expected.end(), {1, 1, 1, 1, 19, 1, 1});
        if (packets > 0) {
            EXPECT_EQ(flash.result, -1);
            EXPECT_EQ(flash.commands, expected);
            EXPECT_EQ(flash.boxes, QStringList{kLostBox});
            EXPECT_EQ(window.ui.statusbar->currentMessage(), "Connection lost, reconnect.");
        } else {
            EXPECT_EQ(flash.result, 0);
            EXPECT_EQ(flash.boxes, QStringList{kSuccessBox});
        }
    }
}

TEST_F(FlashProcedure, ChecksBeforeTheErase) {
    const auto ferrox = [] { return &installFerroxDrive().adapter; };
    const auto faulted = [] {
        BootloaderSettings settings;
        settings.faultBits = 0x0200;
        return &installBootloader(settings).adapter;
    };
    // A zero value field passes, whatever the status byte holds.
    const auto oddStatus = [] {
        return &installBootloader(quickBootloader(), {}, [](uint8_t command, uint16_t, Answer& a) {
                    if (command == 25) {
                        a.raw = drive_sim::framedReply(0x5A, 0);
                    }
                }).adapter;
    };
    struct Case {
        const char* what;
        std::function<drive_sim::SimulatedAdapter*()> install;
        int result;
        size_t frames;
        QString box;
        std::string console;
    };
    const Case cases[] = {
        // The answer 0x00FFFFFF fails its CRC and has a non-zero value field: not fault bits.
        {"not a bootloader", ferrox, -1, 3,
         "warning|Error|Drive not in bootloader mode. Restart drive power and try again.",
         "SPI init\n\nDrive not in bootloader mode? Check CLR jumper and reset drive. Hit enter "
         "to exit\n"},
        {"fault bits", faulted, -1, 3,
         "warning|Error|Fault bits active. Restart drive power and try again.",
         "SPI init\n\nBL fault bits active. Reset drive and try again. Hit enter to exit\n"},
        {"zero fault word", oddStatus, 0, expectedFlash(1, 2, 1).size(), kSuccessBox,
         "SPI init\n\nErasing flash\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        drive_sim::SimulatedAdapter* adapter = c.install();
        useImage(1);
        const Run flash = run(*adapter);
        EXPECT_EQ(flash.result, c.result);
        ASSERT_EQ(flash.commands.size(), c.frames);
        EXPECT_EQ(std::vector<int>(flash.commands.begin(), flash.commands.begin() + 3),
                  std::vector<int>({25, 1, 1}));
        EXPECT_EQ(flash.boxes, QStringList{c.box});
        EXPECT_EQ(withoutTransactions(flash.console.out).substr(0, c.console.size()), c.console);
    }
}

TEST_F(FlashProcedure, CrcErrorOnADataWordStopsBeforeTheProgramCommand) {
    int dataWords = 0;
    BootloaderBench bench =
        installBootloader(quickBootloader(), {}, [&](uint8_t command, uint16_t, Answer& answer) {
            if (command == 19 && ++dataWords == 72 + 5) {
                answer = corrupted(answer);
            }
        });
    useImage(3);
    const Run flash = run(bench.adapter);
    EXPECT_EQ(flash.result, -1);
    std::vector<int> expected = expectedFlash(1, 2, 1);
    expected.resize(expected.size() - 9);  // no verification
    for (int j = 0; j < 5; ++j) {
        expected.insert(expected.end(), {19, 1, 1});
    }
    EXPECT_EQ(flash.commands, expected);
    EXPECT_EQ(flash.boxes, QStringList{kLostBox});
    EXPECT_EQ(statusTexts.mid(0, 2), QStringList({"Writing packet 1/3. Please wait!",
                                                  "Writing packet 2/3. Please wait!"}));
    EXPECT_EQ(bench.bootloader.packetsProgrammed(), 1);
}

// Only bit 0 of the verdict counts; a verdict whose CRC fails is no success.
TEST_F(FlashProcedure, OddVerdictIsSuccessAndEvenOrBrokenIsFailure) {
    const auto verdict = [](uint16_t value) { return drive_sim::framedReply(1, value); };
    struct Case {
        uint32_t raw;
        QString box;
    } const cases[] = {{verdict(0x0001), kSuccessBox},
                       {verdict(0x0003), kSuccessBox},
                       {verdict(0xFFFF), kSuccessBox},
                       {verdict(0x0000), kFailedBox},
                       {verdict(0x0002), kFailedBox},
                       {verdict(0xFFFE), kFailedBox},
                       {corrupted(Answer{verdict(0x0001), false}).raw, kFailedBox}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.raw);
        BootloaderBench bench =
            installBootloader(quickBootloader(), {}, [&c](uint8_t command, uint16_t, Answer& a) {
                if (command == 22) {
                    a.raw = c.raw;
                }
            });
        useImage(1);
        const Run flash = run(bench.adapter);
        EXPECT_EQ(flash.result, 0);
        EXPECT_EQ(flash.boxes, QStringList{c.box});
        EXPECT_EQ(window.ui.statusbar->currentMessage(), "Flashing done");
    }
}

TEST_F(FlashProcedure, WaitThatIsIdleAtOnceTakesTwoFrames) {
    BootloaderBench bench = installBootloader();
    const Run wait = run(bench.adapter, waitForIdle);
    EXPECT_EQ(wait.result, 0);
    EXPECT_EQ(wait.commands, std::vector<int>({1, 1}));
    EXPECT_EQ(withoutTransactions(wait.console.out), "Idle\n\nIdleOver\n\n");
    EXPECT_TRUE(wait.boxes.isEmpty());
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
    EXPECT_FALSE(window.ui.openfirmware->isEnabled());
}
