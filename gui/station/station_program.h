// `tressel station JOB [--simulate[=KEY=VALUE,...]]`: the flashing station's window for a job.
#pragma once

#include "startup_options.h"

namespace gui_station {

// Whether the command line asks for the station.
bool asksForStation(int argc, char** argv);
// Reads the job, opens its log and its adapters (or the simulated ones) and shows the window
// until it closes. A refused line or job starts nothing: a message and exit code 2 (3 for a log
// that cannot be opened).
int runStation(int argc, char** argv, const startup::ProgramInfo& info);

}  // namespace gui_station
