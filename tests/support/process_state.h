// Everything the programs keep process-wide, back to its start values: the scope, and the waits
// that tests replace.
#pragma once

void resetProcessState();
