// A run of frames for Link::run: the frames a sequence sends before it must look at an answer,
// each with the error flag it reports into and what is done with its reply, and the trace text
// that goes between them. The link sends them one by one or as one stream; the workflow sees
// the replies in order either way.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace drive_link {

class Link;
struct Reply;

class FrameRun {
public:
    // Runs once the frame's reply is in and traced. Returning false says that no frame after
    // this one is wanted: standard mode sends none of them, fast mode has sent what was in its
    // stream already and sends nothing more.
    using AfterReply = std::function<bool(const Reply& reply)>;

    explicit FrameRun(Link& link);

    // A frame that sets `error` on a missing link or a reply that fails its CRC, as transact.
    void add(uint16_t command, uint16_t value, bool& error, AfterReply after = {});
    // A frame whose reply is raw data or of no interest: its failures count nowhere.
    void addUnchecked(uint16_t command, uint16_t value, AfterReply after = {});
    void addNoOp(bool& error, AfterReply after = {});
    // Trace text at this point of the run; printed even while the trace is quiet.
    void addText(std::string text);

    // Parameter access, with the trace lines of setParam and getParam.
    // `afterStore` gets the reply of the second frame.
    void addSetParam(uint16_t number, uint16_t content, bool& error, AfterReply afterStore = {});
    // `content` receives the parameter's value once the run has been sent.
    void addGetParam(uint16_t number, bool& error, uint16_t& content);

    size_t frameCount() const { return frames_; }

    struct Entry {
        bool isText = false;
        std::string text;
        uint16_t command = 0;
        uint16_t value = 0;
        bool* error = nullptr;  // null: the frame's failures count nowhere
        AfterReply after;
    };
    const std::vector<Entry>& entries() const { return entries_; }

private:
    Link& link_;
    std::vector<Entry> entries_;
    size_t frames_ = 0;
};

}  // namespace drive_link
