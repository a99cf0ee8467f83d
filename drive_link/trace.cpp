#include "trace.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace drive_link {

namespace {
// Flushed at once, so that the trace and the messages on standard error keep their order.
void writeToStandardOutput(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

TraceSink& currentSink() {
    static TraceSink sink = writeToStandardOutput;
    return sink;
}
}  // namespace

void setTraceSink(TraceSink sink) {
    currentSink() = sink ? std::move(sink) : TraceSink(writeToStandardOutput);
}

TraceSink discardingTrace() {
    return [](std::string_view) {};
}

void trace(const char* format, ...) {
    char line[256];
    va_list arguments;
    va_start(arguments, format);
    va_list again;
    va_copy(again, arguments);
    const int length = std::vsnprintf(line, sizeof line, format, arguments);
    va_end(arguments);
    if (length < 0) {
        va_end(again);
        return;
    }
    if (size_t(length) < sizeof line) {
        va_end(again);
        currentSink()(std::string_view(line, size_t(length)));
        return;
    }
    std::vector<char> longer(size_t(length) + 1);
    std::vsnprintf(longer.data(), longer.size(), format, again);
    va_end(again);
    currentSink()(std::string_view(longer.data(), size_t(length)));
}

}  // namespace drive_link
