// What a recording front end records, interleaved with the frames the simulated drive received
// meanwhile: the transcript that the golden files hold.
#pragma once

#include <QStringList>
#include <functional>
#include <string>
#include <vector>

#include "recording_front_end.h"
#include "sim_adapter.h"

// The frames the drive received so far: the simulated adapter's log or the emulated chip's.
using FrameSource = std::function<std::vector<drive_sim::FrameRecord>()>;

class Transcript {
public:
    explicit Transcript(FrameSource frames) : frames_(std::move(frames)) {}
    explicit Transcript(const drive_sim::SimulatedAdapter& adapter)
        : Transcript([&adapter] { return adapter.frameLog(); }) {}
    // The frames since the last line, compacted, then `line`; a line that repeats the one before
    // it counts as "xN" there.
    void add(const QString& line);
    QString text();
    // Where a recording front end puts its lines.
    EventSink sink() {
        return [this](const QString& line) { add(line); };
    }

private:
    void flushFrames();
    FrameSource frames_;
    size_t framesSeen_ = 0;
    QStringList lines_;
    QString lastLine_;
    int repeats_ = 0;
};

// Frames as compact tokens: a parameter read "get P", a write "set P=V", another frame "C,V"
// (the value "*" for the scope's sample addresses and the flasher's data words, which tests
// compare as data), runs of a repeated group of up to four tokens as "(group) xN".
QString compactFrames(const std::vector<drive_sim::FrameRecord>& frames);
// The trace as "|"-separated tokens: "." for a clean transaction line, a complaint with its
// value as "*", a row of the scope's sample table as "row", every other line as it is, and runs
// compacted as the frames are. For standard output and standard error alike.
QString compactTrace(const std::string& out);
