// The start that both programs' Connect share: open the adapter, have the user restart the
// drive so that it takes up the link, and probe it.
#pragma once

#include "front_end.h"

namespace drive_link {

class Link;

// Shows "Connecting to drive..." and drops the front end to disconnected, opens the adapter
// (`clockHigh` as for openLink), shows the restart instructions with `instructionsNote` at
// their end, and sends three no-ops: the first two replies still carry what the drive sent
// while it started up, the third tells whether it answers. Every failure shows its own box.
// Done when the drive answered cleanly; otherwise no adapter or no drive.
Outcome openAndProbeDrive(Link& link, FrontEnd& frontEnd, bool clockHigh,
                          const QString& instructionsNote);

}  // namespace drive_link
