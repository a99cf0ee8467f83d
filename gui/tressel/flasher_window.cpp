// The window as the front end of the flasher's workflows: its buttons, boxes and status bar.
#include "flasher_window.h"

#include <QCloseEvent>
#include <QMessageBox>

#include "drive_link.h"
#include "flasher_on_gui_thread.h"
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
    runProgress = new widgets::RunProgress(this);
    ui.statusbar->addPermanentWidget(runProgress);
    connect(runProgress, &widgets::RunProgress::stopClicked, this, [this] { stopSequence(); });
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

void Morvane::packetStarted(int packet, int packetCount) {
    // The packets, then the verification as the last step.
    runProgress->show(packet, packetCount + 1);
}

void Morvane::verifyStarted(int packetCount) {
    runProgress->show(packetCount, packetCount + 1);
    runProgress->disableStop();  // the image is written: nothing is left to stop
}

bool Morvane::stopBeforeNextPacket() {
    return flashStopAgreed;
}

void Morvane::runSequence(Sequence kind,
                          const std::function<void(flasher::FlasherFrontEnd&)>& sequence) {
    if (runner.running()) {
        return;
    }
    running = kind;
    flashStopAgreed = false;
    // The workflow offers the next step itself (setConnected, setFlashing); until it does, none.
    ui.connectButton->setEnabled(false);
    ui.openfirmware->setEnabled(false);
    ui.startflash->setEnabled(false);
    runProgress->begin(true);
    flasher::FlasherOnGuiThread onGui(this, *this, runner.stopping());
    runner.run([&] { sequence(onGui); });
    runProgress->end();
    ui.connectButton->setEnabled(true);
    if (runner.stopping() || flashStopAgreed) {
        // A stopped drive is reconnected before anything else: it restarts in a known state.
        setConnected(false);
        ui.statusbar->showMessage(tr("Stopped"), 0);
    }
    if (closeWhenDone) {
        close();
    }
}

bool Morvane::stopSequence() {
    if (!runner.running()) {
        return true;
    }
    if (running == Sequence::Connect) {
        runProgress->disableStop();
        runner.stopAtNextFrame(link);
        return true;
    }
    if (!flashStopAgreed &&
        QMessageBox::question(
            this, tr("Stop flashing"),
            tr("Stopping leaves the drive without working firmware until it is flashed "
               "again.<br>Stop after the packet being written?"),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes) {
        return false;
    }
    flashStopAgreed = true;
    runProgress->disableStop();
    return true;
}

void Morvane::on_connectButton_clicked() {
    runSequence(Sequence::Connect,
                [this](flasher::FlasherFrontEnd& frontEnd) { connectBootloader(link, frontEnd); });
}

void Morvane::on_openfirmware_clicked() {
    OpenedImage opened = openFirmwareFile(*this);
    if (opened.outcome.succeeded()) {
        image = std::move(opened.image);
    }
}

void Morvane::on_startflash_clicked() {
    runSequence(Sequence::Flash, [this](flasher::FlasherFrontEnd& frontEnd) {
        flashFirmware(link, frontEnd, image);
    });
}

void Morvane::closeEvent(QCloseEvent* event) {
    if (runner.running()) {
        // The adapter is closed once the sequence has ended, stopped where it may stop.
        if (stopSequence()) {
            closeWhenDone = true;
        }
        event->ignore();
        return;
    }
    link.close();
    event->accept();
}
