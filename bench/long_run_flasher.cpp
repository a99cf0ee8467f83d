// The flasher window's part of long_run_bench: M flashes of the demo image on the simulated
// bootloader, as `tressel --simulate` installs it (Connect, then Flash firmware, the image opened
// once and kept), with the resident memory and the time of a flash reported.
//   long_run_flasher [M]      (default 200)
#include <QApplication>
#include <QStatusBar>
#include <QtTest/QTest>
#include <cstdlib>

#include "drive_link.h"
#include "flasher_window.h"
#include "long_run.h"
#include "message_box_watcher.h"
#include "provider_choice.h"

int main(int argc, char** argv) {
    startQuietlyOffscreen();
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(tressel);
    const int flashes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;

    const startup::ProgramInfo info{"tressel", "", "", drive_link::LinkDialect::Bootloader};
    startup::installProvider(startup::judgeAdapterOptions({}, {"latency=0"}, info));

    QuietStreams quiet;
    Morvane window;
    window.askFileName = [](QWidget*, const widgets::FileQuestion&) {
        return QString(KMR_DEMO_IMAGE);
    };
    window.show();
    MessageBoxWatcher watcher;  // answers the power-cycle and result boxes
    QTest::mouseClick(window.ui.connectButton, Qt::LeftButton);
    QTest::mouseClick(window.ui.openfirmware, Qt::LeftButton);
    const int failed = runCycles(
        quiet.report(), "Flasher window, Connect + Flash firmware (demo image)", flashes, [&] {
            watcher.clear();
            QTest::mouseClick(window.ui.connectButton, Qt::LeftButton);
            if (!window.ui.startflash->isEnabled()) {
                return false;
            }
            QTest::mouseClick(window.ui.startflash, Qt::LeftButton);
            return !watcher.boxes().empty() && watcher.boxes().back().title == "Results";
        });
    window.close();
    return failed;
}
