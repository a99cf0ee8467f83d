// The job a flashing station runs: one image for every fixture of the line, how often a unit may
// be tried again, where each unit's line goes, and the fixtures by USB port path so that a tile
// stays with its fixture across replugs. An engineer writes it once; the station only reads it.
#pragma once

#include <QString>
#include <QVector>

namespace station {

struct Fixture {
    QString name;
    QString port;               // USB port path of the fixture's adapter
    QString powerCycleCommand;  // empty: the operator (or the simulated drive) cycles the power
    QString simulate;           // extra --simulate keys for this fixture's simulated drive
};

struct Job {
    QString name;         // the job file's base name, for the window's title
    QString imagePath;    // absolute
    QString imageSha256;  // lower-case hex, as checked against the image
    int retries = 0;
    QString settingsPath;    // absolute, empty when the job restores no settings
    QString settingsSha256;  // of the settings file as it was checked when the job was read
    QString log;             // a file (absolute) or "journal", empty for none
    QVector<Fixture> fixtures;
};

struct JobReading {
    bool accepted = false;
    QString refusal;  // why the job was refused, for the operator
    Job job;
};

// The most a unit is tried again, as on the command line.
constexpr int kMostJobRetries = 10;

// Reads and checks the job; a job that is refused starts nothing.
JobReading readJobFile(const QString& path);

}  // namespace station
