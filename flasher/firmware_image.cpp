#include "firmware_image.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <new>

#include "regular_file.h"

namespace flasher {

using files::FileOpening;
using files::openRegularFile;
using files::RegularFile;

namespace {
const unsigned char kMagic[4] = {'V', 'L', 'F', 'W'};

std::unique_ptr<uint16_t[]> allocateWords(size_t wordCount) {
    return std::unique_ptr<uint16_t[]>(new (std::nothrow) uint16_t[wordCount]);
}

// Closes the file on every way out of the loader. Only a regular file opens: a directory, a FIFO
// or a device is no image, and a FIFO would block the window for good.
class OpenFile {
public:
    explicit OpenFile(const char* path) {
        const RegularFile opened = openRegularFile(path);
        if (opened.outcome == FileOpening::Opened) {
            file_ = fdopen(opened.descriptor, "rb");
            if (!file_) {
                close(opened.descriptor);
            }
        }
    }
    ~OpenFile() {
        if (file_) {
            std::fclose(file_);
        }
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    FILE* get() const { return file_; }

private:
    FILE* file_ = nullptr;
};

// Reads up to `count` bytes into `into` and tells how many it read: from a file or from memory.
using ByteReader = std::function<size_t(void* into, size_t count)>;

bool readWord(const ByteReader& read, uint16_t& word) {
    unsigned char bytes[2];
    if (read(bytes, sizeof bytes) != sizeof bytes) {
        return false;
    }
    word = uint16_t(bytes[0] | bytes[1] << 8);
    return true;
}

// The sign of the first difference from the magic, as unsigned bytes. A byte the file does not
// have is smaller than any byte it could have held, so a short file compares as smaller.
int compareWithMagic(const unsigned char* bytes, size_t count) {
    for (size_t i = 0; i < sizeof kMagic; ++i) {
        if (i >= count) {
            return -1;
        }
        if (bytes[i] != kMagic[i]) {
            return bytes[i] < kMagic[i] ? -1 : 1;
        }
    }
    return 0;
}

// The block was read as raw file bytes; turn each little-endian pair into its word in place.
void wordsFromLittleEndian(uint16_t* words, size_t count) {
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(words);
    for (size_t i = 0; i < count; ++i) {
        words[i] = uint16_t(bytes[2 * i] | bytes[2 * i + 1] << 8);
    }
}

// The loader's steps on any source of bytes; the message goes to `message`.
LoadedImage readImage(const ByteReader& read, const char* name, WordBlockAllocator allocate,
                      std::string& message) {
    auto damaged = [&](LoadResult result) {
        message = std::string("Damaged file '") + name + "'\n";
        return LoadedImage{result, {}};
    };
    unsigned char magic[4] = {};
    uint16_t firstSkipped = 0;
    uint16_t secondSkipped = 0;
    uint16_t packetCount = 0;
    uint16_t setupWord = 0;
    const size_t magicBytes = read(magic, sizeof magic);
    int headerItems = magicBytes == sizeof magic ? 1 : 0;
    headerItems += readWord(read, firstSkipped);
    headerItems += readWord(read, secondSkipped);
    headerItems += readWord(read, packetCount);
    headerItems += readWord(read, setupWord);

    const int sign = compareWithMagic(magic, magicBytes);
    if (sign != 0) {
        message = std::string("Wrong file type ") + name + " (" + std::to_string(sign) + ")\n";
        return {kWrongFileType, {}};
    }
    if (headerItems < 5) {
        return damaged(kDamagedHeader);
    }

    const size_t wordCount = size_t(packetCount) * kPacketWords;
    std::unique_ptr<uint16_t[]> words = allocate(wordCount);
    if (!words) {
        message = "Unable to allocate memory\n";
        return {kNoMemory, {}};
    }
    if (read(words.get(), size_t(packetCount) * kPacketBytes) <
        size_t(packetCount) * kPacketBytes) {
        return damaged(kDamagedPackets);
    }
    wordsFromLittleEndian(words.get(), wordCount);

    uint16_t checksumWord = 0;
    if (!readWord(read, checksumWord)) {
        return damaged(kMissingChecksum);
    }
    message = "File checksum " + std::to_string(checksumWord) + "\n";
    return {kImageLoaded, {packetCount, setupWord, std::move(words)}};
}
}  // namespace

LoadedImage loadImage(const char* path) {
    return loadImageUsing(path, allocateWords);
}

LoadedImage loadImageUsing(const char* path, WordBlockAllocator allocate) {
    OpenFile file(path);
    if (!file.get()) {
        return {kCannotOpen, {}, std::string("Unable to open file '") + path + "'\n"};
    }
    std::string message;
    LoadedImage loaded = readImage(
        [&file](void* into, size_t count) { return std::fread(into, 1, count, file.get()); }, path,
        allocate, message);
    loaded.log = std::move(message);
    return loaded;
}

LoadedImage parseImage(const uint8_t* bytes, size_t size, const char* name, std::string& message) {
    size_t at = 0;
    return readImage(
        [&](void* into, size_t count) {
            const size_t taken = std::min(count, size - at);
            if (taken > 0) {
                std::memcpy(into, bytes + at, taken);
            }
            at += taken;
            return taken;
        },
        name, allocateWords, message);
}

}  // namespace flasher
