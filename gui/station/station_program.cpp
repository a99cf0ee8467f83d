#include "station_program.h"

#include <QApplication>
#include <QStringList>
#include <cstdio>
#include <cstring>

#include "exit_codes.h"
#include "job_file.h"
#include "run_log.h"
#include "startup.h"
#include "station_provider.h"
#include "station_window.h"

namespace gui_station {

bool asksForStation(int argc, char** argv) {
    return argc > 1 && std::strcmp(argv[1], "station") == 0;
}

int runStation(int argc, char** argv, const startup::ProgramInfo& info) {
    if (!startup::displayAvailable(argc, argv)) {
        std::fprintf(stderr, "%s: no display to show the station on.\n", info.name);
        return 1;
    }
    startup::followDesktopScaling();
    QApplication app(argc, argv);
    QStringList jobs, simulate;
    for (const QString& argument : app.arguments().mid(2)) {
        if (argument == "--simulate" || argument.startsWith("--simulate=")) {
            simulate += argument.mid(int(std::strlen("--simulate=")));
        } else if (argument.startsWith('-')) {
            startup::printRefusal(info, "station takes JOB and --simulate only, not " + argument);
            return command_line::kExitBadCommandLine;
        } else {
            jobs += argument;
        }
    }
    if (jobs.size() != 1) {
        startup::printRefusal(info, "station takes one JOB");
        return command_line::kExitBadCommandLine;
    }
    startup::StartupChoice choice = startup::judgeAdapterOptions({}, simulate, info);
    if (choice.exitNow) {
        return choice.exitCode;
    }
    const station::JobReading reading = station::readJobFile(jobs.front());
    if (!reading.accepted) {
        startup::printRefusal(info, reading.refusal);
        return command_line::kExitBadCommandLine;
    }
    const station::Job& job = reading.job;
    QString why;
    std::unique_ptr<command_line::RunLog> log;
    if (!job.log.isEmpty() && !(log = command_line::openRunLog(job.log, why))) {
        std::fprintf(stderr, "%s: %s\n", info.name, qPrintable(why));
        return command_line::kExitFileRefused;
    }
    std::vector<startup::StationAdapter> adapters;
    for (const station::Fixture& fixture : job.fixtures) {
        adapters.push_back({fixture.port.toStdString(), fixture.simulate.toStdString(),
                            !job.settingsPath.isEmpty()});
    }
    if (!startup::installStationProvider(choice, adapters, why)) {
        startup::printRefusal(info, why);
        return command_line::kExitBadCommandLine;
    }
    startup::applyWidgetStyle(app);
    station::TileSettings settings;
    settings.simulated = choice.simulate;
    StationWindow window(job, std::make_shared<station::SharedLog>(std::move(log)), settings);
    window.show();
    return app.exec();
}

}  // namespace gui_station
