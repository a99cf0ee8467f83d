// Takes the pictures of morvane in docs/ from the real window on the simulated drive: the
// manual's in docs/manual/ (the compare table among them), the response dialog with its tuning
// panel, its frequency response and disturbance response, and the form with pending changes
// marked in docs/. With --scale=2 the window after
// Connect and the response dialog as a 200 % screen shows them, in docs/scale-2/.
//   QT_QPA_PLATFORM=offscreen take_screenshots [--scale=2] docs
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QThread>

#include "compare_dialog.h"
#include "morvane.h"
#include "screenshot_run.h"
#include "startup.h"

using screenshots::answerNextBox;
using screenshots::save;
using startup::applyWidgetStyle;
using startup::installProvider;
using startup::StartupChoice;

namespace {
// A proposal above the assistant's 40 Hz default that still passes every check on the factory
// axis, so that the dashed prediction stands apart from the run.
constexpr double kPicturedBandwidthHz = 60.0;
}  // namespace

int main(int argc, char** argv) {
    Q_INIT_RESOURCE(morvane);
    const screenshots::Run run = screenshots::readRun(argc, argv);
    // The manual's pictures of the start and the boxes are taken at the desktop's usual scale.
    const auto manualOnly = [&run](const char* name) { return run.scaled ? nullptr : name; };
    startup::followDesktopScaling();
    QApplication app(argc, argv);
    applyWidgetStyle(app);
    StartupChoice simulated;
    simulated.simulate = true;
    installProvider(simulated);

    Morvane window;
    window.show();
    save(run, window, manualOnly("manual/morvane-start.png"));
    answerNextBox(run, manualOnly("manual/connect-box.png"));
    window.ui.connectButton->click();
    window.ui.axisTabs->setCurrentIndex(1);
    save(run, window, run.scaled ? "morvane-axis2.png" : "manual/morvane-axis2.png");
    answerNextBox(run, manualOnly("manual/diagnosis-box.png"));
    window.ui.Drive_diagnosis->trigger();

    // A 100 ms test of axis 1 at the factory gains, pictured while its capture downloads, then
    // the assistant's proposal over it.
    window.ui.axisTabs->setCurrentIndex(0);
    window.ui.span_100_ms->trigger();
    screenshots::saveWhileRunning(run, window, manualOnly("manual/morvane-downloading.png"), 0.5);
    window.ui.testButton->click();
    // The axis is identified off the GUI thread; the picture shows its result.
    if (auto* identified = window.plotDialog.findChild<QLabel*>("identifiedLabel")) {
        for (int waited = 0; identified->text().startsWith("Identifying") && waited < 30000;
             waited += 10) {
            QApplication::processEvents(QEventLoop::AllEvents, 10);
            QThread::msleep(10);
        }
    }
    if (auto* bandwidth = window.plotDialog.findChild<QDoubleSpinBox*>("bandwidthBox")) {
        bandwidth->setValue(kPicturedBandwidthHz);
    }
    // Room for the plots beside the panel; as short as the panel's tables allow. The layout
    // settles them before the picture.
    window.plotDialog.resize(1100, 0);
    QApplication::processEvents();
    save(run, window.plotDialog, "tuning-panel.png");
    // The same proposal's frequency response, and the disturbance response the run measured.
    auto* tabs = window.plotDialog.findChild<QTabWidget*>("plotTabs");
    auto* views = window.plotDialog.findChild<QComboBox*>("frequencyViewBox");
    if (tabs && views) {
        tabs->setCurrentIndex(1);
        QApplication::processEvents();
        save(run, window.plotDialog, "frequency-response.png");
        views->setCurrentIndex(1);
        QApplication::processEvents();
        save(run, window.plotDialog, "disturbance-response.png");
        views->setCurrentIndex(0);
        tabs->setCurrentIndex(0);
    }
    if (run.scaled) {
        window.close();
        return 0;
    }

    // Three edits not yet applied: their captions in bold, the tab of axis 1 marked. The drive's
    // settings go back into the form afterwards, so that closing has nothing to ask.
    window.plotDialog.close();
    window.ui.contcurrM1->setValue(3000);
    window.ui.gainPM1->setValue(800);
    window.ui.antiditherM1->toggle();
    save(run, window, "morvane-marked.png");
    window.showSettings(*window.settingsOnDrive);

    // A file that differs from the drive in a gain and a check box, against a form that differs
    // from both in a current.
    QTemporaryDir files;
    const QString file = files.filePath("tuned.frx");
    window.askFileName = [&file](QWidget*, const widgets::FileQuestion&) { return file; };
    window.ui.gainPM1->setValue(800);
    window.ui.invertM2->setChecked(!window.ui.invertM2->isChecked());
    window.ui.Save_configuration->trigger();
    window.ui.gainPM1->setValue(window.settingsOnDrive->contents[config_tool::kGainPIndex]);
    window.ui.invertM2->setChecked(!window.ui.invertM2->isChecked());
    window.ui.contcurrM1->setValue(3000);
    window.ui.Compare_with_file->trigger();
    if (window.compareDialog) {
        window.compareDialog->resize(0, 960);  // all 25 rows; as narrow as the columns allow
        QApplication::processEvents();
        save(run, *window.compareDialog, "manual/compare-table.png");
    }
    window.showSettings(*window.settingsOnDrive);
    window.close();
    return 0;
}
