// The --simulate option: its KEY=VALUE list, and the simulated drive it describes.
#include "sim_options.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <locale>
#include <sstream>

#include "bootloader.h"
#include "drive_state.h"
#include "ferrox_factory.h"
#include "fixture_drive.h"
#include "scope_bench.h"
#include "whole_number.h"

namespace drive_sim {

namespace {
constexpr double kMaxLatencyMs = 1000.0;
// Long enough for any look at a late fixture; longer only leaves a tile waiting.
constexpr double kMaxPlugInAfterS = 3600.0;

// One key whose value is a number: where it goes, its unit and the range it may take (for the
// mechanics, the range a machine on this drive can have).
struct NumberKey {
    const char* key;
    double& (*field)(SimOptions&);
    const char* unit;  // none: a plain number
    double lowest;
    double highest;
    bool lowestAllowed;  // otherwise the value must lie above `lowest`
};
constexpr NumberKey kNumberKeys[] = {
    {"ber", [](SimOptions& o) -> double& { return o.bitErrorRate; }, nullptr, 0.0, 1.0, true},
    // A transfer slower than the link's own read time-out only stalls the program.
    {"latency", [](SimOptions& o) -> double& { return o.latencyMs; }, "milliseconds", 0.0,
     kMaxLatencyMs, true},
    {"plug_in_after", [](SimOptions& o) -> double& { return o.plugInAfterS; }, "seconds", 0.0,
     kMaxPlugInAfterS, true},
    {"inertia", [](SimOptions& o) -> double& { return o.mechanics.inertia; }, "kg m^2", 0.0, 1.0,
     false},
    {"viscous", [](SimOptions& o) -> double& { return o.mechanics.viscousFriction; }, "Nm s/rad",
     0.0, 1.0, true},
    {"coulomb", [](SimOptions& o) -> double& { return o.mechanics.coulombFriction; }, "Nm", 0.0,
     10.0, true},
    {"load", [](SimOptions& o) -> double& { return o.mechanics.load; }, "Nm", -10.0, 10.0, true},
    {"kt", [](SimOptions& o) -> double& { return o.mechanics.torqueConstant; }, "Nm/A", 0.0, 10.0,
     false},
    {"gain_scale", [](SimOptions& o) -> double& { return o.mechanics.gainScale; },
     "times the factory scaling", 0.0, 100.0, false},
};

// Numbers are read in the C locale whatever the desktop's locale, so "1e-3" and "0.5" always
// mean the same.
bool parseNumber(const std::string& text, double& number) {
    // One stream for every number: making one and its locale is most of the work.
    static thread_local std::istringstream in = [] {
        std::istringstream stream;
        stream.imbue(std::locale::classic());
        return stream;
    }();
    in.clear();
    in.str(text);
    in >> number;
    return !text.empty() && !in.fail() && in.peek() == std::char_traits<char>::eof() &&
           std::isfinite(number);
}

// Whether the drive has a parameter of this number. Its factory table is built at every call,
// and a text may name many clamps: it is built once here.
bool isDriveParameter(uint64_t number) {
    static const std::map<uint16_t, uint16_t> factory = ferroxFactoryParameters();
    return factory.count(uint16_t(number)) > 0;
}

bool applyOption(const std::string& key, const std::string& value, SimOptions& options,
                 std::string& error) {
    if (key == "mode") {
        if (value == "firmware") {
            options.mode = DriveMode::Firmware;
        } else if (value == "bootloader") {
            options.mode = DriveMode::Bootloader;
        } else {
            error = "mode must be firmware or bootloader, not '" + value + "'";
            return false;
        }
        return true;
    }
    if (key == "after_flash") {
        if (value == "firmware" || value == "bootloader") {
            options.afterFlash = value == "firmware" ? DriveMode::Firmware : DriveMode::Bootloader;
            return true;
        }
        error = "after_flash must be firmware or bootloader, not '" + value + "'";
        return false;
    }
    if (key == "power") {
        if (value == "on" || value == "off") {
            options.powered = value == "on";
            return true;
        }
        error = "power must be on or off, not '" + value + "'";
        return false;
    }
    if (key == "seed") {
        uint64_t seed = 0;
        if (!parseWholeNumber(value, UINT64_MAX, seed)) {
            error =
                "seed must be a whole number from 0 to 18446744073709551615, not '" + value + "'";
            return false;
        }
        options.seed = seed;
        return true;
    }
    if (key == "state") {
        if (value.empty()) {
            error = "state needs a file name";
            return false;
        }
        options.stateFile = value;  // read once the whole text is judged
        return true;
    }
    if (key == "clamp") {
        const size_t colon = value.find(':');
        uint64_t param = 0;
        uint64_t most = 0;
        if (colon == std::string::npos ||
            !parseWholeNumber(value.substr(0, colon), 0xFFFF, param) || !isDriveParameter(param) ||
            !parseWholeNumber(value.substr(colon + 1), 0xFFFF, most)) {
            error =
                "clamp must be NUMBER:MAX, a parameter number of the drive and a whole number "
                "from 0 to 65535, not '" +
                value + "'";
            return false;
        }
        options.writeLimits[uint16_t(param)] = uint16_t(most);
        return true;
    }
    for (const NumberKey& numeric : kNumberKeys) {
        if (key != numeric.key) {
            continue;
        }
        double number = 0.0;
        const bool parsed = parseNumber(value, number);
        const bool inRange =
            number <= numeric.highest &&
            (numeric.lowestAllowed ? number >= numeric.lowest : number > numeric.lowest);
        if (!parsed || !inRange) {
            std::ostringstream message;
            message.imbue(std::locale::classic());
            message << key << " must be a number" << (numeric.unit ? " of " : "")
                    << (numeric.unit ? numeric.unit : "") << " from " << numeric.lowest
                    << (numeric.lowestAllowed ? "" : " (not included)") << " to " << numeric.highest
                    << ", not '" << value << "'";
            error = message.str();
            return false;
        }
        numeric.field(options) = number;
        return true;
    }
    error = "unknown key '" + key +
            "' (the keys are mode, after_flash, power, ber, latency, seed, state, clamp, "
            "plug_in_after, inertia, viscous, coulomb, load, kt and gain_scale)";
    return false;
}
}  // namespace

bool parseSimOptions(const std::string& text, SimOptions& options, std::string& error) {
    SimOptions parsed = options;  // a refused text leaves the caller's options untouched
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(',', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string entry = text.substr(start, end - start);
        size_t equals = entry.find('=');
        if (entry.empty() || equals == std::string::npos || equals == 0) {
            error = "expected KEY=VALUE, not '" + entry + "'";
            return false;
        }
        if (!applyOption(entry.substr(0, equals), entry.substr(equals + 1), parsed, error)) {
            return false;
        }
        start = end + 1;
        if (end + 1 == text.size()) {
            error = "expected KEY=VALUE after the last ','";
            return false;
        }
    }
    // One state file is one drive in one mode: it keeps either the flash or the settings.
    if (parsed.afterFlash == DriveMode::Firmware && !parsed.stateFile.empty()) {
        error = "after_flash=firmware keeps no state file";
        return false;
    }
    // Read now, so that a damaged file is refused with the option; once, for the last state=,
    // which replaces any before it as every key given again does.
    if (parsed.stateFile != options.stateFile &&
        !loadDriveState(parsed.stateFile, parsed.storedState, error)) {
        return false;
    }
    options = parsed;
    return true;
}

std::unique_ptr<FerroxFirmware> makeFerroxFirmware(const AxisMechanics& mechanics,
                                                   uint64_t noiseSeed) {
    auto firmware = std::make_unique<FerroxFirmware>();
    firmware->setExtension(std::make_unique<ScopeBench>(noiseSeed, mechanics));
    return firmware;
}

namespace {
std::unique_ptr<FerroxFirmware> limitedFirmware(const SimOptions& options) {
    // A given seed replays the sensor's noise too; without one the noise stays the same run to
    // run, so that a fresh line seed changes only the line.
    auto firmware = makeFerroxFirmware(options.mechanics, options.seed.value_or(1));
    for (const auto& [param, most] : options.writeLimits) {
        firmware->setWriteLimit(param, most);
    }
    return firmware;
}
}  // namespace

std::unique_ptr<SimulatedAdapter> makeSimulatedAdapter(const SimOptions& options,
                                                       uint64_t* seedUsed) {
    const bool keepsState = !options.stateFile.empty();
    std::unique_ptr<DrivePersonality> drive;
    if (options.mode == DriveMode::Bootloader && options.afterFlash == DriveMode::Firmware) {
        drive = std::make_unique<FixtureDrive>(makeBootloader(BootloaderSettings{}),
                                               limitedFirmware(options));
    } else if (options.mode == DriveMode::Bootloader) {
        auto bootloader = makeBootloader(BootloaderSettings{});
        if (keepsState) {
            keepDriveState(*bootloader, options.stateFile, options.storedState);
        }
        drive = std::move(bootloader);
    } else {
        auto firmware = limitedFirmware(options);
        if (keepsState) {
            keepDriveState(*firmware, options.stateFile, options.storedState);
        }
        drive = std::move(firmware);
    }
    LinkFaults faults;
    if (!options.powered) {
        faults.line = LineFault::StuckHigh;  // no drive on the line: the pull-up wins
    }
    faults.bitErrorRate = options.bitErrorRate;
    faults.seed = options.seed.value_or(
        uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()));
    if (seedUsed) {
        *seedUsed = faults.seed;
    }
    auto adapter =
        std::make_unique<SimulatedAdapter>(std::move(drive), std::move(faults), options.latencyMs);
    adapter->keepLogs(false);  // nothing reads them, and a long session would carry them
    adapter->plugInAt(std::chrono::steady_clock::now() +
                      std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                          std::chrono::duration<double>(options.plugInAfterS)));
    return adapter;
}

}  // namespace drive_sim
