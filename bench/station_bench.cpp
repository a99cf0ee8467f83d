// The flashing station against one flasher at a time, on simulated drives: four fixtures, each
// flashing the 120-packet demo image unit after unit (a scan as soon as its tile shows the
// verdict), against `tressel flash` run for one unit after another on one drive. Units per hour
// of each, and what the station's own process takes for it: CPU time (of the window's thread and
// the four tiles' together) and peak memory. A report on standard output; nothing is asserted.
//   station_bench [UNITS_PER_TILE [LATENCY_MS]]   by hand: 3 units a tile at 1 ms per transfer
// (a full-speed USB adapter's round trip); CI runs the short form, one unit at 0.05 ms.
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <cstdio>
#include <cstdlib>

#include "job_file.h"
#include "offscreen.h"
#include "provider.h"
#include "run_log.h"
#include "run_result.h"
#include "startup_options.h"
#include "station_provider.h"
#include "station_tile.h"
#include "station_window.h"

namespace {

constexpr int kTiles = 4;
const startup::ProgramInfo kTressel{"tressel", "bench", "", drive_link::LinkDialect::Bootloader};

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The process's peak resident memory in MiB.
double peakMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

// Seconds for `units` runs of `tressel flash`, one after another; -1 when one failed.
double flashOneAtATime(int units, const QString& simulate, const QString& log) {
    QElapsedTimer clock;
    clock.start();
    for (int unit = 0; unit < units; ++unit) {
        QProcess flasher;
        flasher.setStandardInputFile(QProcess::nullDevice());
        flasher.setStandardOutputFile(QProcess::nullDevice());
        flasher.setStandardErrorFile(QProcess::nullDevice());
        flasher.start(KMR_TRESSEL, {"flash", KMR_DEMO_IMAGE, "--simulate=" + simulate,
                                    "--unit=U" + QString::number(unit), "--log=" + log});
        if (!flasher.waitForFinished(-1) || flasher.exitCode() != 0) {
            return -1;
        }
    }
    return clock.elapsed() / 1000.0;
}

station::Job writeJob(const QTemporaryDir& dir) {
    QFile job(dir.filePath("line.json"));
    job.open(QIODevice::WriteOnly);
    QString fixtures;
    for (int tile = 0; tile < kTiles; ++tile) {
        fixtures += QString(R"(%1{"name":"F%2","port":"1-%2"})").arg(tile ? "," : "").arg(tile + 1);
    }
    job.write(QString(R"({"image":"%1","sha256":"%2","log":"units.log","fixtures":[%3]})")
                  .arg(KMR_DEMO_IMAGE, command_line::sha256Of(KMR_DEMO_IMAGE), fixtures)
                  .toUtf8());
    job.close();
    return station::readJobFile(dir.filePath("line.json")).job;
}

struct StationRun {
    double seconds = -1;
    double cpu = 0;
    int passed = 0;
};

// Every tile takes its next unit as soon as it shows the last one's verdict.
StationRun runStation(const station::Job& job, int unitsPerTile, const QString& simulate) {
    std::vector<startup::StationAdapter> adapters;
    for (const station::Fixture& fixture : job.fixtures) {
        adapters.push_back({fixture.port.toStdString(), {}, false});
    }
    QString why;
    if (!startup::installStationProvider(startup::judgeAdapterOptions({}, {simulate}, kTressel),
                                         adapters, why)) {
        std::fprintf(stderr, "%s\n", qPrintable(why));
        return {};
    }
    QString logWhy;
    station::TileSettings settings;
    settings.simulated = true;
    StationRun run;
    {
        gui_station::StationWindow window(
            job, std::make_shared<station::SharedLog>(command_line::openRunLog(job.log, logWhy)),
            settings);
        window.show();
        std::vector<int> started(kTiles, 0), judged(kTiles, 0);
        const double cpuBefore = cpuSeconds();
        QElapsedTimer clock;
        clock.start();
        for (bool working = true; working;) {
            working = false;
            for (int tile = 0; tile < kTiles; ++tile) {
                gui_station::StationTile* shown = window.tile(tile);
                const QString verdict = shown->verdictText();
                if (started[tile] > judged[tile]) {
                    if (!verdict.startsWith("PASS") && !verdict.startsWith("FAIL") &&
                        !verdict.startsWith("Not started")) {
                        working = true;
                        continue;
                    }
                    ++judged[tile];
                    run.passed += verdict == "PASS";
                }
                if (started[tile] < unitsPerTile) {
                    auto* field = shown->findChild<QLineEdit*>("unitId");
                    field->setText(QString("T%1-U%2").arg(tile).arg(started[tile]++));
                    QTest::keyClick(field, Qt::Key_Return);
                    working = true;
                }
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            QThread::msleep(2);
        }
        run.seconds = clock.elapsed() / 1000.0;
        run.cpu = cpuSeconds() - cpuBefore;
    }
    installD2xxProvider(nullptr);
    return run;
}

}  // namespace

int main(int argc, char** argv) {
    chooseOffscreenUnlessAsked();
    const int unitsPerTile = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const QString latency = argc > 2 ? argv[2] : "1";
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString simulate = "latency=" + latency;
    const station::Job job = writeJob(dir);

    // The tiles' messages go to standard error as the flash subcommand's do: not into the report.
    std::fflush(stderr);
    const int keptStderr = dup(STDERR_FILENO);
    const int nowhere = open("/dev/null", O_WRONLY);
    dup2(nowhere, STDERR_FILENO);
    const StationRun station = runStation(job, unitsPerTile, simulate);
    std::fflush(stderr);
    dup2(keptStderr, STDERR_FILENO);
    close(nowhere);
    close(keptStderr);
    const double memory = peakMiB();
    const double alone = flashOneAtATime(unitsPerTile, simulate, dir.filePath("alone.log"));
    const int units = kTiles * unitsPerTile;

    std::printf(
        "Flashing station: %d simulated fixtures, the demo image (120 packets), %s ms per "
        "simulated USB transfer\n",
        kTiles, qPrintable(latency));
    std::printf("  %-34s %5s %9s %11s\n", "", "units", "seconds", "units/hour");
    if (alone > 0) {
        std::printf("  %-34s %5d %9.2f %11.0f\n", "tressel flash, one at a time", unitsPerTile,
                    alone, unitsPerTile * 3600 / alone);
    } else {
        std::printf("  tressel flash, one at a time: a run failed\n");
    }
    std::printf("  %-34s %5d %9.2f %11.0f  (%d passed)\n", "tressel station, four tiles", units,
                station.seconds, units * 3600 / station.seconds, station.passed);
    if (alone > 0) {
        std::printf("  station against one at a time: %.2f times the units per hour\n",
                    (units / station.seconds) / (unitsPerTile / alone));
    }
    std::printf(
        "  station process: CPU %.2f s for the run (%.0f %% of one core), peak memory "
        "%.1f MiB\n",
        station.cpu, 100 * station.cpu / station.seconds, memory);
    return 0;
}
