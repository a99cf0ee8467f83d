// The flasher's main window: Connect finds a supported bootloader, Open firmware file loads one
// image, Flash firmware writes it. The buttons only let the user go forward in that order.
#pragma once

#include <QMainWindow>
#include <functional>

#include "drive_link.h"
#include "file_prompt.h"
#include "firmware_image.h"
#include "flasher_front_end.h"
#include "run_progress.h"
#include "sequence_runner.h"
#include "ui_flasher_window.h"
#include "window_front_end.h"

// The flasher's window class keeps the name Morvane on purpose: the same class name as the
// configuration program's main window, so its meta-object answers to "Morvane" as well. It
// stays at global scope for that, outside the flasher namespace.
class Morvane : public QMainWindow, public widgets::WindowFrontEnd<flasher::FlasherFrontEnd> {
    Q_OBJECT

public:
    explicit Morvane(drive_link::LinkSettings linkSettings = {});

    // True: offer the next step (Flash when an image is loaded, else Open). False: neither.
    void setConnected(bool connected) override;
    QString askFirmwareFile() override;
    void imageAccepted() override;
    void setFlashing(bool flashing) override;
    void packetStarted(int packet, int packetCount) override;
    void verifyStarted(int packetCount) override;
    bool stopBeforeNextPacket() override;

    Ui::MainWindow ui;
    // The connection to the drive: opened by Connect, closed with the window.
    drive_link::Link link;
    flasher::FirmwareImage
        image;  // the image accepted by Open firmware file; every later flash writes it
    widgets::FilePrompt askFileName = widgets::askWithFileDialog;  // for the firmware image
    // The running sequence's progress bar and Stop button, in the status bar.
    widgets::RunProgress* runProgress = nullptr;

private:
    enum class Sequence { Connect, Flash };
    void runSequence(Sequence kind, const std::function<void(flasher::FlasherFrontEnd&)>& sequence);
    // Stop: Connect ends at the next frame; a flash, once the user agreed, before the next packet.
    // False when the user chose to let the flash go on.
    bool stopSequence();
    widgets::SequenceRunner runner;
    Sequence running = Sequence::Connect;
    bool flashStopAgreed = false;
    bool closeWhenDone = false;

private slots:
    void on_openfirmware_clicked();
    void on_connectButton_clicked();
    void on_startflash_clicked();
    void closeEvent(QCloseEvent* event) override;
};
