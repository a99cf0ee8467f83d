// The image loader on any bytes: the result code, the message on standard error and the image
// must be what the file's layout says, computed here from the bytes alone. A failed load hands
// out no image, and no load may leave the file open.
#include <dirent.h>

#include <cstdlib>
#include <cstring>

#include "firmware_image.h"
#include "fuzz_check.h"

using namespace flasher;

namespace {
struct Expected {
    LoadResult result = kImageLoaded;
    std::string message;
    uint16_t packetCount = 0;
    uint16_t setupWord = 0;
};

uint16_t wordAt(const uint8_t* data, size_t offset) {
    return uint16_t(data[offset] | data[offset + 1] << 8);
}

Expected expectedLoad(const uint8_t* data, size_t size, const std::string& path) {
    const char magic[] = "VLFW";
    for (size_t i = 0; i < 4; ++i) {
        if (i >= size || data[i] != uint8_t(magic[i])) {
            const int sign = i < size && data[i] > uint8_t(magic[i]) ? 1 : -1;
            return {kWrongFileType,
                    "Wrong file type " + path + " (" + std::to_string(sign) + ")\n"};
        }
    }
    const std::string damaged = "Damaged file '" + path + "'\n";
    if (size < 12) {
        return {kDamagedHeader, damaged};
    }
    const uint16_t packets = wordAt(data, 8);
    const size_t checksumAt = 12 + size_t(packets) * kPacketBytes;
    if (size < checksumAt) {
        return {kDamagedPackets, damaged};
    }
    if (size < checksumAt + 2) {
        return {kMissingChecksum, damaged};
    }
    return {kImageLoaded, "File checksum " + std::to_string(wordAt(data, checksumAt)) + "\n",
            packets, wordAt(data, 10)};
}

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

// What the loader writes to standard error while it runs.
std::string loadCapturingErrors(const std::string& path, LoadedImage& loaded) {
    char* text = nullptr;
    size_t length = 0;
    FILE* captured = open_memstream(&text, &length);
    FUZZ_CHECK(captured != nullptr, "memory stream");
    FILE* const saved = stderr;
    stderr = captured;
    loaded = loadImage(path.c_str());
    stderr = saved;
    std::fclose(captured);
    std::string message(text, length);
    std::free(text);
    return message;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = writeScratchInput("vlf", data, size);
    LoadedImage loaded;
    const int descriptorsBefore = openDescriptors();
    const std::string message = loadCapturingErrors(path, loaded);
    FUZZ_CHECK(openDescriptors() == descriptorsBefore, "file closed");
    const Expected expected = expectedLoad(data, size, path);
    FUZZ_CHECK(loaded.result == expected.result, "result code");
    FUZZ_CHECK(message == expected.message, "message on standard error");
    const FirmwareImage& image = loaded.image;
    if (loaded.result != kImageLoaded) {
        FUZZ_CHECK(image.packetCount == 0 && !image.words, "no image");
        return 0;
    }
    FUZZ_CHECK(image.packetCount == expected.packetCount, "packet count");
    FUZZ_CHECK(image.setupWord == expected.setupWord, "setup word");
    for (size_t i = 0; i < size_t(expected.packetCount) * kPacketWords; ++i) {
        FUZZ_CHECK(image.words[i] == wordAt(data, 12 + 2 * i), "packet word");
    }
    return 0;
}
