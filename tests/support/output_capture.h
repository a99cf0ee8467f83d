// Captures what the process writes to standard output and standard error (the trace and the
// reports), at the file-descriptor level, so printf output and Qt's both land in it.
#pragma once

#include <string>

class OutputCapture {
public:
    OutputCapture();   // starts capturing both streams
    ~OutputCapture();  // restores them

    // What was written since the capture started (flushes first; capturing goes on).
    std::string out();
    std::string err();
    void stop();

private:
    int savedOut_ = -1;
    int savedErr_ = -1;
    int outFile_ = -1;
    int errFile_ = -1;
};
