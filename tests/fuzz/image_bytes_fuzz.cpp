// The image loader's checks on bytes already in memory, as fast as they run: the same result,
// message and image as the file's layout says.
#include "image_expectation.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string message;
    const flasher::LoadedImage loaded = flasher::parseImage(data, size, "image.vlf", message);
    checkLoadedImage(loaded, message, data, size, "image.vlf");
    return 0;
}
