#include "window_fixture.h"

#include <QStatusBar>
#include <QtTest/QTest>

#include "vlf_writer.h"

QString buttonStates(const Morvane& window) {
    QString states;
    states += window.ui.connectButton->isEnabled() ? "C" : "-";
    states += window.ui.openfirmware->isEnabled() ? "O" : "-";
    states += window.ui.startflash->isEnabled() ? "F" : "-";
    return states;
}

void FlasherWindowTest::SetUp() {
    FlasherTest::SetUp();
    openNewWindow();
    watcher = std::make_unique<MessageBoxWatcher>();
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

void FlasherWindowTest::TearDown() {
    watcher.reset();
    captureConsole([this] { window.reset(); });
    FlasherTest::TearDown();
}

void FlasherWindowTest::click(QWidget* button) {
    QTest::mouseClick(button, Qt::LeftButton);
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
