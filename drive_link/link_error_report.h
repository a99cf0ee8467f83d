// The one place where the drive link reaches the user: after a command sequence, drain the
// answers still in flight and, when the link failed, say so and drop to disconnected.
#pragma once

#include "front_end.h"

namespace drive_link {

// Sends two no-ops with a copy of `error`; when the copy ends up set, shows the status text and
// the "CRC error" box and switches the front end to disconnected. Returns whether the link is
// lost.
bool reportLinkError(FrontEnd& frontEnd, bool error);

// The same report as the end of a workflow's sequence: done, or the link lost.
Outcome linkOutcome(FrontEnd& frontEnd, bool error);

}  // namespace drive_link
