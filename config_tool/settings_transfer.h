// The settings of both axes between the front end and either the drive or a settings document.
// One order serves both destinations so that a file always holds what Apply would send.
#pragma once

#include <QStringList>

class MorvaneFrontEnd;
class QDomElement;
struct DriveSettings;
struct SettingsDocument;

// Whether no continuous current exceeds its peak current; shows "Settings error" when one does.
bool validSettings(MorvaneFrontEnd& frontEnd, const DriveSettings& settings);

// Checks the settings ("Settings error" box when a continuous current exceeds its peak
// current), writes them with setParam and reports the link. True when the settings were valid
// and the link survived.
bool exportSettingsToDrive(MorvaneFrontEnd& frontEnd);
// The same check, then one element per parameter below the document's root.
bool exportSettingsToDocument(MorvaneFrontEnd& frontEnd, SettingsDocument& settings);

// Reads every setting from the drive and reports the link. Returns whether the link was reported
// lost; only a complete set reaches the front end, so a lost link leaves it as it was.
bool importSettingsFromDrive(MorvaneFrontEnd& frontEnd);
// Takes every setting from the document, with "Error in config file" and the value 555 for each
// one it lacks.
void importSettingsFromDocument(MorvaneFrontEnd& frontEnd, const QDomElement& root);

// Reads every setting back from the drive and shows a "Read-back" failure for each one that the
// drive holds otherwise than it was sent, with both values; the front end's settings stay as they
// are. Returns those differences; none when the link was lost (that is reported as such).
QStringList checkSettingsOnDrive(MorvaneFrontEnd& frontEnd, const DriveSettings& sent);
