#include "trace.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "drive_link.h"

namespace drive_link {

TraceSink standardOutputTrace() {
    return [](std::string_view text) {
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
    };
}

TraceSink discardingTrace() {
    return [](std::string_view) {};
}

void Link::setTraceSink(TraceSink sink) {
    sink_ = sink ? std::move(sink) : standardOutputTrace();
}

void Link::trace(const char* format, ...) {
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
        sink_(std::string_view(line, size_t(length)));
        return;
    }
    std::vector<char> longer(size_t(length) + 1);
    std::vsnprintf(longer.data(), longer.size(), format, again);
    va_end(again);
    sink_(std::string_view(longer.data(), size_t(length)));
}

}  // namespace drive_link
