// The settings of both axes between the front end and either the drive or a settings file.
// One order serves both destinations so that a file always holds what Apply would send.
#pragma once

#include <QByteArray>
#include <QStringList>
#include <vector>

#include "settings_table.h"

#include "drive_link.h"
#include "front_end.h"

namespace config_tool {

class MorvaneFrontEnd;

// Done when no continuous current exceeds its peak current; otherwise shows "Settings error" and
// fails as the drive would refuse them.
drive_link::Outcome validSettings(MorvaneFrontEnd& frontEnd, const DriveSettings& settings);

// Each transfer is done, or failed with what it showed. Checks the settings (validSettings),
// writes them with setParam and reports the link.
drive_link::Outcome exportSettingsToDrive(drive_link::Link& link, MorvaneFrontEnd& frontEnd);
// The same check, then the settings file's text.
drive_link::Outcome exportSettingsToText(MorvaneFrontEnd& frontEnd, QByteArray& text);

// Reads every setting from the drive and reports the link; only a complete set reaches the front
// end, so a lost link leaves it as it was.
drive_link::Outcome importSettingsFromDrive(drive_link::Link& link, MorvaneFrontEnd& frontEnd);
// The settings file's text: one element per parameter, in the order on the wire.
QByteArray settingsFileText(const DriveSettings& settings);

// A warning of a settings file's load: a message through the translation, with its arguments
// (none, or the element as the file names it and the file's text, then the range) as rich text.
struct SettingsWarning {
    const char* text;
    QStringList arguments;
};
// The warning's message for its translated text.
QString warningMessage(const SettingsWarning& warning, const QString& translated);

// A settings file's text as Open takes it, with no front end: refused with the one message Open
// shows, or the settings it holds and the warnings Open shows before them (another version's,
// then, in the order of the parameters, "Error in config file" for each the file lacks, which
// then holds 555, or the value that is no content of its field; then each element given twice
// or naming no setting). A file loaded with warnings is shown all the same, but refused as a
// whole.
// A file of another version is read as the earlier versions read it (a value that is no number
// is 0, one out of range is clamped by the field): its version's warning already refuses it.
struct SettingsFileLoad {
    const char* refusal = nullptr;  // "File read failed" or "Not a Ferrox settings file"
    std::vector<SettingsWarning> warnings;
    DriveSettings settings;
};
SettingsFileLoad loadSettingsText(const QByteArray& text);

// The read-back and the settings the drive holds otherwise than they were sent.
struct ReadBackOutcome {
    drive_link::Outcome outcome;
    QStringList differences;  // "parameter N sent A, found B"; none when the link was lost
};
// Reads every setting back from the drive and shows a "Read-back" failure for each difference,
// with both values; the front end's settings stay as they are. Fails as the drive when there are
// differences, and as the link when it was lost (reported as such).
ReadBackOutcome checkSettingsOnDrive(drive_link::Link& link, MorvaneFrontEnd& frontEnd,
                                     const DriveSettings& sent);

}  // namespace config_tool
