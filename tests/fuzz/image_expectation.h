// What the image loader must make of any bytes, worked out from the file's layout alone: both
// image harnesses check the loader's result, message and image against it.
#pragma once

#include <string>

#include "firmware_image.h"
#include "fuzz_check.h"

inline uint16_t wordAt(const uint8_t* data, size_t offset) {
    return uint16_t(data[offset] | data[offset + 1] << 8);
}

// `name` stands for the file in the messages; `message` is what the loader said.
inline void checkLoadedImage(const flasher::LoadedImage& loaded, const std::string& message,
                             const uint8_t* data, size_t size, const std::string& name) {
    using namespace flasher;
    const char* const magic = "VLFW";
    size_t same = 0;  // leading bytes that match the magic
    while (same < 4 && same < size && data[same] == uint8_t(magic[same])) {
        ++same;
    }
    const uint16_t packets = size < 12 ? 0 : wordAt(data, 8);
    const size_t checksumAt = 12 + size_t(packets) * kPacketBytes;
    const LoadResult expected = same < 4                ? kWrongFileType
                                : size < 12             ? kDamagedHeader
                                : size < checksumAt     ? kDamagedPackets
                                : size < checksumAt + 2 ? kMissingChecksum
                                                        : kImageLoaded;
    FUZZ_CHECK(loaded.result == expected, "result code");
    const int sign = same < size && data[same] > uint8_t(magic[same]) ? 1 : -1;
    const std::string said =
        expected == kWrongFileType ? "Wrong file type " + name + " (" + std::to_string(sign) + ")\n"
        : expected == kImageLoaded
            ? "File checksum " + std::to_string(wordAt(data, checksumAt)) + "\n"
            : "Damaged file '" + name + "'\n";
    FUZZ_CHECK(message == said, "message");
    const FirmwareImage& image = loaded.image;
    FUZZ_CHECK(image.packetCount == packets * (expected == kImageLoaded) &&
                   bool(image.words) == (expected == kImageLoaded) &&
                   (expected != kImageLoaded || image.setupWord == wordAt(data, 10)),
               "an image only when loaded, with its packet count and setup word");
    for (size_t i = 0; expected == kImageLoaded && i < size_t(packets) * kPacketWords; ++i) {
        FUZZ_CHECK(image.words[i] == wordAt(data, 12 + 2 * i), "packet word");
    }
}
