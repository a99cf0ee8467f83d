// The transaction trace: every frame with its reply, the parameter lines, and the workflows' own
// progress lines on the wire. A program decides where it goes: standard output by default, a
// file for a command line's --trace, nowhere for a script's quiet run, a buffer in the tests.
#pragma once

#include <functional>
#include <string_view>

namespace drive_link {

using TraceSink = std::function<void(std::string_view text)>;

// Sends the trace to `sink` from now on; an empty sink restores standard output.
void setTraceSink(TraceSink sink);

// A sink that drops the trace.
TraceSink discardingTrace();

// Writes the formatted text to the sink as one piece.
void trace(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace drive_link
