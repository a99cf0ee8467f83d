#include "firmware_image.h"

#include <unistd.h>

#include <cstdio>
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

bool readWord(FILE* file, uint16_t& word) {
    unsigned char bytes[2];
    if (std::fread(bytes, sizeof bytes, 1, file) != 1) {
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
}  // namespace

LoadedImage loadImage(const char* path) {
    return loadImageUsing(path, allocateWords);
}

LoadedImage loadImageUsing(const char* path, WordBlockAllocator allocate) {
    OpenFile file(path);
    if (!file.get()) {
        std::fprintf(stderr, "Unable to open file '%s'\n", path);
        return {kCannotOpen, {}};
    }

    unsigned char magic[4] = {};
    uint16_t firstSkipped = 0;
    uint16_t secondSkipped = 0;
    uint16_t packetCount = 0;
    uint16_t setupWord = 0;
    const size_t magicBytes = std::fread(magic, 1, sizeof magic, file.get());
    int headerItems = magicBytes == sizeof magic ? 1 : 0;
    headerItems += readWord(file.get(), firstSkipped);
    headerItems += readWord(file.get(), secondSkipped);
    headerItems += readWord(file.get(), packetCount);
    headerItems += readWord(file.get(), setupWord);

    const int sign = compareWithMagic(magic, magicBytes);
    if (sign != 0) {
        std::fprintf(stderr, "Wrong file type %s (%d)\n", path, sign);
        return {kWrongFileType, {}};
    }
    if (headerItems < 5) {
        std::fprintf(stderr, "Damaged file '%s'\n", path);
        return {kDamagedHeader, {}};
    }

    const size_t wordCount = size_t(packetCount) * kPacketWords;
    std::unique_ptr<uint16_t[]> words = allocate(wordCount);
    if (!words) {
        std::fprintf(stderr, "Unable to allocate memory\n");
        return {kNoMemory, {}};
    }
    if (std::fread(words.get(), kPacketBytes, packetCount, file.get()) < packetCount) {
        std::fprintf(stderr, "Damaged file '%s'\n", path);
        return {kDamagedPackets, {}};
    }
    wordsFromLittleEndian(words.get(), wordCount);

    uint16_t checksumWord = 0;
    if (!readWord(file.get(), checksumWord)) {
        std::fprintf(stderr, "Damaged file '%s'\n", path);
        return {kMissingChecksum, {}};
    }
    std::fprintf(stderr, "File checksum %d\n", int(checksumWord));

    return {kImageLoaded, {packetCount, setupWord, std::move(words)}};
}

}  // namespace flasher
