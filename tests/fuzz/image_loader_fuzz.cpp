// The image loader on any bytes: the result code, the message on standard error and the image
// must be what the file's layout says, computed here from the bytes alone. A failed load hands
// out no image, and no load may leave the file open.
#include <dirent.h>

#include <cstdlib>
#include <cstring>

#include "image_expectation.h"

using namespace flasher;

namespace {
int openDescriptors() {
    DIR* folder = opendir("/proc/self/fd");
    FUZZ_CHECK(folder != nullptr, "/proc/self/fd");
    int count = 0;
    while (readdir(folder)) {
        ++count;
    }
    closedir(folder);
    return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = writeScratchInput("vlf", data, size);
    LoadedImage loaded;
    const int descriptorsBefore = openDescriptors();
    loaded = loadImage(path.c_str());
    const std::string message = loaded.log;
    FUZZ_CHECK(openDescriptors() == descriptorsBefore, "file closed");
    checkLoadedImage(loaded, message, data, size, path);
    return 0;
}
