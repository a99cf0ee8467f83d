// Pictures the flashing station with four simulated fixtures once each has judged its unit:
// two pass, one passes on its retry after a noisy line, one holds a drive in firmware mode and
// fails; the job flashes tools/demo/demo.vlf. Run from the repository.
//   QT_QPA_PLATFORM=offscreen take_station_screenshot [--scale=2] docs
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QThread>

#include "job_file.h"
#include "provider.h"
#include "run_log.h"
#include "run_result.h"
#include "screenshot_run.h"
#include "startup.h"
#include "station_provider.h"
#include "station_tile.h"
#include "station_window.h"

int main(int argc, char** argv) {
    const screenshots::Run run = screenshots::readRun(argc, argv);
    startup::followDesktopScaling();
    QApplication app(argc, argv);
    startup::applyWidgetStyle(app);
    QTemporaryDir dir;
    const QString image = QDir::current().absoluteFilePath("tools/demo/demo.vlf");
    QFile jobFile(dir.filePath("line-7.json"));
    jobFile.open(QIODevice::WriteOnly);
    jobFile.write(QString(R"({"image":"%1","sha256":"%2","retries":1,"log":"units.log",
        "fixtures":[{"name":"Fixture 1","port":"1-1.1"},
                    {"name":"Fixture 2","port":"1-1.2","simulate":"ber=5e-7,seed=1"},
                    {"name":"Fixture 3","port":"1-1.3","simulate":"mode=firmware"},
                    {"name":"Fixture 4","port":"1-1.4"}]})")
                      .arg(image, command_line::sha256Of(image))
                      .toUtf8());
    jobFile.close();
    const station::JobReading reading = station::readJobFile(jobFile.fileName());
    if (!reading.accepted) {
        std::fprintf(stderr, "%s\n", qPrintable(reading.refusal));
        return 1;
    }
    const startup::ProgramInfo tressel{"tressel", "", "", drive_link::LinkDialect::Bootloader};
    std::vector<startup::StationAdapter> adapters;
    for (const station::Fixture& fixture : reading.job.fixtures) {
        adapters.push_back({fixture.port.toStdString(), fixture.simulate.toStdString(), false});
    }
    QString why;
    if (!startup::installStationProvider(
            startup::judgeAdapterOptions({}, {"latency=0,seed=40"}, tressel), adapters, why)) {
        std::fprintf(stderr, "%s\n", qPrintable(why));
        return 1;
    }
    station::TileSettings settings;
    settings.simulated = true;
    QString logWhy;
    {
        gui_station::StationWindow window(
            reading.job,
            std::make_shared<station::SharedLog>(command_line::openRunLog(reading.job.log, logWhy)),
            settings);
        window.resize(1100, 460);
        window.show();
        const int tiles = int(reading.job.fixtures.size());
        for (int tile = 0; tile < tiles; ++tile) {
            auto* field = window.tile(tile)->findChild<QLineEdit*>("unitId");
            field->setText(QString("KMR20-%1").arg(4711 + tile));
            QMetaObject::invokeMethod(field, "returnPressed");
        }
        const auto judged = [&] {
            for (int tile = 0; tile < tiles; ++tile) {
                const QString verdict = window.tile(tile)->verdictText();
                if (!verdict.startsWith("PASS") && !verdict.startsWith("FAIL")) {
                    return false;
                }
            }
            return true;
        };
        QElapsedTimer clock;
        clock.start();
        while (!judged() && clock.elapsed() < 300000) {
            QApplication::processEvents(QEventLoop::AllEvents, 50);
            QThread::msleep(10);
        }
        QApplication::processEvents();
        for (int tile = 0; tile < tiles; ++tile) {
            std::fprintf(stderr, "tile %d: %s\n", tile + 1,
                         qPrintable(window.tile(tile)->verdictText().replace('\n', ' ')));
        }
        std::fprintf(stderr, "%s\n", qPrintable(window.yieldText()));
        screenshots::save(run, window, "station.png");
    }
    installD2xxProvider(nullptr);
    return 0;
}
