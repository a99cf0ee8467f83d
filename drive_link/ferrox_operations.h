// The Ferrox firmware's operations by name. Each one sends its own frames and, where the answer
// matters, the no-ops that fetch it: the drive answers a command in the reply of the second frame
// after it. Parameters are read and written with getParam and setParam (drive_link.h). Like the
// rest of the link, every operation sets `error` on a missing link or a reply that fails its CRC
// and never clears it; a sequence ends with reportLinkError, which drains the last two answers.
#pragma once

#include <cstdint>

namespace drive_link {
class Link;
}

namespace ferrox {

// The power stage off (command 0, value 1) and on again (value 2).
void disablePowerStage(drive_link::Link& link, bool& error);
void enablePowerStage(drive_link::Link& link, bool& error);

// Command 3: the drive copies its settings into its settings memory. Returns once the drive has
// had the 100 ms it needs to write that memory; the next command would disturb it.
void storeSettings(drive_link::Link& link, bool& error);

// Command 20 with every fault bit set.
void clearFaults(drive_link::Link& link, bool& error);

struct InternalReadings {
    uint16_t temperature = 0;
    uint16_t highVoltage = 0;  // hundredths of a volt
};
// Requests the temperature and the HV voltage (command 120) and collects both answers with two
// no-ops.
InternalReadings readInternalReadings(drive_link::Link& link, bool& error);

// Parameters 5020 and 5021 get the low and high halves of the mask; bit c records channel c.
void setScopeChannels(drive_link::Link& link, uint32_t channelMask, bool& error);

// Writes the divider (5012) and the capture setting (5011), then starts the capture (command 11).
void startCapture(drive_link::Link& link, uint16_t divider, uint16_t setting, bool& error);

// Command 41: the drive injects its torque step on the axis (0 or 1) while it holds position.
void startStepTest(drive_link::Link& link, int axis, bool& error);

// Reads `sampleCount` 16-bit samples (even, at least 2) of the capture buffer into `samples`
// with the pipelined read: the drive's checksum is requested first, then two samples per reply,
// the last two replies collected by no-ops, then the checksum again. The frames stay out of the
// trace; a dot marks every 50 replies, then "Scope OK" or "Scope data checksum error". Only the
// opening checksum request reports into `error`: the data replies are raw words whose CRC means
// nothing. Returns whether the sum of the replies matched the drive's; never on a link that is
// down, where every reply reads 0 and the sums prove nothing.
bool downloadScope(drive_link::Link& link, uint16_t* samples, int sampleCount, bool& error);

}  // namespace ferrox
