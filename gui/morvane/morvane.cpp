// The window as the front end of the workflows, its two widget states, closing, and the small
// menu actions that need no drive.
#include "morvane.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QStatusBar>
#include <QUrl>

#include "compare_dialog.h"
#include "drive_link.h"
#include "morvane_on_gui_thread.h"
#include "morvane_workflows.h"
#include "plot.h"
#include "program_versions.h"
#include "response_view.h"
#include "settings_comparison.h"
#include "settings_form.h"
#include "step_test.h"
#include "tuning_panel.h"
#include "ui_plot_dialog.h"

using config_tool::applySettings;
using config_tool::applySettingsTableToForm;
using config_tool::chooseSettingsFile;
using config_tool::CompareDialog;
using config_tool::connectDrive;
using config_tool::disableDrive;
using config_tool::DriveSettings;
using config_tool::openSettingsFile;
using config_tool::runSettingsOf;
using config_tool::saveSettingsFile;
using config_tool::SettingLine;
using config_tool::SettingsColumn;
using config_tool::settingsFromForm;
using config_tool::showDiagnosis;
using config_tool::showSettingsInForm;
using response::KeptRun;
using response::ResponseView;
using response::runStepTest;
using response::StepCapture;
using widgets::FileQuestion;
using widgets::WindowFrontEnd;

namespace {
// Where the installed manual is, found from the program's own folder wherever it was installed.
QString installedManualBesideProgram() {
    return QDir::cleanPath(QCoreApplication::applicationDirPath() +
                           QStringLiteral("/" KMR_MANUAL_FROM_PROGRAM));
}
}  // namespace

Morvane::Morvane(drive_link::LinkSettings linkSettings)
    : WindowFrontEnd(this), link(drive_link::LinkDialect::Firmware, linkSettings) {
    ui.setupUi(this);
    applySettingsTableToForm(ui);
    connect(ui.Quit, &QAction::triggered, this, &Morvane::on_Quit_activated);
    connect(ui.About_Morvane, &QAction::triggered, this, &Morvane::on_About_Morvane_activated);
    connect(ui.Open_configuration, &QAction::triggered, this,
            &Morvane::on_Open_configuration_activated);
    connect(ui.Compare_with_file, &QAction::triggered, this,
            &Morvane::on_Compare_with_file_activated);
    connect(ui.Save_configuration, &QAction::triggered, this,
            &Morvane::on_Save_configuration_activated);
    connect(ui.Drive_diagnosis, &QAction::triggered, this, &Morvane::on_Drive_diagnosis_activated);
    connect(ui.Open_help_PDF, &QAction::triggered, this, &Morvane::on_Open_help_PDF_activated);
    runProgress = new widgets::RunProgress(this);
    ui.statusbar->addPermanentWidget(runProgress);
    connect(runProgress, &widgets::RunProgress::stopClicked, this, &Morvane::stopSequence);
    pendingMarks = std::make_unique<config_tool::PendingMarks>(ui, settingsOnDrive);
    keptSettings.atStart = settingsFromForm(ui);
    setConnected(false);
    installedManualFolder = installedManualBesideProgram();

    plotForm = new Ui::PlotDialog;
    plotForm->setupUi(&plotDialog);
    responseView = std::make_unique<ResponseView>(plotDialog, *plotForm, askFileName);
    responseView->compareRun = [this](const KeptRun& run) { compareRun(run); };
    tuningPanel = std::make_unique<response::TuningPanel>(
        *plotForm,
        [this](int axis, const tuning::DriveGains& gains) {
            showSettingsInForm(
                ui, config_tool::withGains(settingsFromForm(ui), axis, gains.p, gains.i, gains.d));
        },
        [this](int axis, const response::TuningProposal& tuned, const tuning::DriveGains& present,
               const tuning::StepFigures& presentFigures) {
            std::optional<response::TuningTrial> trial;
            if (connected && !runner.running()) {
                runSequence(false, [&](config_tool::MorvaneFrontEnd& frontEnd) {
                    trial = response::runTuningTrial(link, frontEnd, axis, tuned, present,
                                                     presentFigures);
                });
            }
            return trial;
        });
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
        settingsOnDrive.reset();
        pendingMarks->refresh();
    }
}

