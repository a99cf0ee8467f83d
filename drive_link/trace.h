// The transaction trace: every frame with its reply, the parameter lines, and the workflows' own
// progress lines on the wire. Each link has its sink: standard output by default, a file for a
// command line's --trace, nowhere for a script's quiet run, a buffer in the tests.
#pragma once

#include <functional>
#include <string_view>

namespace drive_link {

using TraceSink = std::function<void(std::string_view text)>;

// Standard output, flushed at once, so that the trace and the messages on standard error keep
// their order.
TraceSink standardOutputTrace();

// A sink that drops the trace.
TraceSink discardingTrace();

}  // namespace drive_link
