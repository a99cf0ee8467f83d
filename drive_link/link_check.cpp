#include "link_check.h"

#include <chrono>

#include "drive_link.h"

namespace drive_link {

LinkMeasurement measureLink(int frames) {
    using Clock = std::chrono::steady_clock;
    LinkMeasurement measured;
    quietTrace = true;
    const Clock::time_point start = Clock::now();
    while (measured.frames < frames && linkState.linkGood) {
        bool error = false;
        sendNoOp(error);
        ++measured.frames;
        if (!linkState.linkGood) {
            measured.linkLosses = 1;
        } else if (error) {
            ++measured.crcFailures;
        }
    }
    measured.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    quietTrace = false;
    return measured;
}

}  // namespace drive_link
