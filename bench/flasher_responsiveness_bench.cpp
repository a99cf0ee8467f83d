// How the flasher's window answers while it flashes, on the simulated drive at 4 ms a USB
// transfer: a flash on the standard link and a 120-packet one on the fast link.
// Usage: flasher_responsiveness_bench [STANDARD_PACKETS]   (default 5; 120 takes some 7 minutes)
#include <QApplication>
#include <QTest>
#include <cstdlib>

#include "bootloader.h"
#include "flasher_window.h"
#include "long_run.h"
#include "message_box_watcher.h"
#include "responsiveness.h"
#include "sim_fixture.h"
#include "vlf_writer.h"

namespace {
TickGaps flashIn(Morvane& window, const QString& image, bool& worked) {
    MessageBoxWatcher watcher;
    window.askFileName = [image](QWidget*, const widgets::FileQuestion&) { return image; };
    QTest::mouseClick(window.ui.connectButton, Qt::LeftButton);
    QTest::mouseClick(window.ui.openfirmware, Qt::LeftButton);
    const TickGaps gaps =
        measureTickGaps([&] { QTest::mouseClick(window.ui.startflash, Qt::LeftButton); });
    worked =
        !watcher.boxes().empty() && watcher.boxes().back().text.startsWith("Flashing successful");
    return gaps;
}

QString writtenImage(int packets) {
    const QString path = QString("%1/flasher_responsiveness_%2.vlf")
                             .arg(qEnvironmentVariable("TMPDIR", "/tmp"))
                             .arg(packets);
    vlf::ImageLayout layout;
    layout.words = vlf::patternPackets(size_t(packets), 3);
    std::string error;
    vlf::writeImage(path.toStdString(), layout, error);
    return path;
}
}  // namespace

int main(int argc, char** argv) {
    startQuietlyOffscreen();
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(tressel);
    const int standardPackets = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    printTickGapsHeader("flasher_responsiveness_bench, tressel");
    QuietStreams quiet;
    const QString small = writtenImage(standardPackets);
    const QString whole = writtenImage(120);
    for (const bool fast : {false, true}) {
        installSimulatedDrive(drive_sim::makeBootloader(drive_sim::BootloaderSettings{}))
            .setLatencyMs(4.0);
        Morvane window(drive_link::LinkSettings{
            fast ? drive_link::LinkMode::Fast : drive_link::LinkMode::Standard,
            drive_link::kDefaultWordGapMicroseconds});
        window.show();
        bool worked = false;
        const TickGaps gaps = flashIn(window, fast ? whole : small, worked);
        window.close();
        const QString work =
            fast ? QString("flash, 120 packets, --link=fast")
                 : QString("flash, %1 packets, --link=standard").arg(standardPackets);
        printTickGaps(quiet.report(), qPrintable(work), gaps, worked);
    }
    std::remove(qPrintable(small));
    std::remove(qPrintable(whole));
    return 0;
}
