// The window as the front end of the flasher's workflows: its buttons, boxes and status bar.
#include "flasher_window.h"

#include <QCloseEvent>

#include "drive_link.h"
#include "flasher_workflows.h"

using flasher::connectBootloader;
using flasher::flashFirmware;
using flasher::OpenedImage;
using flasher::openFirmwareFile;
using widgets::FileQuestion;
using widgets::WindowFrontEnd;

Morvane::Morvane(drive_link::LinkSettings linkSettings)
    : WindowFrontEnd(this), link(drive_link::LinkDialect::Bootloader, linkSettings) {
    ui.setupUi(this);
    setConnected(false);
}

void Morvane::setConnected(bool connected) {
    if (!connected) {
        ui.openfirmware->setEnabled(false);
        ui.startflash->setEnabled(false);
    } else if (image.words) {
        ui.startflash->setEnabled(true);
    } else {
        ui.openfirmware->setEnabled(true);
    }
}

QString Morvane::askFirmwareFile() {
    FileQuestion question;
    question.caption = tr("Open File");
    question.filter = tr("VL firmware files (*.vlf)");
    return askFileName(this, question);
}

void Morvane::imageAccepted() {
    ui.startflash->setEnabled(true);
    ui.openfirmware->setEnabled(false);
}

void Morvane::setFlashing(bool flashing) {
    if (flashing) {
        ui.startflash->setEnabled(false);
    }
    ui.connectButton->setEnabled(!flashing);
}

void Morvane::packetStarted(int, int) {
    QCoreApplication::processEvents();
}

void Morvane::on_connectButton_clicked() {
    connectBootloader(link, *this);
}

void Morvane::on_openfirmware_clicked() {
    OpenedImage opened = openFirmwareFile(*this);
    if (opened.outcome.succeeded()) {
        image = std::move(opened.image);
    }
}

void Morvane::on_startflash_clicked() {
    flashFirmware(link, *this, image);
}

void Morvane::closeEvent(QCloseEvent* event) {
    link.close();
    event->accept();
}
