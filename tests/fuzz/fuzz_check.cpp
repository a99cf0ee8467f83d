#include "fuzz_check.h"

#include <unistd.h>

std::string writeScratchInput(const char* extension, const uint8_t* data, size_t size) {
    const char* tmp = std::getenv("TMPDIR");
    const std::string path = std::string(tmp && *tmp ? tmp : "/tmp") + "/kmr-fuzz-" +
                             std::to_string(getpid()) + "." + extension;
    FILE* file = std::fopen(path.c_str(), "wb");
    FUZZ_CHECK(file != nullptr, "scratch file");
    FUZZ_CHECK(size == 0 || std::fwrite(data, 1, size, file) == size, "scratch file written");
    std::fclose(file);
    return path;
}
