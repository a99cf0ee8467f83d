// The response dialog's runs, its export and its time axis.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QListWidget>
#include <QTemporaryDir>
#include <csignal>

#include "message_box_watcher.h"
#include "plot.h"
#include "plot_axes.h"
#include "response_view.h"
#include "step_capture.h"
#include "ui_plot_dialog.h"

using namespace response;
using namespace widgets;

namespace {
StepCapture knownCapture(int gainP = 650) {
    StepCapture capture{1, 100, gainP, 120, 700, 6000, 2600, true, 33, 1, 30, {}};
    capture.points = {{0, 0, 0}, {-1.95f, -0.4f, 2}, {0.1234f, 0.05f, -1}, {0, -0.0004f, 0}};
    return capture;
}

struct Dialog {
    FilePrompt prompt = [this](QWidget*, const FileQuestion& question) {
        asked = question;
        return answer;
    };
    QDialog dialog;
    Ui::PlotDialog form;
    bool formReady = (form.setupUi(&dialog), dialog.resize(706, 533), true);
    ResponseView view{dialog, form, prompt};
    FileQuestion asked;
    QString answer;
};
}  // namespace

TEST(ResponseRuns, TheSixthRunDropsTheOldestAndEarlierRunsToggleFromTheList) {
    Dialog d;
    for (int run = 1; run <= 6; ++run) {
        d.view.showCapture(knownCapture(run));
        d.view.keep(knownCapture(run));
    }
    const StepHistory& history = d.view.history();
    ASSERT_EQ(history.size(), 5u);
    EXPECT_EQ(history.run(0).number, 6);
    EXPECT_EQ(history.run(4).capture.gainP, 2);  // run 1 went
    ASSERT_EQ(d.form.runList->count(), 5);
    EXPECT_TRUE(d.form.runList->item(0)->text().startsWith("#6 Axis 2, 100 ms\nKp 6 Ki 120"));
    EXPECT_EQ(d.form.posPlot->fadedRuns.size(), 4);
    EXPECT_EQ(d.form.torqPlot->fadedRuns.size(), 4);

    d.form.runList->item(2)->setCheckState(Qt::Unchecked);
    EXPECT_FALSE(history.run(2).shown);
    EXPECT_EQ(d.form.posPlot->fadedRuns.size(), 3);
    d.form.runList->item(2)->setCheckState(Qt::Checked);
    EXPECT_EQ(d.form.torqPlot->fadedRuns.size(), 4);
    EXPECT_FALSE(d.form.runList->item(0)->flags() & Qt::ItemIsUserCheckable);  // always shown
    EXPECT_EQ(d.form.figures->text(),
              "Peak error 33 counts, undershoot 1 counts, settling time 30 ms.");
}

TEST(ResponseRuns, CsvOfAKnownCaptureAndBothSavesThroughThePrompt) {
    const std::string expected =
        "# Axis 2, span 100 ms, Kp 650, Ki 120, Kd 700, peak current 6000 mA, continuous current "
        "2600 mA, peak error 33 counts, undershoot 1 counts, settling time 30 ms\n"
        "time_ms,target_A,achieved_A,error_counts\n"
        "0.00,0.000,0.000,0\n"
        "25.00,-1.950,-0.400,2\n"
        "50.00,0.123,0.050,-1\n"
        "75.00,0.000,0.000,0\n";
    EXPECT_EQ(stepCaptureCsv(knownCapture()), expected);

    Dialog d;
    QTemporaryDir folder;
    d.answer = folder.filePath("run.csv");
    EXPECT_FALSE(d.view.saveCsv());  // nothing to save before the first run
    d.view.keep(knownCapture());
    d.dialog.show();
    d.form.saveCsvButton->click();
    EXPECT_TRUE(d.asked.forSaving);
    EXPECT_TRUE(d.asked.startName.startsWith("response-axis2-")) << d.asked.startName.toStdString();
    EXPECT_TRUE(d.asked.startName.endsWith(".csv"));
    QFile csv(d.answer);
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    EXPECT_EQ(csv.readAll().toStdString(), expected);

    d.answer = folder.filePath("run.png");
    d.form.savePngButton->click();
    EXPECT_EQ(d.asked.defaultSuffix, "png");
    // At the screen's scale: a second run of this case has QT_SCALE_FACTOR=2 and twice the pixels.
    const double scale = qEnvironmentVariableIsSet("QT_SCALE_FACTOR")
                             ? qEnvironmentVariable("QT_SCALE_FACTOR").toDouble()
                             : 1.0;
    const QImage image(d.answer, "PNG");
    EXPECT_EQ(image.size(), d.view.pictureArea().size() * scale);
    EXPECT_GT(d.view.pictureArea().width(), d.form.runList->width() + d.form.posPlot->width() / 2);

    d.answer.clear();  // cancelled: nothing written
    EXPECT_FALSE(d.view.saveCsv());
}

TEST(ResponseRuns, ASaveTheDiskRefusesSaysSoAndKeepsTheOldFile) {
    Dialog d;
    d.view.keep(knownCapture());
    d.dialog.show();
    QTemporaryDir folder;
    for (QAbstractButton* save : {d.form.saveCsvButton, d.form.savePngButton}) {
        d.answer = folder.filePath(save == d.form.saveCsvButton ? "run.csv" : "run.png");
        QFile old(d.answer);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
        old.close();
        MessageBoxWatcher watcher;
        {
            // The file system takes 40 bytes of a file and refuses the rest, as a full one does.
            rlimit saved{};
            getrlimit(RLIMIT_FSIZE, &saved);
            auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
            rlimit limited = saved;
            limited.rlim_cur = 40;
            setrlimit(RLIMIT_FSIZE, &limited);
            save->click();
            setrlimit(RLIMIT_FSIZE, &saved);
            std::signal(SIGXFSZ, previousHandler);
        }
        ASSERT_TRUE(watcher.waitForBoxes(1));
        EXPECT_EQ(describeBox(watcher.boxes().front()),
                  "warning|Error|Unable to open file for writing");
        ASSERT_TRUE(old.open(QIODevice::ReadOnly));
        EXPECT_EQ(old.readAll(), "old");
    }
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
              (QStringList{"run.csv", "run.png"}));
}

TEST(ResponseRuns, TimeAxisPutsTheFirstSampleAtZeroAndTheLastOnePeriodBeforeTheSpan) {
    EXPECT_EQ(sampleTimeMs(0, 500, 100), 0.0);
    EXPECT_DOUBLE_EQ(sampleTimeMs(499, 500, 2000), 1996.0);

    Dialog d;
    StepCapture capture = knownCapture();
    capture.points.resize(500);
    d.view.showCapture(capture);
    Plot& plot = *d.form.posPlot;
    plot.resize(400, 200);
    EXPECT_DOUBLE_EQ(plot.msPerX, 0.2);
    EXPECT_NEAR(plot.timeAtPixel(0), 0.0, 1e-9);
    EXPECT_NEAR(plot.timeAtPixel(400), 99.8, 1e-3);
    EXPECT_EQ(plot.readoutAt(QPointF(200, 100)), "49.9 ms, 0.0 counts");

    // Labels at round steps, with the decimals the step needs.
    EXPECT_EQ(niceStep(99.8, 6), 20.0);
    EXPECT_EQ(niceStep(1.95, 4), 0.5);
    EXPECT_EQ(niceStep(0.0, 4), 0.0);
    EXPECT_EQ(stepDecimals(0.5), 1);
    EXPECT_EQ(stepDecimals(0.05), 2);
    EXPECT_EQ(stepDecimals(20), 0);
}
