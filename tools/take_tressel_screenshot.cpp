// Pictures tressel's window on the simulated drive in bootloader mode after Connect, Open
// firmware file with tools/demo/demo.vlf, while the flash runs (its progress bar and Stop in the
// status bar) and after the verified flash; run from the repository.
//   QT_QPA_PLATFORM=offscreen take_tressel_screenshot --scale=2 docs
#include <memory>

#include "flasher_window.h"
#include "screenshot_run.h"
#include "sim_options.h"
#include "startup.h"

using screenshots::answerNextBox;

int main(int argc, char** argv) {
    Q_INIT_RESOURCE(tressel);
    const screenshots::Run run = screenshots::readRun(argc, argv);
    startup::followDesktopScaling();
    QApplication app(argc, argv);
    startup::applyWidgetStyle(app);
    auto bootloader = std::make_shared<drive_sim::SimOptions>();
    bootloader->mode = drive_sim::DriveMode::Bootloader;
    // Slow enough for the picture to catch the flash half-way, quick enough to wait for.
    bootloader->latencyMs = 0.02;
    startup::StartupChoice simulated;
    simulated.simulate = true;
    simulated.simulation = bootloader;
    startup::installProvider(simulated);

    Morvane window;
    window.askFileName = [](QWidget*, const widgets::FileQuestion&) {
        return QString("tools/demo/demo.vlf");
    };
    window.show();
    answerNextBox(run, nullptr);  // the restart instructions
    window.ui.connectButton->click();
    window.ui.openfirmware->click();
    answerNextBox(run, nullptr);  // the verified flash
    screenshots::saveWhileRunning(run, window, "tressel-flashing.png", 0.4);
    window.ui.startflash->click();
    QApplication::processEvents();
    screenshots::save(run, window, "tressel-flashed.png");
    window.close();
    return 0;
}
