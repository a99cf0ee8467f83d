#include "provider_choice.h"

#include <cstdio>

#include "drive_state.h"
#include "provider.h"
#include "sim_options.h"

namespace startup {

bool adapterIsAmbiguous(const StartupChoice& choice, const ProgramInfo& info) {
    if (choice.simulate || !choice.adapter.empty() || countLibftdiAdapters() < 2) {
        return false;
    }
    std::fprintf(stderr,
                 "%s: several FTDI adapters are plugged in; name the one to use with "
                 "--adapter=SERIAL|BUS:DEV|PORT:\n",
                 info.name);
    listLibftdiAdapters(stderr);
    return true;
}

std::string simulatedDriveStateFile(const StartupChoice& choice) {
    return choice.simulation ? choice.simulation->stateFile : std::string();
}

bool simulatedDriveStateLost() {
    // The drive's changes of its last 200 ms are saved now, while the run can still report it.
    drive_sim::saveDriveStatesNow();
    return drive_sim::driveStateLost();
}

void installProvider(const StartupChoice& choice) {
    if (choice.simulate) {
        const drive_sim::SimOptions sim =
            choice.simulation ? *choice.simulation : drive_sim::SimOptions{};
        uint64_t seed = 0;
        installD2xxProvider(drive_sim::makeSimulatedAdapter(sim, &seed));
        // A noisy run is worth replaying only when its seed is known.
        if (sim.bitErrorRate > 0.0 && !sim.seed) {
            std::fprintf(stderr, "Simulated line: bit-error rate %g, seed=%llu\n", sim.bitErrorRate,
                         static_cast<unsigned long long>(seed));
        }
    } else {
        installD2xxProvider(makeLibftdiProvider(choice.adapter));
    }
}

}  // namespace startup
