// The flasher's main window: Connect finds a supported bootloader, Open firmware file loads one
// image, Flash firmware writes it. The buttons only let the user go forward in that order.
#pragma once

#include <QMainWindow>

#include "drive_link.h"
#include "file_prompt.h"
#include "firmware_image.h"
#include "flasher_front_end.h"
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

    Ui::MainWindow ui;
    // The connection to the drive: opened by Connect, closed with the window.
    drive_link::Link link;
    flasher::FirmwareImage
        image;  // the image accepted by Open firmware file; every later flash writes it
    widgets::FilePrompt askFileName = widgets::askWithFileDialog;  // for the firmware image

private slots:
    void on_openfirmware_clicked();
    void on_connectButton_clicked();
    void on_startflash_clicked();
    void closeEvent(QCloseEvent* event) override;
};