void Morvane::fileHolds(const DriveSettings& settings) {
    keptSettings.lastInFile = settings;
}

void Morvane::driveHolds(const DriveSettings& settings) {
    settingsOnDrive = config_tool::asTheFormHolds(settings);
    keptSettings.lastOnDrive = settingsOnDrive;
    pendingMarks->refresh();
}

DriveSettings Morvane::settings() {
    return settingsFromForm(ui);
}

void Morvane::showSettings(const DriveSettings& settings) {
    showSettingsInForm(ui, settings);
}

bool Morvane::isConnected() {
    return connected;
}

int32_t Morvane::storedFirmwareVersion() {
    return firmwareVersion;
}

void Morvane::storeFirmwareVersion(int32_t version) {
    firmwareVersion = version;
}

QString Morvane::askSettingsFile(bool forSaving) {
    FileQuestion question;
    question.caption = forSaving ? tr("Save File") : tr("Open File");
    question.startName = "Ferroxsettings.frx";
    question.filter = tr("Ferrox files (*.frx)");
    question.forSaving = forSaving;
    question.defaultSuffix = "frx";
    return askFileName(this, question);
}

bool Morvane::mayReplace(const QString& name) {
    return widgets::mayReplace(this, tr("Save File"), name);
}

int Morvane::shownAxis() {
    return ui.axisTabs->currentIndex();
}

int Morvane::chosenSpanMs() {
    if (ui.span_100_ms->isChecked()) {
        return 100;
    }
    if (ui.span_500_ms->isChecked()) {
        return 500;
    }
    return ui.span_2000_ms->isChecked() ? 2000 : 0;
}

void Morvane::paintStatusNow() {
    repaint();
}

void Morvane::showSpanLabel(const QString& label) {
    plotForm->timespan->setText(label);
}

StepCapture Morvane::runSettings(int axis) {
    // What Apply last sent, unless the user has edited the form since (reading them back would
    // add traffic to the test).
    const DriveSettings inForm = settingsFromForm(ui);
    StepCapture capture = runSettingsOf(inForm, axis);
    capture.settingsAtRun = inForm;
    return capture;
}

void Morvane::showCapture(const StepCapture& capture) {
    responseView->showCapture(capture);
    plotDialog.show();
    plotForm->posPlot->repaint();
    plotForm->torqPlot->repaint();
}

void Morvane::keepCapture(StepCapture capture) {
    responseView->keep(capture);
    tuningPanel->runKept(capture);
}

void Morvane::importingSettings() {
    runProgress->show(1, 2);
}

void Morvane::applyingSettings() {
    runProgress->show(0, 0);
}

void Morvane::downloadingScope() {
    runProgress->show(1, 2);
}

void Morvane::runSequence(bool mayStop,
                          const std::function<void(config_tool::MorvaneFrontEnd&)>& sequence) {
    if (runner.running()) {
        return;
    }
    stoppable = mayStop;
    showSequenceRunning(true);
    config_tool::MorvaneOnGuiThread onGui(this, *this, runner.stopping());
    runner.run([&] { sequence(onGui); });
    showSequenceRunning(false);
    if (runner.stopping()) {
        ui.statusbar->showMessage(tr("Stopped"), 0);
    }
    if (closeWhenDone) {
        close();
    }
}

void Morvane::showSequenceRunning(bool running) {
    const std::initializer_list<QWidget*> starters{ui.connectButton, ui.applyButton,
                                                   ui.disableButton, ui.testButton, ui.axisTabs};
    for (QWidget* starter : starters) {
        starter->setEnabled(!running);
    }
    for (QAction* starter :
         {ui.Open_configuration, ui.Save_configuration, ui.Compare_with_file, ui.Drive_diagnosis}) {
        starter->setEnabled(!running);
    }
    if (running) {
        runProgress->begin(stoppable);
    } else {
        runProgress->end();
        setConnected(connected);
    }
}

void Morvane::stopSequence() {
    if (runner.running() && stoppable) {
        runProgress->disableStop();
        runner.stopAtNextFrame(link);
    }
}

void Morvane::on_connectButton_clicked() {
    runSequence(true,
                [this](config_tool::MorvaneFrontEnd& frontEnd) { connectDrive(link, frontEnd); });
}

