// A scenario plays workflows against a recording front end and a simulated drive; its
// transcript is compared with tests/golden/<name>.txt.
#pragma once

#include <QString>
#include <functional>
#include <vector>

#include "drive_link.h"

struct Scenario {
    const char* name;
    std::function<QString()> play;  // the transcript of frames and front-end events
};

std::vector<Scenario> morvaneScenarios();
std::vector<Scenario> tresselScenarios();

// The test's waits go into the transcript instead of blocking.
class Transcript;

// The link every scenario's session works on: the dialect it asks for, in the mode the runner
// plays the scenarios in, with its trace going into the transcript.
void setUpScenarioLink(drive_link::Link& link);
drive_link::LinkSettings scenarioLinkSettings();
