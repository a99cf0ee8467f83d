// The main window of the configuration program. Its form is the only store of the drive
// settings; every menu entry and button is a slot that runs its whole drive sequence.
#pragma once

#include <QDialog>
#include <QMainWindow>
#include <cstdint>

#include "file_prompt.h"
#include "link_error_report.h"
#include "ui_main_window_form.h"

class QCheckBox;
class QDomDocument;
class QDomElement;

namespace Ui {
class PlotDialog;
}

class Morvane : public QMainWindow, public LinkErrorWindow {
    Q_OBJECT

public:
    Morvane();
    ~Morvane() override;

    void setConnected(bool connected) override;

    Ui::MainWindowForm ui;
    bool connected = false;
    int32_t firmwareVersion = -1;
    QDialog plotDialog;
    Ui::PlotDialog* plotForm = nullptr;
    FilePrompt askFileName = askWithFileDialog;  // for saving and opening settings files
    QString installedManualFolder;  // Help's second place to look, after the current directory

    // Settings transfer between the form and the drive or a settings document.
    bool exportSettings(bool documentMode, QDomElement& parent, QDomDocument& document);
    bool importSettings(bool documentMode, const QDomElement& root);
    void emitParam(uint16_t number, uint16_t value, bool documentMode, bool& error,
                   QDomElement& parent, QDomDocument& document);
    int readParam(uint16_t number, bool documentMode, bool& error, const QDomElement& root);
    static void setBitFromCheck(const QCheckBox* box, uint16_t& flags, uint16_t mask);
    static void setCheckFromBit(QCheckBox* box, uint16_t value, uint16_t mask);
    static QDomElement makeParamElement(QDomDocument& document, const QString& tag, uint16_t value);

    QWidget* linkErrorParent() override;
    QStatusBar* linkErrorStatusBar() override;

private slots:
    void on_Quit_activated();
    void on_About_Morvane_activated();
    void on_Open_configuration_activated();
    void on_Save_configuration_activated();
    void on_testButton_clicked();
    void on_connectButton_clicked();
    void on_applyButton_clicked();
    void on_disableButton_clicked();
    void on_Drive_diagnosis_activated();
    void closeEvent(QCloseEvent* event) override;
    void on_Open_help_PDF_activated();
    void on_span_2000_ms_triggered(bool checked);
    void on_span_500_ms_triggered(bool checked);
    void on_span_100_ms_triggered(bool checked);
};
