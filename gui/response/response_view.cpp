#include "response_view.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDateTime>
#include <QDialog>
#include <QEvent>
#include <QImage>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPixmap>
#include <QSignalBlocker>
#include <QStyle>
#include <algorithm>

#include "atomic_file.h"
#include "plot.h"
#include "response_curves.h"
#include "step_response.h"
#include "ui_plot_dialog.h"

namespace response {

using files::writeFileAtomically;
using widgets::FilePrompt;
using widgets::FileQuestion;

namespace {
QString text(const char* source) {
    return QCoreApplication::translate("PlotDialog", source);
}

// Each run keeps its colour while it is listed; the newest is drawn in the curves' own colours.
QColor runColour(int number) {
    static const QColor colours[] = {
        {230, 120, 0}, {150, 0, 170}, {0, 150, 150}, {140, 80, 20}, {200, 0, 0}};
    return colours[number % 5];
}

QString runText(const KeptRun& run) {
    const StepCapture& c = run.capture;
    QString figures = text("figures not read");
    if (c.figuresRead) {
        figures = QString("%1 / %2 counts, %3 ms")
                      .arg(c.peakError)
                      .arg(c.undershoot)
                      .arg(c.settlingTimeMs > step_response::kLongestSettlingTime
                               ? QString(">%1").arg(step_response::kShownForLongSettling)
                               : QString::number(c.settlingTimeMs));
    }
    return QString("#%1 Axis %2, %3 ms\nKp %4 Ki %5 Kd %6\nIpk %7 A Icont %8 A\n%9")
        .arg(run.number)
        .arg(c.axis + 1)
        .arg(c.spanMs)
        .arg(c.gainP)
        .arg(c.gainI)
        .arg(c.gainD)
        .arg(c.peakCurrentMa / 1000.0, 0, 'f', 2)
        .arg(c.continuousCurrentMa / 1000.0, 0, 'f', 2)
        .arg(figures);
}

double msPerPoint(const StepCapture& capture) {
    return capture.points.empty() ? 0.0 : double(capture.spanMs) / double(capture.points.size());
}

QList<QPointF> curve(const StepCapture& capture, float CapturePoint::*value, double xPerPoint) {
    QList<QPointF> points;
    for (size_t t = 0; t < capture.points.size(); ++t) {
        points.append(QPointF(double(t) * xPerPoint, double(capture.points[t].*value)));
    }
    return points;
}
}  // namespace

ResponseView::ResponseView(QDialog& dialog, Ui::PlotDialog& form, const FilePrompt& askFileName)
    : dialog_(dialog),
      form_(form),
      askFileName_(askFileName),
      narrowestRunList_(form_.runList->minimumWidth()) {
    form_.posPlot->unit = text("counts");
    form_.torqPlot->unit = text("A");
    for (Plot* plot : {form_.posPlot, form_.torqPlot}) {
        plot->setMouseTracking(true);
        plot->installEventFilter(this);
    }
    QObject::connect(form_.runList, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        const int age = form_.runList->row(item);
        history_.setShown(size_t(age), item->checkState() == Qt::Checked);
        showFaded(1, form_.posPlot->msPerX);
    });
    QObject::connect(form_.compareRunButton, &QPushButton::clicked, this, [this] {
        const QList<QListWidgetItem*> selected = form_.runList->selectedItems();
        if (compareRun && !history_.empty()) {
            compareRun(history_.run(
                selected.isEmpty() ? 0 : size_t(form_.runList->row(selected.front()))));
        }
    });
    QObject::connect(form_.saveCsvButton, &QPushButton::clicked, this, [this] { saveCsv(); });
    QObject::connect(form_.savePngButton, &QPushButton::clicked, this, [this] { savePng(); });
}

void ResponseView::showCapture(const StepCapture& capture) {
    fillResponseCurves(capture.points, *form_.posPlot, *form_.torqPlot);
    // None of the kept runs is this one yet, so all of them are earlier.
    showFaded(0, msPerPoint(capture));
}

void ResponseView::keep(StepCapture capture) {
    const double msPerX = msPerPoint(capture);
    form_.figures->setText(
        capture.figuresRead
            ? stepResultText(capture.peakError, capture.undershoot, capture.settlingTimeMs)
            : text("Figures not read: the link failed."));
    history_.add(std::move(capture));
    listRuns();
    showFaded(1, msPerX);
    form_.compareRunButton->setEnabled(true);
    form_.saveCsvButton->setEnabled(true);
    form_.savePngButton->setEnabled(true);
}

