// The response dialog beyond its two plots: the runs of this session in a list beside them,
// earlier runs drawn faded behind the newest, the newest run's figures, a readout of the time
// and value under the pointer, and the export of the newest run as CSV and of the plots with
// the list as PNG. Compiled with the window, whose file prompt it asks for names.
#pragma once

#include <QColor>
#include <QHash>
#include <QIcon>
#include <QObject>
#include <QRect>
#include <QString>
#include <functional>

#include "file_prompt.h"
#include "step_history.h"

class QDialog;
namespace Ui {
class PlotDialog;
}

namespace response {

class Plot;

class ResponseView : public QObject {
public:
    ResponseView(QDialog& dialog, Ui::PlotDialog& form, const widgets::FilePrompt& askFileName);

    // A fresh capture as the newest curves on the plots, the kept runs faded behind it.
    void showCapture(const StepCapture& capture);
    // Keeps the run shown last, now with its figures, and lists it.
    void keep(StepCapture capture);
    const StepHistory& history() const { return history_; }

    // "Compare with form...": the selected run, else the newest, goes to the window's comparison.
    std::function<void(const KeptRun& run)> compareRun;

    // Both ask for a file name; false when cancelled or the file could not be written.
    bool saveCsv();
    bool savePng();
    // What Save as PNG pictures, in the dialog's logical pixels: the plots with their captions,
    // the list beside them and the figures below.
    QRect pictureArea() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void listRuns();
    void showFaded(size_t firstAge, double msPerX);
    QString askName(const QString& caption, const QString& suffix, const QString& filter);
    bool write(const QString& name, const QByteArray& bytes);

    QDialog& dialog_;
    Ui::PlotDialog& form_;
    const widgets::FilePrompt& askFileName_;
    StepHistory history_;
    // One swatch icon per colour, made once: a fresh pixmap at every listing would take a place
    // of its own in the toolkit's pixmap cache, megabytes over a long session.
    QHash<QRgb, QIcon> swatches_;
    const int narrowestRunList_;  // the form's width for the list, before any run widens it
};

}  // namespace response
