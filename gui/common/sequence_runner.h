// Runs a window's drive sequence on a worker thread. The slot that starts one returns when it
// ended, as it always did, but the window's event loop goes on meanwhile: it repaints, moves
// and resizes, answers the boxes the workflow asks for, and takes the Stop button.
#pragma once

#include <atomic>
#include <functional>

namespace drive_link {
class Link;
}

namespace widgets {

class SequenceRunner {
public:
    // Whether a sequence runs now; a window starts no second one meanwhile.
    bool running() const { return running_; }
    // Runs `sequence` off the GUI thread and returns when it ended. Refused (false) while another
    // runs.
    bool run(const std::function<void()>& sequence);
    // The user's Stop: the link goes down from its next frame, and the lost link that follows is
    // the stop's consequence, not news (see OnGuiThread).
    void stopAtNextFrame(drive_link::Link& link);
    // Set by stopAtNextFrame until the next run starts.
    const std::atomic<bool>& stopping() const { return stopping_; }

private:
    bool running_ = false;
    std::atomic<bool> stopping_{false};
};

}  // namespace widgets
