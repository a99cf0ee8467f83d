#include "link_check.h"

#include <algorithm>
#include <chrono>

#include "drive_link.h"
#include "frame_run.h"

namespace drive_link {

LinkMeasurement measureLink(Link& link, int frames) {
    using Clock = std::chrono::steady_clock;
    LinkMeasurement measured;
    link.setQuietTrace(true);
    const Clock::time_point start = Clock::now();
    // In runs as long as the link streams them, so that fast mode is measured as it works.
    constexpr int kFramesPerRun = 256;
    while (measured.frames < frames && link.state().linkGood) {
        FrameRun run(link);
        const int count = std::min(kFramesPerRun, frames - measured.frames);
        for (int i = 0; i < count; ++i) {
            run.addUnchecked(link.noOpCommand(), 0, [&](const Reply& reply) {
                ++measured.frames;
                if (!link.state().linkGood) {
                    measured.linkLosses = 1;
                    return false;
                }
                if (!reply.checked) {
                    ++measured.crcFailures;
                }
                return true;
            });
        }
        link.run(run);
    }
    measured.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    measured.byteMicroseconds = link.byteMicroseconds();
    link.setQuietTrace(false);
    return measured;
}

}  // namespace drive_link
