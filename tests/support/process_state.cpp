#include "process_state.h"

#include "drive_link.h"
#include "flash_procedure.h"
#include "scope_capture.h"
#include "step_response.h"

void resetProcessState() {
    resetLinkState();
    resetScopeState();
    setResponseSleep(nullptr);
    setIdleTimeLimit(kDefaultIdleTimeLimit);
}
