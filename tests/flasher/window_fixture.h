// A shown flasher window with the watcher that answers its boxes, and the clicks of a session.
#pragma once

#include <QStringList>
#include <memory>

#include "flasher_fixture.h"
#include "flasher_window.h"
#include "message_box_watcher.h"
#include "scripted_file_prompt.h"

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
    void clickFlash() { click(window->ui.startflash); }
    // Opens `file` through the Open button, the file prompt answering (an empty name cancels).
    void openFile(const QString& file);
    // Writes an image of `packets` pattern packets and returns its words.
    std::vector<uint16_t> writeImage(const std::string& file, size_t packets);

    std::unique_ptr<Morvane> window;
    std::unique_ptr<MessageBoxWatcher> watcher;
    ScriptedFilePrompt filePrompt;
    QStringList statusTexts;  // every text the status bar showed, in order
};
