// The main window of the configuration program: the front end of its workflows. Its form is the
// only store of the drive settings; every menu entry and button runs one workflow.
#pragma once

#include <QDialog>
#include <QMainWindow>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "drive_link.h"
#include "file_prompt.h"
#include "kept_settings.h"
#include "morvane_front_end.h"
#include "pending_marks.h"
#include "run_progress.h"
#include "sequence_runner.h"
#include "ui_main_window_form.h"
#include "window_front_end.h"

namespace config_tool {
class CompareDialog;
struct SettingsColumn;
}  // namespace config_tool

namespace response {
struct KeptRun;
class ResponseView;
class TuningPanel;
}  // namespace response

namespace Ui {
class PlotDialog;
}

// At global scope: the window's meta-object must answer to the class name "Morvane" exactly.
class Morvane : public QMainWindow, public widgets::WindowFrontEnd<config_tool::MorvaneFrontEnd> {
    Q_OBJECT

public:
    explicit Morvane(drive_link::LinkSettings linkSettings = {});
    ~Morvane() override;

    void setConnected(bool connected) override;
    config_tool::DriveSettings settings() override;
    void showSettings(const config_tool::DriveSettings& settings) override;
    bool isConnected() override;
    int32_t storedFirmwareVersion() override;
    void storeFirmwareVersion(int32_t version) override;
    QString askSettingsFile(bool forSaving) override;
    bool mayReplace(const QString& name) override;
    int shownAxis() override;
    int chosenSpanMs() override;
    void paintStatusNow() override;
    void showSpanLabel(const QString& label) override;
    response::StepCapture runSettings(int axis) override;
    void showCapture(const response::StepCapture& capture) override;
    void keepCapture(response::StepCapture capture) override;
    void driveHolds(const config_tool::DriveSettings& settings) override;
    void fileHolds(const config_tool::DriveSettings& settings) override;
    void importingSettings() override;
    void applyingSettings() override;
    void downloadingScope() override;

    // The connection to the drive: opened by Connect, closed with the window.
    drive_link::Link link;
    Ui::MainWindowForm ui;
    bool connected = false;
    int32_t firmwareVersion = -1;
    // What the connected drive holds, as last read or applied; none while disconnected.
    std::optional<config_tool::DriveSettings> settingsOnDrive;
    // Marks the fields that differ from settingsOnDrive.
    std::unique_ptr<config_tool::PendingMarks> pendingMarks;
    // Closing asks before it drops a form that none of these holds.
    config_tool::KeptSettings keptSettings;
    QDialog plotDialog;
    Ui::PlotDialog* plotForm = nullptr;
    widgets::FilePrompt askFileName =
        widgets::askWithFileDialog;  // for settings files and exported responses
    QString installedManualFolder;   // Help's second place to look, after the current directory
    std::unique_ptr<response::ResponseView> responseView;  // runs, readout and export of the dialog
    std::unique_ptr<response::TuningPanel> tuningPanel;    // the dialog's tuning assistant
    std::unique_ptr<config_tool::CompareDialog> compareDialog;  // the latest comparison shown
    // The running sequence's progress bar and Stop button, in the status bar.
    widgets::RunProgress* runProgress = nullptr;

private slots:
    void on_testButton_clicked();
    void on_connectButton_clicked();
    void on_applyButton_clicked();
    void on_disableButton_clicked();
    void closeEvent(QCloseEvent* event) override;
    void on_span_2000_ms_triggered(bool checked);
    void on_span_500_ms_triggered(bool checked);
    void on_span_100_ms_triggered(bool checked);

private:
    // Opens a comparison of the form with `source`, whose values it may take, and `others`.
    void showComparison(const QString& title, config_tool::SettingsColumn source,
                        std::vector<config_tool::SettingsColumn> others);
    void compareRun(const response::KeptRun& run);
    // Whether the form may go: nothing in it is lost, or the user said to discard it.
    bool mayDiscardForm();
    bool discardAgreed = false;  // Quit asked already; closing must not ask again

    // Runs a workflow on the worker thread with the window's buttons for other sequences off;
    // `stoppable`: Stop ends it at the next frame (Connect, the step test).
    void runSequence(bool stoppable,
                     const std::function<void(config_tool::MorvaneFrontEnd&)>& sequence);
    void showSequenceRunning(bool running);
    void stopSequence();
    widgets::SequenceRunner runner;
    bool stoppable = false;
    bool closeWhenDone = false;  // the window was closed during a sequence

    // Menu actions have no `activated` signal to be bound by name; these are connected to
    // `triggered` in the constructor.
    void on_Quit_activated();
    void on_About_Morvane_activated();
    void on_Open_configuration_activated();
    void on_Compare_with_file_activated();
    void on_Save_configuration_activated();
    void on_Drive_diagnosis_activated();
    void on_Open_help_PDF_activated();
};
