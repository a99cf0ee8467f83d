// What the image loader must make of any bytes, worked out from the file's layout alone: both
// image harnesses check the loader's result, message and image against it.
#pragma once

#include <cstdint>
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
    const char magic[] = "VLFW";
    for (size_t i = 0; i < 4; ++i) {
        if (i >= size || data[i] != uint8_t(magic[i])) {
            const int sign = i < size && data[i] > uint8_t(magic[i]) ? 1 : -1;
            FUZZ_CHECK(loaded.result == kWrongFileType, "wrong file type");
            FUZZ_CHECK(message == "Wrong file type " + name + " (" + std::to_string(sign) + ")\n",
                       "wrong file type message");
            FUZZ_CHECK(loaded.image.packetCount == 0 && !loaded.image.words, "no image");
            return;
        }
    }
    const uint16_t packets = size < 12 ? 0 : wordAt(data, 8);
    const size_t checksumAt = 12 + size_t(packets) * kPacketBytes;
    const LoadResult expected = size < 12               ? kDamagedHeader
                                : size < checksumAt     ? kDamagedPackets
                                : size < checksumAt + 2 ? kMissingChecksum
                                                        : kImageLoaded;
    FUZZ_CHECK(loaded.result == expected, "result code");
    const FirmwareImage& image = loaded.image;
    if (expected != kImageLoaded) {
        FUZZ_CHECK(message == "Damaged file '" + name + "'\n", "damaged file message");
        FUZZ_CHECK(image.packetCount == 0 && !image.words, "no image");
        return;
    }
    FUZZ_CHECK(message == "File checksum " + std::to_string(wordAt(data, checksumAt)) + "\n",
               "checksum message");
    FUZZ_CHECK(image.packetCount == packets, "packet count");
    FUZZ_CHECK(image.setupWord == wordAt(data, 10), "setup word");
    for (size_t i = 0; i < size_t(packets) * kPacketWords; ++i) {
        FUZZ_CHECK(image.words[i] == wordAt(data, 12 + 2 * i), "packet word");
    }
}
