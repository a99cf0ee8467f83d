// The --simulate[=KEY=VALUE,...] option of both programs and the simulated drive it builds.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "drive_state.h"
#include "ferrox_firmware.h"
#include "servo_model.h"
#include "sim_adapter.h"

namespace drive_sim {

enum class DriveMode { Firmware, Bootloader };

struct SimOptions {
    DriveMode mode = DriveMode::Firmware;
    // What a drive started in bootloader mode runs at the power-up after a verified flash:
    // Firmware for a fixture that configures it (the jumper pulled), once, then the bootloader
    // again for the next unit.
    DriveMode afterFlash = DriveMode::Bootloader;
    bool powered = true;
    double bitErrorRate = 0.0;
    double latencyMs = 0.25;       // small, but enough to watch progress
    std::optional<uint64_t> seed;  // of the line's faults; a fresh one each run when not given
    std::string stateFile;         // what the drive keeps across runs; none: the factory drive
    DriveState storedState;        // read from stateFile when the options were parsed
    std::map<uint16_t, uint16_t> writeLimits;  // parameter number -> the most the drive keeps
    AxisMechanics mechanics;                   // of both axes
    // The adapter is on the bus only this long after it was made: until then it is not among
    // the present ports and does not open, as a fixture whose cable is plugged in late.
    double plugInAfterS = 0.0;
};

// Parses
// "mode=firmware,after_flash=firmware,power=off,ber=1e-3,latency=1,seed=7,state=FILE,clamp=NUMBER:MAX,
// plug_in_after=SECONDS"
// and the axis's mechanics "inertia=2e-5,viscous=2e-5,coulomb=0.004,load=0,kt=0.05,gain_scale=1" on
// top of the defaults in `options`. An empty text keeps the defaults. Returns false with a message
// in `error` on a bad key or value, a damaged or foreign state file among them.
bool parseSimOptions(const std::string& text, SimOptions& options, std::string& error);

// The Ferrox firmware with its scope and step-test add-on, as the simulated drive runs it.
std::unique_ptr<FerroxFirmware> makeFerroxFirmware(const AxisMechanics& mechanics = {},
                                                   uint64_t noiseSeed = 1);

// An adapter wired to the drive the options describe, ready to install as the D2XX provider,
// keeping no log of its calls and frames.
// `seedUsed` receives the seed of its line, the given one or the fresh one. A state file that
// cannot be read any more (changed since it was parsed) is reported on standard error and left
// alone: the drive then starts from the factory and keeps nothing.
std::unique_ptr<SimulatedAdapter> makeSimulatedAdapter(const SimOptions& options,
                                                       uint64_t* seedUsed = nullptr);

}  // namespace drive_sim
