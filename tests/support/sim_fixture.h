// Puts a simulated drive behind the D2XX calls for one test.
#pragma once

#include <memory>

#include "ferrox_firmware.h"
#include "sim_adapter.h"

// Installs an adapter wired to `personality`, with zero latency. The adapter stays installed
// (and owned by the D2XX layer) until the next install.
drive_sim::SimulatedAdapter& installSimulatedDrive(
    std::unique_ptr<drive_sim::DrivePersonality> personality, drive_sim::LinkFaults faults = {});

struct FerroxBench {
    drive_sim::SimulatedAdapter& adapter;
    drive_sim::FerroxFirmware& firmware;
};

// The Ferrox firmware drive as the simulated drive runs it, scope and step test included.
FerroxBench installFerroxDrive(drive_sim::LinkFaults faults = {});
