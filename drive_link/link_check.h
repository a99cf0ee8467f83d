// The link check for a first run on hardware: many harmless frames, timed, so that the adapter's
// real speed and the line's quality can be read off before anything else is trusted.
#pragma once

namespace drive_link {

class Link;

struct LinkMeasurement {
    int frames = 0;       // frames sent; fewer than asked when the adapter was lost
    double seconds = 0;   // for all of them
    int crcFailures = 0;  // replies that failed their CRC while the adapter still worked
    int linkLosses = 0;   // 1 when a transfer failed: the adapter is gone and the check ends
    // The byte time the link measured on its streams; 0 before a long stream was timed (the
    // standard link never streams).
    double byteMicroseconds = 0;
    double framesPerSecond() const { return seconds > 0 ? frames / seconds : 0; }
    double msPerFrame() const { return frames > 0 ? 1000 * seconds / frames : 0; }
};

// Sends `frames` of the dialect's no-op on the open link, which both the firmware and the
// bootloader answer without changing or storing anything, in runs of `framesPerRun` (a fast
// link streams each run; 1 is the cost of a frame whose answer is waited for). The frames stay
// out of the trace.
LinkMeasurement measureLink(Link& link, int frames, int framesPerRun = 256);

}  // namespace drive_link
