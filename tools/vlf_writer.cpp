#include "vlf_writer.h"

#include <cstdio>
#include <memory>

namespace vlf {

namespace {
void appendWord(std::vector<uint8_t>& file, uint16_t word) {
    file.push_back(uint8_t(word & 0xFF));
    file.push_back(uint8_t(word >> 8));
}

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;
}  // namespace

std::vector<uint16_t> packetsFromBinary(const std::vector<uint8_t>& bytes) {
    std::vector<uint16_t> words;
    words.reserve(bytes.size() / 2 + kPacketWords);
    for (size_t i = 0; i < bytes.size(); i += 2) {
        const uint8_t high = i + 1 < bytes.size() ? bytes[i + 1] : 0xFF;
        words.push_back(uint16_t(bytes[i] | high << 8));
    }
    while (words.size() % kPacketWords != 0) {
        words.push_back(kPadWord);
    }
    return words;
}

std::vector<uint16_t> patternPackets(size_t count, uint32_t seed) {
    std::vector<uint16_t> words(count * kPacketWords);
    uint32_t state = seed * 2654435761u + 0x9E3779B9u;
    for (size_t i = 0; i < words.size(); ++i) {
        // xorshift: cheap, reproducible, and it sets and clears bits all over the word.
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        words[i] = uint16_t(state ^ (state >> 16) ^ i);
    }
    return words;
}

uint16_t checksumWord(const std::vector<uint16_t>& words) {
    uint16_t sum = 0;
    for (uint16_t word : words) {
        sum = uint16_t(sum + word);
    }
    return sum;
}

bool encodeImage(const ImageLayout& layout, std::vector<uint8_t>& file, std::string& error) {
    if (layout.words.size() % kPacketWords != 0) {
        error = "the packet words are not a whole number of 72-word packets";
        return false;
    }
    const size_t packets = layout.words.size() / kPacketWords;
    if (packets > kMaxPackets) {
        error = "an image holds at most 65535 packets, not " + std::to_string(packets);
        return false;
    }
    file.assign({'V', 'L', 'F', 'W'});
    file.reserve(14 + layout.words.size() * 2);
    appendWord(file, layout.reservedFirst);
    appendWord(file, layout.reservedSecond);
    appendWord(file, uint16_t(packets));
    appendWord(file, layout.setupWord);
    for (uint16_t word : layout.words) {
        appendWord(file, word);
    }
    appendWord(file, checksumWord(layout.words));
    return true;
}

bool writeImage(const std::string& path, const ImageLayout& layout, std::string& error) {
    std::vector<uint8_t> file;
    return encodeImage(layout, file, error) && writeBytes(path, file, error);
}

bool writeBytes(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error) {
    FilePtr file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        error = "cannot create '" + path + "'";
        return false;
    }
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) {
        error = "cannot write '" + path + "'";
        return false;
    }
    if (std::fclose(file.release()) != 0) {
        error = "cannot finish writing '" + path + "'";
        return false;
    }
    return true;
}

bool readBytes(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        error = "cannot open '" + path + "'";
        return false;
    }
    bytes.clear();
    uint8_t chunk[4096];
    size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) {
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    if (std::ferror(file.get())) {
        error = "cannot read '" + path + "'";
        return false;
    }
    return true;
}

}  // namespace vlf
