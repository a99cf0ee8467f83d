// A long session of the configuration window on the simulated drive, as `morvane --simulate`
// installs it: N cycles of Connect, Apply and a step test whose response dialog shows the
// graphs, with the resident memory and the time of a cycle reported along the way; then the
// flasher window's M flashes in a process of its own (long_run_flasher: both windows' classes
// answer to the same name, so one program holds only one of them). Nothing is asserted: the
// memory should stop growing after the first cycles (under 2 MB over the last nine tenths).
//   long_run_bench [N [M]]      (defaults 2000 and 200)
#include <QApplication>
#include <QProcess>
#include <QStatusBar>
#include <QtTest/QTest>
#include <cstdlib>

#include "drive_link.h"
#include "long_run.h"
#include "message_box_watcher.h"
#include "morvane.h"
#include "provider_choice.h"

int main(int argc, char** argv) {
    startQuietlyOffscreen();
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(morvane);
    const int cycles = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;
    const int flashes = argc > 2 ? std::max(1, std::atoi(argv[2])) : 200;

    const startup::ProgramInfo info{"morvane", "", "", drive_link::LinkDialect::Firmware};
    const startup::StartupChoice choice = startup::judgeAdapterOptions({}, {"latency=0"}, info);
    startup::installProvider(choice);

    int failed = 0;
    {
        QuietStreams quiet;
        std::fprintf(quiet.report(),
                     "Long runs on the simulated drive (--simulate=latency=0), offscreen\n");
        Morvane window;
        window.show();
        MessageBoxWatcher watcher;         // answers Connect's power-cycle box
        window.ui.span_100_ms->trigger();  // the step test then shows its graphs
        failed =
            runCycles(quiet.report(), "Configuration window, Connect + Apply + Test", cycles, [&] {
                watcher.clear();
                QTest::mouseClick(window.ui.connectButton, Qt::LeftButton);
                QTest::mouseClick(window.ui.applyButton, Qt::LeftButton);
                const bool applied = window.ui.statusbar->currentMessage() == "Parameters set";
                QTest::mouseClick(window.ui.testButton, Qt::LeftButton);
                return applied && window.plotDialog.isVisible() &&
                       window.ui.statusbar->currentMessage().startsWith("Peak error ");
            });
        window.close();
    }

    // The flasher's window in a process of its own, beside this program.
    QProcess flasher;
    flasher.setProcessChannelMode(QProcess::ForwardedChannels);
    flasher.start(QCoreApplication::applicationDirPath() + "/long_run_flasher",
                  {QString::number(flashes)});
    if (!flasher.waitForFinished(-1) || flasher.exitCode() != 0) {
        std::fprintf(stderr, "long_run_flasher did not finish its flashes\n");
        failed = 1;
    }
    return failed;
}
