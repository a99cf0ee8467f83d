// What a simulated drive keeps across power-offs (the firmware's stored settings, the
// bootloader's flash), in a small file that outlives the process, so that the next run with the
// same file meets the same drive. One file holds both parts: the drive is the same in either mode.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "bootloader.h"
#include "ferrox_firmware.h"

namespace drive_sim {

struct DriveState {
    // The firmware's stored settings where they differ from the factory's.
    std::map<uint16_t, uint16_t> storedParamChanges;
    // The bootloader's whole flash; empty while it still holds what the factory put there.
    std::vector<uint16_t> flash;
};

// Reads the state file at `path`. A file that does not exist yet is the factory drive, as long
// as its folder exists (the file is made at the first change). A damaged or foreign file is
// refused with a one-line message naming it.
bool loadDriveState(const std::string& path, DriveState& state, std::string& error);

// The same on the file's text already read: false, with why, for a damaged or foreign text.
// Whatever `state` held is replaced; its flash's storage is used again.
bool parseDriveState(const std::string& text, DriveState& state, std::string& why);
// The file's text for `state`, as saveDriveState writes it.
std::string driveStateText(const DriveState& state);

// Replaces the file at `path` as a whole: a crash leaves the old file or the new one.
bool saveDriveState(const std::string& path, const DriveState& state, std::string& error);

// Gives the drive its part of `loaded` and rewrites the file at `path` when that part changes
// (a Store; an erase or a programmed packet), at most every 200 ms while the changes go on, and
// at the latest when the drive is destroyed. A file that cannot be written is reported once on
// standard error; the drive goes on.
void keepDriveState(FerroxFirmware& firmware, const std::string& path, DriveState loaded);
void keepDriveState(SimulatedBootloader& bootloader, const std::string& path, DriveState loaded);

// Saves at once what the drives alive now have changed and not saved yet, which they would
// otherwise save only when they go: a program that must say whether its work was kept calls
// this before it asks driveStateLost.
void saveDriveStatesNow();

// Whether a state file could not be written since the program started (said on standard error):
// the run's work was done on a drive that has forgotten it.
bool driveStateLost();

}  // namespace drive_sim
