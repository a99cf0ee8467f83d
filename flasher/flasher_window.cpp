// The window itself, its two states, opening the image file, flashing and closing. Connect
// lives in connect_workflow.cpp.
#include "flasher_window.h"

#include <QCloseEvent>
#include <QFile>
#include <QMessageBox>

#include "drive_link.h"
#include "firmware_image.h"
#include "flash_procedure.h"

Morvane::Morvane() {
    ui.setupUi(this);
    setConnected(false);
    imageLoaded = false;
}

void Morvane::setConnected(bool connected) {
    if (!connected) {
        ui.openfirmware->setEnabled(false);
        ui.startflash->setEnabled(false);
    } else if (imageLoaded) {
        ui.startflash->setEnabled(true);
    } else {
        ui.openfirmware->setEnabled(true);
    }
}

QWidget* Morvane::linkErrorParent() {
    return this;
}

QStatusBar* Morvane::linkErrorStatusBar() {
    return ui.statusbar;
}

void Morvane::on_openfirmware_clicked() {
    FileQuestion question;
    question.caption = tr("Open File");
    question.filter = tr("VL firmware files (*.vlf)");
    const QString name = askFileName(this, question);
    if (name.isEmpty()) {
        return;
    }
    ui.statusbar->showMessage(name + tr(" selected"));
    // The file system's own encoding, so that any name the dialog can show can also be opened.
    if (loadImage(QFile::encodeName(name).constData()) != kImageLoaded) {
        QMessageBox::warning(this, "Error", tr("Unable to load file or wrong type"),
                             QMessageBox::Ok);
        return;
    }
    // Loaded, but nothing to flash: the user may choose another file.
    if (!imageCanBeFlashed(*this)) {
        return;
    }
    ui.startflash->setEnabled(true);
    ui.openfirmware->setEnabled(false);
    imageLoaded = true;
}

void Morvane::on_startflash_clicked() {
    ui.statusbar->showMessage(tr("Flashing firmware..."), 3000);
    ui.startflash->setEnabled(false);
    ui.connectButton->setEnabled(false);
    flashImage(*this);  // shows every outcome itself
    // Whatever the procedure found, see whether the drive still answers.
    reportLinkError(*this, false);
    ui.connectButton->setEnabled(true);
}

void Morvane::closeEvent(QCloseEvent* event) {
    closeLink();
    event->accept();
}
