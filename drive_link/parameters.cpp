// Parameter access: the drive answers a command in the reply of the second frame after it.
#include "drive_link.h"
#include "frame_run.h"

namespace drive_link {

uint16_t setParam(Link& link, uint16_t number, uint16_t content, bool& error) {
    uint16_t answer = 0;
    FrameRun run(link);
    run.addSetParam(number, content, error, [&answer](const Reply& reply) {
        answer = reply.value();
        return true;
    });
    link.run(run);
    return answer;
}

uint16_t getParam(Link& link, uint16_t number, bool& error) {
    uint16_t content = 0;
    FrameRun run(link);
    run.addGetParam(number, error, content);
    link.run(run);
    return content;
}

}  // namespace drive_link
