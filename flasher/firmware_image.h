// The firmware image in memory and the loader of .vlf image files.
// A file is: "VLFW", two words the flasher ignores, the packet count N, the setup word, N packets
// of 72 little-endian words, and a checksum word that is printed but never checked here (the
// bootloader's verification is the integrity check).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace flasher {

constexpr int kPacketWords = 72;
constexpr int kPacketBytes = 2 * kPacketWords;

// An image in memory; packet k's word j is words[72 * k + j]. It moves from the loader to whoever
// holds it (the window, a subcommand) and is handed to the flash; it is never copied.
struct FirmwareImage {
    uint16_t packetCount = 0;
    uint16_t setupWord = 0;
    std::unique_ptr<uint16_t[]> words;  // one block for all packets

    const uint16_t* packet(int k) const { return words.get() + size_t(k) * kPacketWords; }
};

// Loader results; anything but Loaded means the image must not be used.
enum LoadResult : int {
    kImageLoaded = 0,
    kWrongFileType = 3,
    kCannotOpen = 4,
    kDamagedHeader = 5,
    kNoMemory = 6,
    kDamagedPackets = 8,
    kMissingChecksum = 10,
};

struct LoadedImage {
    LoadResult result = kCannotOpen;
    FirmwareImage image;   // empty unless the result is kImageLoaded
    std::string log = {};  // what the loader found to say, in lines, for its front end's log
};

// Hands out the block for `wordCount` packet words, or null when there is no memory.
using WordBlockAllocator = std::unique_ptr<uint16_t[]> (*)(size_t wordCount);

// Reads the file at `path` (8-bit, in the file system's encoding) with one of the results above,
// its message on standard error. The file is always closed.
LoadedImage loadImage(const char* path);
// The same with another allocator, so that a failed allocation can be tried.
LoadedImage loadImageUsing(const char* path, WordBlockAllocator allocate);
// The same checks on bytes already read, `name` standing for the path in the message, which is
// handed back in `message` (with its line break) instead of printed.
LoadedImage parseImage(const uint8_t* bytes, size_t size, const char* name, std::string& message);

}  // namespace flasher
