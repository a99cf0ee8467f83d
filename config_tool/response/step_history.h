// The runs of this session that the response dialog can still show: the newest few, each with a
// number for the user and a switch that shows or hides it behind the newest.
#pragma once

#include <cstddef>
#include <deque>

#include "step_capture.h"

namespace response {

struct KeptRun {
    StepCapture capture;
    int number = 0;  // 1 for the session's first run
    bool shown = true;
};

class StepHistory {
public:
    static constexpr size_t kKept = 5;

    // Keeps the run as the newest; the oldest goes when more than kKept are kept.
    void add(StepCapture capture);
    size_t size() const { return runs_.size(); }
    bool empty() const { return runs_.empty(); }
    // 0 is the newest.
    const KeptRun& run(size_t age) const { return runs_[age]; }
    void setShown(size_t age, bool shown);

private:
    std::deque<KeptRun> runs_;
    int runsSoFar_ = 0;
};

}  // namespace response
