// Produces .vlf firmware image files of our own, for tests and demonstrations.
// Layout, all words little-endian: "VLFW", two reserved words, the packet count N, the setup
// word, N packets of 72 words, and the checksum word: the 16-bit wrapping sum of all packet
// words (the flasher prints it and checks nothing; it lets a person compare two files).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vlf {

constexpr int kPacketWords = 72;
constexpr uint16_t kPadWord = 0xFFFF;  // what erased flash holds, so padding programs nothing
constexpr size_t kMaxPackets = 65535;

struct ImageLayout {
    uint16_t reservedFirst = 0;
    uint16_t reservedSecond = 0;
    uint16_t setupWord = 0;
    std::vector<uint16_t> words;  // a whole number of packets
};

// A binary's bytes as little-endian words, padded with 0xFFFF to whole packets (an odd last
// byte gets 0xFF as its high byte).
std::vector<uint16_t> packetsFromBinary(const std::vector<uint8_t>& bytes);
// `count` packets of a reproducible pattern: word i of the image is a mix of i and `seed`.
std::vector<uint16_t> patternPackets(size_t count, uint32_t seed);

uint16_t checksumWord(const std::vector<uint16_t>& words);

// The whole file; false with a reason when the layout cannot be written as an image.
bool encodeImage(const ImageLayout& layout, std::vector<uint8_t>& file, std::string& error);
bool writeImage(const std::string& path, const ImageLayout& layout, std::string& error);
bool writeBytes(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error);
bool readBytes(const std::string& path, std::vector<uint8_t>& bytes, std::string& error);

}  // namespace vlf
