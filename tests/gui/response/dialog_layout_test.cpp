// The response dialog at its smallest, its default and a large size, with a run identified and a
// proposal shown: nothing in the tuning panel, the run list or the plots' axes runs into its
// neighbour or is cut short.
#include <gtest/gtest.h>

#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QTest>

#include "plot.h"
#include "response_test_support.h"
#include "response_view.h"
#include "tuning_panel.h"
#include "ui_plot_dialog.h"

using namespace response;

namespace {
std::string describe(const QWidget& widget) {
    return widget.objectName().toStdString() + " \"" +
           widget.property("text").toString().toStdString() + "\"";
}

void expectTuningLabelsApartAndWhole(const QGroupBox& box) {
    QList<QLabel*> labels;
    for (QLabel* label : box.findChildren<QLabel*>()) {
        if (label->isVisible() && !label->text().isEmpty()) {
            labels << label;
        }
    }
    ASSERT_GT(labels.size(), 40);
    for (int a = 0; a < labels.size(); ++a) {
        const QLabel& label = *labels[a];
        if (label.wordWrap()) {
            EXPECT_GE(label.height(), label.heightForWidth(label.width())) << describe(label);
        } else {
            EXPECT_LE(label.fontMetrics().horizontalAdvance(label.text()), label.width())
                << describe(label);
        }
        for (int b = a + 1; b < labels.size(); ++b) {
            EXPECT_FALSE(label.geometry().intersects(labels[b]->geometry()))
                << describe(label) << " and " << describe(*labels[b]);
        }
    }
}

void expectRunsWhole(const QListWidget& list) {
    for (int row = 0; row < list.count(); ++row) {
        const QListWidgetItem& item = *list.item(row);
        const int needed = list.sizeHintForIndex(list.model()->index(row, 0)).width();
        // The whole of it beside the check box and swatch, and in the tooltip too.
        EXPECT_LE(needed, list.viewport()->width()) << item.text().toStdString();
        EXPECT_EQ(item.toolTip(), item.text());
    }
}

void expectAxisLabelsApart(const Plot& plot) {
    const std::vector<QRect> rects = plot.labelRects();
    ASSERT_GT(rects.size(), 3u) << plot.objectName().toStdString();
    for (size_t a = 0; a < rects.size(); ++a) {
        for (size_t b = a + 1; b < rects.size(); ++b) {
            EXPECT_FALSE(rects[a].intersects(rects[b]))
                << plot.objectName().toStdString() << " at " << plot.width() << " x "
                << plot.height() << ": label " << a << " and " << b;
        }
    }
}
}  // namespace

TEST(DialogLayout, NoTextRunsIntoAnotherAtTheSmallestTheDefaultAndALargeSize) {
    QDialog dialog;
    Ui::PlotDialog form;
    form.setupUi(&dialog);
    const QSize defaultSize = dialog.size();
    const widgets::FilePrompt noPrompt = [](QWidget*, const widgets::FileQuestion&) {
        return QString();
    };
    ResponseView view(dialog, form, noPrompt);
    TuningPanel panel(form, [](int, const tuning::DriveGains&) {});
    // The widest a run's lines get: gains at the drive's largest, an error that never settled.
    StepCapture widest = dialogRun({650, 120, 700});
    widest.gainP = widest.gainI = widest.gainD = 32767;
    widest.peakError = widest.undershoot = 65535;
    widest.settlingTimeMs = 65535;
    view.keep(widest);
    const StepCapture run = dialogRun({650, 120, 700});
    view.showCapture(run);
    view.keep(run);
    panel.runKept(run);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !panel.identifying(); }, 30000));
    form.bandwidthBox->setValue(60.0);
    ASSERT_FALSE(form.proposedKp->text().isEmpty());
    dialog.show();

    for (const QSize size : {QSize(0, 0), defaultSize, QSize(1900, 1200)}) {
        dialog.resize(size);  // the smallest: as far as the layout lets it shrink
        QApplication::processEvents();
        SCOPED_TRACE(QString("%1 x %2").arg(dialog.width()).arg(dialog.height()).toStdString());
        expectTuningLabelsApartAndWhole(*form.tuningBox);
        expectRunsWhole(*form.runList);
        expectAxisLabelsApart(*form.posPlot);
        expectAxisLabelsApart(*form.torqPlot);
    }
}
