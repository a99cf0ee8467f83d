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
// No two of the rectangles meet; `name` tells one of them in a failure.
template <typename Name>
void expectApart(const std::vector<QRect>& rects, Name name) {
    ASSERT_GT(rects.size(), 3u) << name(0);
    for (size_t a = 0; a < rects.size(); ++a) {
        for (size_t b = a + 1; b < rects.size(); ++b) {
            EXPECT_FALSE(rects[a].intersects(rects[b])) << name(a) << " and " << name(b);
        }
    }
}

void expectTuningLabelsApartAndWhole(const QGroupBox& box) {
    std::vector<const QLabel*> labels;
    std::vector<QRect> rects;
    for (const QLabel* label : box.findChildren<QLabel*>()) {
        if (label->isVisible() && !label->text().isEmpty()) {
            labels.push_back(label);
            rects.push_back(label->geometry());
            EXPECT_TRUE(label->wordWrap() ? label->height() >= label->heightForWidth(label->width())
                                          : label->fontMetrics().horizontalAdvance(label->text()) <=
                                                label->width())
                << label->objectName().toStdString() << " cut short at " << label->width();
        }
    }
    expectApart(rects, [&](size_t k) { return labels[k]->objectName().toStdString(); });
}

void expectAxisLabelsApart(const Plot& plot) {
    expectApart(plot.labelRects(), [&](size_t k) {
        return plot.objectName().toStdString() + " label " + std::to_string(k);
    });
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
        for (int row = 0; row < form.runList->count(); ++row) {
            // The whole of it beside the check box and swatch, and in the tooltip too.
            const QListWidgetItem& item = *form.runList->item(row);
            EXPECT_LE(form.runList->sizeHintForIndex(form.runList->model()->index(row, 0)).width(),
                      form.runList->viewport()->width())
                << item.text().toStdString();
            EXPECT_EQ(item.toolTip(), item.text());
        }
        expectAxisLabelsApart(*form.posPlot);
        expectAxisLabelsApart(*form.torqPlot);
    }
}
