// The configuration program's workflows, plain code over the front end: the window's buttons
// and menu entries run them, and so can a command line.
#pragma once

class MorvaneFrontEnd;

// Opens the adapter, has the user restart the drive, identifies drive and firmware, and imports
// the drive's settings; connected only when every step passed.
void connectDrive(MorvaneFrontEnd& frontEnd);
// Disables the drive, writes and stores the settings, clears faults and enables it again.
void applySettings(MorvaneFrontEnd& frontEnd);
void disableDrive(MorvaneFrontEnd& frontEnd);
void showDiagnosis(MorvaneFrontEnd& frontEnd);
// The settings file; neither touches the drive, so both work while disconnected.
void saveSettingsFile(MorvaneFrontEnd& frontEnd);
void openSettingsFile(MorvaneFrontEnd& frontEnd);
