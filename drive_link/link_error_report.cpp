#include "link_error_report.h"

#include "drive_link.h"
#include "frame_run.h"
#include "front_end.h"

namespace drive_link {

bool reportLinkError(Link& link, FrontEnd& frontEnd, bool error) {
    bool lost = error;
    // Fetch the answers to the last two commands of the sequence and see the link still answers;
    // nothing between the two waits on a reply, so they go as one run.
    FrameRun drain(link);
    drain.addNoOp(lost);
    drain.addNoOp(lost);
    link.run(drain);
    if (!lost) {
        return false;
    }
    tellLinkLost(frontEnd);
    return true;
}

void tellLinkLost(FrontEnd& frontEnd) {
    frontEnd.showStatus(frontEnd.translate("Connection lost, reconnect."), 0);
    frontEnd.showMessage(MessageKind::Critical, "CRC error",
                         frontEnd.translate("Connection to drive lost, data checksum error. "
                                            "<br>Ensure that you have sufficient noise shielding "
                                            "in cables."),
                         Failure::LinkLost);
    frontEnd.setConnected(false);
}

Outcome linkOutcome(Link& link, FrontEnd& frontEnd, bool error) {
    return reportLinkError(link, frontEnd, error) ? Outcome::failed(Failure::LinkLost)
                                                  : Outcome::done();
}

}  // namespace drive_link
