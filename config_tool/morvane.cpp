// The window itself: its two widget states, closing, and the small menu actions that need no
// drive. The workflows live beside it, one file per job.
#include "morvane.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QStatusBar>
#include <QUrl>

#include "drive_link.h"
#include "menu_slot_binding.h"
#include "ui_plot_dialog.h"

Morvane::Morvane() {
    {
        QuietActivatedSlotWarnings quiet;
        ui.setupUi(this);
    }
    connect(ui.Quit, &QAction::triggered, this, &Morvane::on_Quit_activated);
    connect(ui.About_Morvane, &QAction::triggered, this, &Morvane::on_About_Morvane_activated);
    connect(ui.Open_configuration, &QAction::triggered, this,
            &Morvane::on_Open_configuration_activated);
    connect(ui.Save_configuration, &QAction::triggered, this,
            &Morvane::on_Save_configuration_activated);
    connect(ui.Drive_diagnosis, &QAction::triggered, this, &Morvane::on_Drive_diagnosis_activated);
    connect(ui.Open_help_PDF, &QAction::triggered, this, &Morvane::on_Open_help_PDF_activated);
    setConnected(false);
    installedManualFolder = QStringLiteral(KMR_MANUAL_DIR);

    plotForm = new Ui::PlotDialog;
    plotForm->setupUi(&plotDialog);
}

Morvane::~Morvane() {
    delete plotForm;
}

void Morvane::setConnected(bool isConnected) {
    ui.testButton->setEnabled(isConnected);
    ui.applyButton->setEnabled(isConnected);
    ui.disableButton->setEnabled(isConnected);
    connected = isConnected;
    if (!isConnected) {
        firmwareVersion = -1;
    }
}

QWidget* Morvane::linkErrorParent() {
    return this;
}

QStatusBar* Morvane::linkErrorStatusBar() {
    return ui.statusbar;
}

void Morvane::closeEvent(QCloseEvent* event) {
    plotDialog.close();
    closeLink();
    event->accept();
}

void Morvane::on_Quit_activated() {
    closeLink();
    close();
}

void Morvane::on_About_Morvane_activated() {
    ui.statusbar->showMessage(tr("About..."), 3000);
    QMessageBox::about(this, "About Morvane",
                       tr("<b>Morvane</b> version 1.0.0<br>Use with KMR-20/30 drives with Ferrox "
                          "firmware<br>Copyright © 2026 the Morvane developers"));
}

void Morvane::on_Open_help_PDF_activated() {
    // A manual beside the user's work wins over the installed one. A missing manual is not worth
    // a message; the desktop viewer would only complain itself.
    for (const QString& folder : {QDir::currentPath(), installedManualFolder}) {
        const QString manual = folder + "/MorvaneManual.pdf";
        if (QFileInfo::exists(manual)) {
            QDesktopServices::openUrl(QUrl::fromLocalFile(manual));
            return;
        }
    }
}

void Morvane::on_span_2000_ms_triggered(bool checked) {
    if (checked) {
        ui.span_100_ms->setChecked(false);
        ui.span_500_ms->setChecked(false);
    }
}

void Morvane::on_span_500_ms_triggered(bool checked) {
    if (checked) {
        ui.span_100_ms->setChecked(false);
        ui.span_2000_ms->setChecked(false);
    }
}

void Morvane::on_span_100_ms_triggered(bool checked) {
    if (checked) {
        ui.span_500_ms->setChecked(false);
        ui.span_2000_ms->setChecked(false);
    }
}
