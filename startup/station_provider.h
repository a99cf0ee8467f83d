// The D2XX provider of a flashing station: one adapter per fixture, all open at once, each
// opened by its USB port path. Simulated, each fixture gets an adapter and a drive of its own.
#pragma once

#include <QString>
#include <string>
#include <vector>

#include "startup_options.h"

namespace startup {

struct StationAdapter {
    std::string portPath;
    std::string simulateKeys;  // more --simulate keys for this fixture's simulated drive
    // The job configures each unit after its flash: a simulated drive then runs its firmware
    // at the power-up after a verified flash, as if the operator had pulled its jumper.
    bool configuredAfterFlash = false;
};

// Installs the provider for `adapters`: the libftdi1 provider, which opens each by its port path,
// or, with --simulate, a simulated adapter and drive at each port, with the --simulate keys and
// then the fixture's own. The fixture at index i gets the line seed + i (unless its own keys
// name a seed), so one seed replays the whole station. False, with the reason, when a fixture's
// keys are refused; nothing is installed then.
bool installStationProvider(const StartupChoice& choice,
                            const std::vector<StationAdapter>& adapters, QString& why);

}  // namespace startup
