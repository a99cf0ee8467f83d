// The production line's recipe on simulated drives: the wall time of one `tressel flash` of
// tools/demo/demo.vlf at the default simulated latency (or the one in milliseconds given as the
// argument), and of four started together, each on its own drive and all appending to one log. Four
// processes share nothing but the log, so on a machine with spare cores the ratio stays near 1. A
// report on standard output; nothing is asserted.
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <vector>

namespace {
// Seconds until `units` flashers started together have all ended; -1 when one failed.
double flashTogether(int units, const QString& log, const QString& simulate) {
    QElapsedTimer clock;
    clock.start();
    std::vector<QProcess*> flashers;
    for (int unit = 0; unit < units; ++unit) {
        auto* flasher = new QProcess;
        flasher->setStandardInputFile(QProcess::nullDevice());
        flasher->setStandardOutputFile(QProcess::nullDevice());
        flasher->setStandardErrorFile(QProcess::nullDevice());
        flasher->start(KMR_TRESSEL, {"flash", KMR_DEMO_IMAGE, simulate, "--log=" + log});
        flashers.push_back(flasher);
    }
    bool allDone = true;
    for (QProcess* flasher : flashers) {
        allDone = flasher->waitForFinished(-1) && flasher->exitStatus() == QProcess::NormalExit &&
                  flasher->exitCode() == 0 && allDone;
        delete flasher;
    }
    return allDone ? clock.elapsed() / 1000.0 : -1;
}
}  // namespace

int main(int argc, char** argv) {
    QTemporaryDir dir;
    const QString log = dir.filePath("line.jsonl");
    const QString latency = argc > 1 ? argv[1] : "";
    const QString simulate = latency.isEmpty() ? "--simulate" : "--simulate=latency=" + latency;
    const double one = flashTogether(1, log, simulate);
    const double four = flashTogether(4, log, simulate);
    std::printf("tressel flash of the demo image (120 packets), %s simulated latency\n",
                latency.isEmpty() ? "default" : qPrintable(latency + " ms"));
    std::printf("  one flasher             %6.2f s\n", one);
    std::printf("  four flashers at once   %6.2f s (wall time until the last ended)\n", four);
    if (one > 0 && four > 0) {
        std::printf("  ratio four/one          %6.2f\n", four / one);
    } else {
        std::printf("  (a flasher failed: -1 s)\n");
    }
    return 0;
}
