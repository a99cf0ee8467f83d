// What only the flasher's real window shows: its form, the buttons that let the user go forward
// only, the boxes with the window as parent, events let through once per packet, and closing.
#include <gtest/gtest.h>

#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "bootloader.h"
#include "drive_link.h"
#include "flasher_window.h"
#include "message_box_watcher.h"
#include "output_capture.h"
#include "scripted_file_prompt.h"
#include "sim_fixture.h"
#include "vlf_writer.h"

using namespace drive_link;

namespace {
QString buttonStates(const Morvane& window) {
    return QString(window.ui.connectButton->isEnabled() ? "C" : "-") +
           (window.ui.openfirmware->isEnabled() ? "O" : "-") +
           (window.ui.startflash->isEnabled() ? "F" : "-");
}

QImage logoOf(const Morvane& window) {
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    return window.ui.logo->pixmap().toImage();
#else
    return window.ui.logo->pixmap(Qt::ReturnByValue).toImage();
#endif
}
}  // namespace

TEST(FlasherWindow, FormAsTheUserFirstSeesIt) {
    Q_INIT_RESOURCE(tressel);
    Morvane window;
    EXPECT_EQ(window.windowTitle(), "Tressel 2.0");
    EXPECT_EQ(QImage(":/tressel.ico").size(), QSize(32, 32));
    EXPECT_EQ(logoOf(window).width(), 128);
    EXPECT_EQ(qAlpha(logoOf(window).pixel(0, 0)), 0) << "a transparent logo";
    EXPECT_EQ(buttonStates(window), "C--");
}

// Connect, a refused file, an image, a flash with a close request while it runs, and a lost
// link: the buttons after each step, and every box parented to the window.
TEST(FlasherWindow, ButtonsLetTheUserOnlyGoForward) {
    auto bootloader = drive_sim::makeBootloader(drive_sim::BootloaderSettings{});
    drive_sim::SimulatedAdapter& adapter = installSimulatedDrive(std::move(bootloader));
    QTemporaryDir dir;
    vlf::ImageLayout image;
    image.words = vlf::patternPackets(3, 7);
    std::string error;
    ASSERT_TRUE(vlf::writeImage(dir.filePath("image.vlf").toStdString(), image, error));
    Morvane window;
    ScriptedFilePrompt prompt;
    window.askFileName = prompt.prompt();
    window.show();
    MessageBoxWatcher watcher;
    auto quiet = std::make_unique<OutputCapture>();
    QStringList states;
    auto click = [&](QWidget* button) {
        QTest::mouseClick(button, Qt::LeftButton);
        states << buttonStates(window);
    };

    click(window.ui.connectButton);
    prompt.answer({dir.filePath("missing.vlf"), dir.filePath("image.vlf")});
    click(window.ui.openfirmware);
    click(window.ui.openfirmware);
    EXPECT_EQ(prompt.asked().front().filter, "VL firmware files (*.vlf)");
    QString duringFlash;
    QTimer::singleShot(0, [&] { duringFlash = buttonStates(window); });  // runs at a packet
    click(window.ui.startflash);
    EXPECT_EQ(duringFlash, "---");
    click(window.ui.connectButton);  // the image stays loaded: Flash is offered again
    adapter.faults().stopAnsweringAfterFrames = 0;
    click(window.ui.startflash);
    EXPECT_TRUE(window.close());
    const std::string out = quiet->out();
    quiet.reset();
    EXPECT_EQ(out.substr(out.size() - 11), "USB closed\n");
    EXPECT_EQ(states, (QStringList{"CO-", "CO-", "C-F", "C--", "C-F", "C--"}));
    EXPECT_EQ(window.ui.statusbar->currentMessage(), "Connection lost, reconnect.");
    QStringList titles;
    for (const SeenBox& box : watcher.boxes()) {
        EXPECT_EQ(box.parent, &window);
        titles << box.title;
    }
    EXPECT_TRUE(titles.join(" ").startsWith("Connecting Error Results Connecting "))
        << titles.join(" ").toStdString();
    EXPECT_EQ(titles.last(), "CRC error");
}
