// The configuration program's workflows, plain code over the front end: the window's buttons
// and menu entries run them, and so can a command line. Each returns how it ended; every failure
// has been shown by then, so the window may ignore it and a command line reports it.
#pragma once

#include <QString>
#include <optional>

#include "drive_link.h"
#include "front_end.h"
#include "settings_table.h"

namespace config_tool {

class MorvaneFrontEnd;

// Connect's outcome and the firmware version it read: -1 when none was read, or when the link
// was lost after it (the front end then is disconnected and holds no version either).
struct ConnectOutcome {
    drive_link::Outcome outcome;
    int firmwareVersion = -1;
};

// The diagnosis and the report it showed; an empty report when it showed none.
struct DiagnosisOutcome {
    drive_link::Outcome outcome;
    QString report;
};

// Opens the adapter, has the user restart the drive, identifies drive and firmware, and imports
// the drive's settings; connected only when every step passed.
ConnectOutcome connectDrive(drive_link::Link& link, MorvaneFrontEnd& frontEnd);
// Disables the drive, writes and stores the settings, clears faults and enables it again.
drive_link::Outcome applySettings(drive_link::Link& link, MorvaneFrontEnd& frontEnd);
// The same with the faults cleared before the store, for settings that follow a test which may
// have tripped the drive: the settings memory must not keep that fault.
drive_link::Outcome applySettingsClearingFaultsFirst(drive_link::Link& link,
                                                     MorvaneFrontEnd& frontEnd);
drive_link::Outcome disableDrive(drive_link::Link& link, MorvaneFrontEnd& frontEnd);
// Reads the registers and readings and shows the report; refused (no drive) while disconnected.
DiagnosisOutcome showDiagnosis(drive_link::Link& link, MorvaneFrontEnd& frontEnd);
// The settings file; neither touches the drive, so both work while disconnected. Each is
// cancelled when no file was chosen (or Save may not replace the file with the suffix added).
// Save fails on settings that Apply would refuse and on a file not written. Open fails on a
// file it cannot read, and on one it loaded only with complaints (a missing parameter, another
// version): the window keeps the values shown, a script must not use them.
drive_link::Outcome saveSettingsFile(MorvaneFrontEnd& frontEnd);
drive_link::Outcome openSettingsFile(MorvaneFrontEnd& frontEnd);
// Open configuration as a script needs it, before any drive work so that a refused file costs
// none: `fromFile` gets the file's settings as the form holds them. A file that the window would
// load only with a warning (a missing parameter, another version) is refused: nobody looks at the
// values before they reach the drive. So are settings that Apply would refuse, before it has
// disabled the drive.
drive_link::Outcome openCheckedSettings(MorvaneFrontEnd& frontEnd, DriveSettings& fromFile);

// A settings file asked for, read and judged as Open judges it, each complaint shown, the front
// end's settings untouched. `settings` holds the file's values wherever Open would show them (a
// missing parameter as 555); `outcome` is Open's.
struct SettingsFileOutcome {
    drive_link::Outcome outcome;
    std::optional<DriveSettings> settings;
    QString name;  // as chosen; empty when cancelled
};
SettingsFileOutcome chooseSettingsFile(MorvaneFrontEnd& frontEnd);

}  // namespace config_tool
