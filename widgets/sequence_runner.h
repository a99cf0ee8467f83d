// Runs a window's drive sequence on a worker thread. The slot that starts one returns when it
// ended, as it always did, but the window's event loop goes on meanwhile: it repaints, moves
// and resizes, answers the boxes the workflow asks for, and takes the Stop button.
#pragma once

#include <QObject>
#include <functional>

namespace widgets {

class SequenceRunner {
public:
    // Whether a sequence runs now; a window starts no second one meanwhile.
    bool running() const { return running_; }
    // Runs `sequence` off the GUI thread and returns when it ended. Refused (false) while another
    // runs.
    bool run(const std::function<void()>& sequence);

private:
    bool running_ = false;
};

}  // namespace widgets
