#include "process_state.h"

#include "flash_procedure.h"
#include "scope_capture.h"
#include "step_response.h"

using namespace flasher;
using namespace response;

void resetProcessState() {
    resetScopeState();
    setResponseSleep(nullptr);
    setIdleTimeLimit(kDefaultIdleTimeLimit);
}
