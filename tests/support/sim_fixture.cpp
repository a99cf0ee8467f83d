#include "sim_fixture.h"

#include "drive_link.h"
#include "provider.h"
#include "sim_options.h"

drive_sim::SimulatedAdapter& installSimulatedDrive(
    std::unique_ptr<drive_sim::DrivePersonality> personality, drive_sim::LinkFaults faults) {
    auto adapter = std::make_unique<drive_sim::SimulatedAdapter>(std::move(personality),
                                                                 std::move(faults), 0.0);
    drive_sim::SimulatedAdapter& ref = *adapter;
    installD2xxProvider(std::move(adapter));
    return ref;
}

FerroxBench installFerroxDrive(drive_sim::LinkFaults faults) {
    auto firmware = drive_sim::makeFerroxFirmware();
    drive_sim::FerroxFirmware& firmwareRef = *firmware;
    drive_sim::SimulatedAdapter& adapter =
        installSimulatedDrive(std::move(firmware), std::move(faults));
    return {adapter, firmwareRef};
}
