// The one place where the drive link reaches the user: after a command sequence, drain the
// answers still in flight and, when the link failed, say so and drop to disconnected.
#pragma once

#include "front_end.h"

namespace drive_link {

class Link;

// Sends two no-ops with a copy of `error`; when the copy ends up set, shows the status text and
// the "CRC error" box and switches the front end to disconnected. Returns whether the link is
// lost.
bool reportLinkError(Link& link, FrontEnd& frontEnd, bool error);
// The report alone, for a run that has drained its answers itself.
void tellLinkLost(FrontEnd& frontEnd);

// The same report as the end of a workflow's sequence: done, or the link lost.
Outcome linkOutcome(Link& link, FrontEnd& frontEnd, bool error);

}  // namespace drive_link
