// How the configuration program's window answers while it works: Connect and a 2000 ms step
// test with its download, on the simulated drive at 4 ms a USB transfer, the standard link.
#include <QApplication>
#include <QMessageBox>
#include <QTest>

#include "long_run.h"
#include "message_box_watcher.h"
#include "morvane.h"
#include "responsiveness.h"
#include "sim_fixture.h"

int main(int argc, char** argv) {
    startQuietlyOffscreen();
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(morvane);
    FerroxBench bench = installFerroxDrive();
    bench.adapter.setLatencyMs(4.0);
    printTickGapsHeader("responsiveness_bench, morvane");
    QuietStreams quiet;
    Morvane window;
    window.show();
    MessageBoxWatcher watcher;
    const TickGaps connect =
        measureTickGaps([&] { QTest::mouseClick(window.ui.connectButton, Qt::LeftButton); });
    window.ui.span_2000_ms->trigger();
    const TickGaps step =
        measureTickGaps([&] { QTest::mouseClick(window.ui.testButton, Qt::LeftButton); });
    const bool worked =
        window.connected && window.ui.statusbar->currentMessage().startsWith("Peak error");
    window.close();
    printTickGaps(quiet.report(), "Connect", connect, true);
    printTickGaps(quiet.report(), "step test, 2000 ms span", step, worked);
    return 0;
}
