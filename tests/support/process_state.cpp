#include "process_state.h"

#include "drive_link.h"
#include "flash_procedure.h"
#include "scope_capture.h"
#include "step_response.h"

using namespace drive_link;
using namespace flasher;
using namespace response;

void resetProcessState() {
    resetLinkState();
    resetScopeState();
    setResponseSleep(nullptr);
    setIdleTimeLimit(kDefaultIdleTimeLimit);
}