void ResponseView::listRuns() {
    const QSignalBlocker quiet(form_.runList);
    form_.runList->clear();
    for (size_t age = 0; age < history_.size(); ++age) {
        const KeptRun& run = history_.run(age);
        const QColor colour = age == 0 ? QColor(0, 0, 160) : runColour(run.number);
        auto swatch = swatches_.find(colour.rgba());
        if (swatch == swatches_.end()) {
            QPixmap pixmap(12, 12);
            pixmap.fill(colour);
            swatch = swatches_.insert(colour.rgba(), QIcon(pixmap));
        }
        auto* item = new QListWidgetItem(*swatch, runText(run), form_.runList);
        item->setToolTip(item->text());
        item->setCheckState(run.shown || age == 0 ? Qt::Checked : Qt::Unchecked);
        if (age == 0) {
            item->setFlags(item->flags() & ~Qt::ItemIsUserCheckable);  // the newest is always on
        }
    }
    // As wide as the widest run's lines beside its check box and swatch, with room for the scroll
    // bar that five runs may need, so that no gain or figure is cut off.
    const int needed =
        form_.runList->sizeHintForColumn(0) + 2 * form_.runList->frameWidth() +
        form_.runList->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, form_.runList);
    const int width = std::max(narrowestRunList_, needed);
    form_.runList->setFixedWidth(width);
    form_.compareRunButton->setMaximumWidth(width);  // the column stays as wide as the list
}

void ResponseView::showFaded(size_t firstAge, double msPerX) {
    for (Plot* plot : {form_.posPlot, form_.torqPlot}) {
        plot->msPerX = msPerX;
        plot->fadedRuns.clear();
    }
    // Drawn oldest first, so the more recent runs lie on top; placed by time, not by index.
    for (size_t age = history_.size(); age-- > firstAge;) {
        const KeptRun& run = history_.run(age);
        if (!run.shown || msPerX <= 0) {
            continue;
        }
        const double xPerPoint = msPerPoint(run.capture) / msPerX;
        const QColor colour = runColour(run.number);
        form_.posPlot->fadedRuns.append(
            {curve(run.capture, &CapturePoint::errorCounts, xPerPoint), {}, colour});
        form_.torqPlot->fadedRuns.append(
            {curve(run.capture, &CapturePoint::targetAmps, xPerPoint),
             curve(run.capture, &CapturePoint::achievedAmps, xPerPoint), colour});
    }
    form_.posPlot->update();
    form_.torqPlot->update();
}

bool ResponseView::eventFilter(QObject* watched, QEvent* event) {
    auto* plot = static_cast<Plot*>(watched);
    if (event->type() == QEvent::MouseMove) {
        auto* move = static_cast<QMouseEvent*>(event);
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
        const QPointF at = move->position();
#else
        const QPointF at = move->localPos();
#endif
        const QString name = plot == form_.posPlot ? text("Position error") : text("Current");
        const QString value = plot->readoutAt(at);
        form_.readout->setText(value.isEmpty() ? QString() : name + ": " + value);
    } else if (event->type() == QEvent::Leave) {
        form_.readout->clear();
    }
    return false;
}

QString ResponseView::askName(const QString& caption, const QString& suffix,
                              const QString& filter) {
    const StepCapture& newest = history_.run(0).capture;
    FileQuestion question;
    question.caption = caption;
    question.startName = QString("response-axis%1-%2.%3")
                             .arg(newest.axis + 1)
                             .arg(QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss"))
                             .arg(suffix);
    question.filter = filter;
    question.forSaving = true;
    question.defaultSuffix = suffix;
    return askFileName_(&dialog_, question);
}

bool ResponseView::write(const QString& name, const QByteArray& bytes) {
    if (writeFileAtomically(name, bytes)) {
        form_.readout->setText(text("Saved %1").arg(name));
        return true;
    }
    QMessageBox::warning(&dialog_, "Error", text("Unable to open file for writing"),
                         QMessageBox::Ok);
    return false;
}

bool ResponseView::saveCsv() {
    if (history_.empty()) {
        return false;
    }
    const QString name =
        askName(text("Save response as CSV"), "csv", text("Comma-separated values (*.csv)"));
    if (name.isEmpty()) {
        return false;
    }
    return write(name, QByteArray::fromStdString(stepCaptureCsv(history_.run(0).capture)));
}

bool ResponseView::savePng() {
    if (history_.empty()) {
        return false;
    }
    const QString name = askName(text("Save response as PNG"), "png", text("PNG images (*.png)"));
    if (name.isEmpty()) {
        return false;
    }
    // Drawn at the screen's device pixel ratio: sharp on a 200 % screen, with twice the pixels.
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    dialog_.grab(pictureArea()).save(&buffer, "PNG");
    return write(name, png);
}

QRect ResponseView::pictureArea() const {
    QRect area;
    for (QWidget* part :
         {static_cast<QWidget*>(form_.label), static_cast<QWidget*>(form_.posPlot),
          static_cast<QWidget*>(form_.label_2), static_cast<QWidget*>(form_.torqPlot),
          static_cast<QWidget*>(form_.runsLabel), static_cast<QWidget*>(form_.runList),
          static_cast<QWidget*>(form_.figures)}) {
        area |= QRect(part->mapTo(&dialog_, QPoint(0, 0)), part->size());  // some sit in a tab
    }
    return area;
}

}  // namespace response
