// The settings of both axes between the front end and either the drive or a settings document.
// One order serves both destinations so that a file always holds what Apply would send.
#pragma once

#include <QStringList>

#include "front_end.h"

class QDomElement;

namespace config_tool {

class MorvaneFrontEnd;
struct DriveSettings;
struct SettingsDocument;

// Done when no continuous current exceeds its peak current; otherwise shows "Settings error" and
// fails as the drive would refuse them.
drive_link::Outcome validSettings(MorvaneFrontEnd& frontEnd, const DriveSettings& settings);

// Each transfer is done, or failed with what it showed. Checks the settings (validSettings),
// writes them with setParam and reports the link.
drive_link::Outcome exportSettingsToDrive(MorvaneFrontEnd& frontEnd);
// The same check, then one element per parameter below the document's root.
drive_link::Outcome exportSettingsToDocument(MorvaneFrontEnd& frontEnd, SettingsDocument& settings);

// Reads every setting from the drive and reports the link; only a complete set reaches the front
// end, so a lost link leaves it as it was.
drive_link::Outcome importSettingsFromDrive(MorvaneFrontEnd& frontEnd);
// Takes every setting from the document, with "Error in config file" and the value 555 for each
// one it lacks; `settings` gets them all, but a document that lacked one is refused. The front
// end's own settings stay as they are.
drive_link::Outcome settingsFromDocument(MorvaneFrontEnd& frontEnd, const QDomElement& root,
                                         DriveSettings& settings);

// The read-back and the settings the drive holds otherwise than they were sent.
struct ReadBackOutcome {
    drive_link::Outcome outcome;
    QStringList differences;  // "parameter N sent A, found B"; none when the link was lost
};
// Reads every setting back from the drive and shows a "Read-back" failure for each difference,
// with both values; the front end's settings stay as they are. Fails as the drive when there are
// differences, and as the link when it was lost (reported as such).
ReadBackOutcome checkSettingsOnDrive(MorvaneFrontEnd& frontEnd, const DriveSettings& sent);

}  // namespace config_tool
