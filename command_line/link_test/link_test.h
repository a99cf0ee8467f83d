// `morvane link-test` and `tressel link-test`: the link check of a first run on hardware, the same
// subcommand in both programs, each in its own dialect.
#pragma once

#include "command_line.h"

namespace command_line {

// The flash the figures are scaled to: the size of a whole firmware image.
constexpr int kReferenceFlashPackets = 120;

// Opens and probes the drive as Connect does (the restart instruction included: a drive takes
// up the link only from its start), sends --frames no-ops and prints their figures. Exit code 0
// when every frame passed, 6 when the adapter was lost, 7 when replies failed their CRC.
Subcommand linkTestSubcommand();

}  // namespace command_line
