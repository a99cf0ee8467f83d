#include "flasher_command_line.h"

#include "progress.h"

namespace command_line {

// Flashing starts with the erase; the packets follow it.
void FlasherCommandLine::setFlashing(bool flashing) {
    if (flashing) {
        reportProgress("erase");
    }
}

void FlasherCommandLine::packetStarted(int packet, int packetCount) {
    reportProgress("write", packet, packetCount);
}

void FlasherCommandLine::verifyStarted(int packetCount) {
    reportProgress("write", packetCount, packetCount);
    reportProgress("verify");
}

}  // namespace command_line
