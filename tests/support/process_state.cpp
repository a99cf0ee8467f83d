#include "process_state.h"

#include "scope_capture.h"
#include "step_response.h"

using namespace response;

void resetProcessState() {
    resetScopeState();
    setResponseSleep(nullptr);
}
