#include "step_history.h"

#include <utility>

namespace response {

void StepHistory::add(StepCapture capture) {
    runs_.push_front(KeptRun{std::move(capture), ++runsSoFar_, true});
    if (runs_.size() > kKept) {
        runs_.pop_back();
    }
}

void StepHistory::setShown(size_t age, bool shown) {
    if (age < runs_.size()) {
        runs_[age].shown = shown;
    }
}

}  // namespace response