void Morvane::on_applyButton_clicked() {
    // Stopped half-way the drive would hold half the settings: Apply runs to its end.
    runSequence(false,
                [this](config_tool::MorvaneFrontEnd& frontEnd) { applySettings(link, frontEnd); });
}

void Morvane::on_disableButton_clicked() {
    runSequence(false,
                [this](config_tool::MorvaneFrontEnd& frontEnd) { disableDrive(link, frontEnd); });
}

void Morvane::on_Drive_diagnosis_activated() {
    runSequence(false,
                [this](config_tool::MorvaneFrontEnd& frontEnd) { showDiagnosis(link, frontEnd); });
}

void Morvane::on_Save_configuration_activated() {
    saveSettingsFile(*this);
}

void Morvane::on_Open_configuration_activated() {
    openSettingsFile(*this);
}

void Morvane::on_Compare_with_file_activated() {
    const config_tool::SettingsFileOutcome chosen = chooseSettingsFile(*this);
    // A file Open would load only with complaints is not compared: its messages have said what
    // is wrong, and a column of stand-in values would only mislead.
    if (chosen.outcome.succeeded()) {
        showComparison(tr("Compare with %1").arg(QFileInfo(chosen.name).fileName()),
                       {tr("File"), config_tool::asTheFormHolds(*chosen.settings)},
                       {{tr("Drive"), settingsOnDrive}});
    }
}

void Morvane::compareRun(const KeptRun& run) {
    const auto* settings = std::any_cast<DriveSettings>(&run.capture.settingsAtRun);
    if (settings == nullptr) {
        return;
    }
    showComparison(tr("Compare run #%1 with the form").arg(run.number),
                   {tr("Run #%1").arg(run.number), *settings}, {});
    // Its gains are what a run is mostly compared for: selected, they go back in one click.
    const int axis = run.capture.axis;
    compareDialog->selectLines([axis](const SettingLine& line) {
        const int inAxis = line.settingIndex - axis * config_tool::kSettingsPerAxis;
        return line.axis == axis &&
               (inAxis == config_tool::kGainPIndex || inAxis == config_tool::kGainIIndex ||
                inAxis == config_tool::kGainDIndex);
    });
}

void Morvane::showComparison(const QString& title, SettingsColumn source,
                             std::vector<SettingsColumn> others) {
    CompareDialog::Form form{
        [this] { return settingsFromForm(ui); },
        [this](const DriveSettings& settings) { showSettingsInForm(ui, settings); }};
    compareDialog = std::make_unique<CompareDialog>(this, std::move(form), std::move(source),
                                                    std::move(others));
    compareDialog->setWindowTitle(title);
    compareDialog->setWindowModality(Qt::ApplicationModal);
    compareDialog->show();
}

void Morvane::on_testButton_clicked() {
    runSequence(true,
                [this](config_tool::MorvaneFrontEnd& frontEnd) { runStepTest(link, frontEnd); });
}

bool Morvane::mayDiscardForm() {
    if (keptSettings.keep(settingsFromForm(ui))) {
        return true;
    }
    return QMessageBox::question(this, tr("Unsaved changes"),
                                 tr("The form holds changes that are neither applied to the drive "
                                    "nor saved to a file. Discard them?"),
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

void Morvane::closeEvent(QCloseEvent* event) {
    if (!discardAgreed && !mayDiscardForm()) {
        event->ignore();
        return;
    }
    if (runner.running()) {
        // The adapter is closed once the sequence has ended: stopped, or run to its end.
        discardAgreed = true;
        closeWhenDone = true;
        stopSequence();
        event->ignore();
        return;
    }
    plotDialog.close();
    if (compareDialog) {
        compareDialog->close();
    }
    link.close();
    event->accept();
}

void Morvane::on_Quit_activated() {
    if (runner.running()) {
        close();
        return;
    }
    // Asked before the link goes, so that a user who keeps the window keeps the drive too.
    if (!mayDiscardForm()) {
        return;
    }
    link.close();
    discardAgreed = true;
    close();
    discardAgreed = false;
}

void Morvane::on_About_Morvane_activated() {
    ui.statusbar->showMessage(tr("About..."), 3000);
    QMessageBox::about(this, "About Morvane",
                       tr("<b>Morvane</b> version " KMR_MORVANE_VERSION
                          "<br>Use with KMR-20/30 drives with Ferrox "
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
