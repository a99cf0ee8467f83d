// The .vlf loader on every way a file can be whole, short or wrong.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>

#include "firmware_image.h"
#include "flasher_fixture.h"
#include "vlf_writer.h"

namespace {
std::unique_ptr<uint16_t[]> noMemory(size_t) {
    return nullptr;
}

int openDescriptors() {
    return int(QDir("/proc/self/fd").entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size());
}

std::vector<uint8_t> head(const std::vector<uint8_t>& bytes, size_t length) {
    return {bytes.begin(), bytes.begin() + length};
}

std::vector<uint8_t> with(std::vector<uint8_t> bytes, size_t at, std::vector<uint8_t> patch) {
    std::copy(patch.begin(), patch.end(), bytes.begin() + at);
    return bytes;
}
}  // namespace

class LoadImage : public FlasherTest {};

// Each file is loaded over an image already in memory: a failure must leave that image as it
// was, a success must replace it, and the file must be closed either way.
TEST_F(LoadImage, ResultsMessagesAndTheImageAfterwards) {
    vlf::ImageSpec imageSpec;
    imageSpec.reservedFirst = 0x1111;
    imageSpec.reservedSecond = 0x2222;
    imageSpec.setupWord = 0xBEEF;
    imageSpec.words = vlf::patternPackets(2, 3);
    std::vector<uint8_t> whole;
    std::string error;
    ASSERT_TRUE(vlf::encodeImage(imageSpec, whole, error)) << error;
    ASSERT_EQ(whole.size(), 14u + 288);
    std::vector<uint16_t> littleEndian = imageSpec.words;
    littleEndian[0] = 0xA1B2;
    std::vector<uint8_t> trailing = whole;
    trailing.insert(trailing.end(), {1, 2, 3, 4, 5});

    const std::string file = path("image.vlf");
    const std::string checksum =
        "File checksum " + std::to_string(vlf::checksumWord(imageSpec.words));
    const std::string wrongType = "Wrong file type " + file;
    const std::string damaged = "Damaged file '" + file + "'\n";
    const std::vector<uint16_t> before = vlf::patternPackets(1, 99);
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        int result;
        std::string err;
        std::vector<uint16_t> words;  // the image afterwards; setup word 0x7777 means `before`
        uint16_t setupWord;
        WordBlockAllocator allocate = nullptr;
    };
    const Case cases[] = {
        {"words little-endian", with(whole, 12, {0xB2, 0xA1}), kImageLoaded, checksum + "\n",
         littleEndian, 0xBEEF},
        {"14 bytes, N = 0",
         {'V', 'L', 'F', 'W', 0xAA, 0xBB, 0xCC, 0xDD, 0, 0, 0x34, 0x12, 0xFE, 0xFF},
         kImageLoaded,
         "File checksum 65534\n",
         {},
         0x1234},
        {"wrong checksum word", with(whole, 300, {0x39, 0x30}), kImageLoaded,
         "File checksum 12345\n", imageSpec.words, 0xBEEF},
        {"trailing bytes", trailing, kImageLoaded, checksum + "\n", imageSpec.words, 0xBEEF},
        {"magic VLFX", with(whole, 3, {'X'}), kWrongFileType, wrongType + " (1)\n", before, 0x7777},
        {"magic VLFV", with(whole, 3, {'V'}), kWrongFileType, wrongType + " (-1)\n", before,
         0x7777},
        {"byte above 127", with(whole, 0, {0xD6}), kWrongFileType, wrongType + " (1)\n", before,
         0x7777},
        {"empty", {}, kWrongFileType, wrongType + " (-1)\n", before, 0x7777},
        {"three bytes", {'V', 'L', 'F'}, kWrongFileType, wrongType + " (-1)\n", before, 0x7777},
        {"ends after the magic", head(whole, 4), kDamagedHeader, damaged, before, 0x7777},
        {"ends inside the setup word", head(whole, 11), kDamagedHeader, damaged, before, 0x7777},
        {"ends after the header", head(whole, 12), kDamagedPackets, damaged, before, 0x7777},
        {"ends after packet 1", head(whole, 12 + 144), kDamagedPackets, damaged, before, 0x7777},
        {"ends inside packet 2", head(whole, 12 + 287), kDamagedPackets, damaged, before, 0x7777},
        {"ends after the packets", head(whole, 12 + 288), kMissingChecksum, damaged, before,
         0x7777},
        {"half a checksum", head(whole, 12 + 289), kMissingChecksum, damaged, before, 0x7777},
        {"no memory", whole, kNoMemory, "Unable to allocate memory\n", before, 0x7777, noMemory},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        useImage(1, 0x7777, 99);
        writeFile(file, c.bytes);
        int result = -1;
        int descriptorsBefore = 0;
        int descriptorsAfter = 0;
        const Console console = captureConsole([&] {
            descriptorsBefore = openDescriptors();
            result =
                c.allocate ? loadImageUsing(file.c_str(), c.allocate) : loadImage(file.c_str());
            descriptorsAfter = openDescriptors();
        });
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(console.err, c.err);
        EXPECT_EQ(descriptorsAfter, descriptorsBefore) << "the file stays open";
        EXPECT_EQ(firmwareImage.packetCount, c.words.size() / 72);
        EXPECT_EQ(firmwareImage.setupWord, c.setupWord);
        EXPECT_TRUE(std::equal(c.words.begin(), c.words.end(), firmwareImage.words.get()));
    }
}

// Only a regular file can be an image: the rest cannot be opened, and a FIFO must not block.
TEST_F(LoadImage, WhatIsNoRegularFileCannotBeOpened) {
    const std::string fifo = path("fifo.vlf");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& name : {path("absent.vlf"), path(""), fifo, std::string("/dev/zero")}) {
        SCOPED_TRACE(name);
        int result = 0;
        EXPECT_EQ(captureConsole([&] { result = loadImage(name.c_str()); }).err,
                  "Unable to open file '" + name + "'\n");
        EXPECT_EQ(result, kCannotOpen);
    }
}
