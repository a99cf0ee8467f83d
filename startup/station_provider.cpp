#include "station_provider.h"

#include <chrono>

#include "provider.h"
#include "sim_options.h"
#include "sim_station.h"

namespace startup {

bool installStationProvider(const StartupChoice& choice,
                            const std::vector<StationAdapter>& adapters, QString& why) {
    if (!choice.simulate) {
        installD2xxProvider(makeLibftdiProvider());
        return true;
    }
    const drive_sim::SimOptions line =
        choice.simulation ? *choice.simulation : drive_sim::SimOptions{};
    const uint64_t lineSeed =
        line.seed.value_or(uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()));
    auto station = std::make_unique<drive_sim::SimulatedStation>();
    for (size_t index = 0; index < adapters.size(); ++index) {
        drive_sim::SimOptions fixture = line;
        fixture.seed.reset();
        if (adapters[index].configuredAfterFlash) {
            fixture.afterFlash = drive_sim::DriveMode::Firmware;
        }
        std::string error;
        if (!drive_sim::parseSimOptions(adapters[index].simulateKeys, fixture, error)) {
            why = QString("fixture %1: simulate: %2")
                      .arg(index + 1)
                      .arg(QString::fromStdString(error));
            return false;
        }
        if (!fixture.seed) {
            fixture.seed = lineSeed + index;
        }
        station->plugIn(adapters[index].portPath, drive_sim::makeSimulatedAdapter(fixture));
    }
    installD2xxProvider(std::move(station));
    return true;
}

}  // namespace startup
