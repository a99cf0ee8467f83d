// Everything the programs keep process-wide, back to its start values: the link state with its
// dialect and quiet trace, the scope, and the waits that tests replace.
#pragma once

void resetProcessState();
