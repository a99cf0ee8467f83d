#include "link_check.h"

#include <algorithm>
#include <chrono>

#include "drive_link.h"
#include "frame_run.h"

namespace drive_link {

LinkMeasurement measureLink(Link& link, int frames, int framesPerRun) {
    using Clock = std::chrono::steady_clock;
    LinkMeasurement measured;
    link.setQuietTrace(true);
    const Clock::time_point start = Clock::now();
    while (measured.frames < frames && link.state().linkGood) {
        FrameRun run(link);
        const int count = std::min(std::max(1, framesPerRun), frames - measured.frames);
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
    measured.byteMicroseconds = link.byteTimeMeasured() ? link.byteMicroseconds() : 0;
    link.setQuietTrace(false);
    return measured;
}

}  // namespace drive_link
