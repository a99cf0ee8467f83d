// The .vlf loader on every way a file can be whole, short or wrong.
#include <gtest/gtest.h>

#include <QDir>

#include "firmware_image.h"
#include "flasher_fixture.h"
#include "vlf_writer.h"

namespace {
std::vector<uint8_t> encode(const vlf::ImageSpec& imageSpec) {
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_TRUE(vlf::encodeImage(imageSpec, bytes, error)) << error;
    return bytes;
}

vlf::ImageSpec patternSpec(size_t packets, uint16_t setupWord = 0xBEEF) {
    vlf::ImageSpec imageSpec;
    imageSpec.reservedFirst = 0x1111;
    imageSpec.reservedSecond = 0x2222;
    imageSpec.setupWord = setupWord;
    imageSpec.words = vlf::patternPackets(packets, 3);
    return imageSpec;
}

std::unique_ptr<uint16_t[]> noMemory(size_t) {
    return nullptr;
}

int openDescriptors() {
    return int(QDir("/proc/self/fd").entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size());
}

class LoadImage : public FlasherTest {
protected:
    // Loads `bytes` from a file and returns the result, with the standard error it printed.
    int load(const std::vector<uint8_t>& bytes, std::string& err) {
        const std::string file = path("image.vlf");
        writeFile(file, bytes);
        int result = 0;
        err = captureConsole([&] { result = loadImage(file.c_str()); }).err;
        return result;
    }
    std::string damaged() { return "Damaged file '" + path("image.vlf") + "'\n"; }
};
}  // namespace

TEST_F(LoadImage, WholeImageFillsTheImageInFileOrder) {
    vlf::ImageSpec imageSpec = patternSpec(3);
    std::string err;
    ASSERT_EQ(load(encode(imageSpec), err), kImageLoaded);
    EXPECT_EQ(err, "File checksum " + std::to_string(vlf::checksumWord(imageSpec.words)) + "\n");
    EXPECT_EQ(firmwareImage.packetCount, 3);
    EXPECT_EQ(firmwareImage.setupWord, 0xBEEF);
    std::vector<uint16_t> loaded(firmwareImage.words.get(), firmwareImage.words.get() + 3 * 72);
    EXPECT_EQ(loaded, imageSpec.words);
}

TEST_F(LoadImage, WordsAreLittleEndian) {
    vlf::ImageSpec imageSpec;
    imageSpec.setupWord = 0x0102;
    imageSpec.words.assign(72, 0x0000);
    imageSpec.words[0] = 0xA1B2;
    std::vector<uint8_t> bytes = encode(imageSpec);
    ASSERT_EQ(bytes[12], 0xB2);
    ASSERT_EQ(bytes[13], 0xA1);
    std::string err;
    ASSERT_EQ(load(bytes, err), kImageLoaded);
    EXPECT_EQ(firmwareImage.words[0], 0xA1B2);
    EXPECT_EQ(firmwareImage.setupWord, 0x0102);
}

TEST_F(LoadImage, FourteenByteImageWithoutPackets) {
    std::vector<uint8_t> bytes = {'V',  'L', 'F', 'W',  0xAA, 0xBB, 0xCC,
                                  0xDD, 0,   0,   0x34, 0x12, 0xFE, 0xFF};
    std::string err;
    ASSERT_EQ(load(bytes, err), kImageLoaded);
    EXPECT_EQ(err, "File checksum 65534\n");
    EXPECT_EQ(firmwareImage.packetCount, 0);
    EXPECT_EQ(firmwareImage.setupWord, 0x1234);
}

TEST_F(LoadImage, WrongMagicGivesTheSignOfTheFirstDifference) {
    const std::string file = path("image.vlf");
    std::string err;
    std::vector<uint8_t> bytes = encode(patternSpec(1));
    bytes[3] = 'X';
    EXPECT_EQ(load(bytes, err), kWrongFileType);
    EXPECT_EQ(err, "Wrong file type " + file + " (1)\n");
    bytes[3] = 'V';
    EXPECT_EQ(load(bytes, err), kWrongFileType);
    EXPECT_EQ(err, "Wrong file type " + file + " (-1)\n");
    bytes[0] = 0xD6;  // a byte above 127 is larger, as unsigned bytes compare
    EXPECT_EQ(load(bytes, err), kWrongFileType);
    EXPECT_EQ(err, "Wrong file type " + file + " (1)\n");
    EXPECT_EQ(firmwareImage.words, nullptr);
}

TEST_F(LoadImage, FileThatEndsEarlyGivesWhereItEnded) {
    const std::string wrongType = "Wrong file type " + path("image.vlf") + " (-1)\n";
    const std::vector<uint8_t> whole = encode(patternSpec(2));  // 12 + 288 + 2 bytes
    const struct {
        size_t length;
        int result;
    } cases[] = {
        {0, kWrongFileType},         {3, kWrongFileType},          {4, kDamagedHeader},
        {11, kDamagedHeader},        {12, kDamagedPackets},        {12 + 143, kDamagedPackets},
        {12 + 287, kDamagedPackets}, {12 + 288, kMissingChecksum}, {12 + 289, kMissingChecksum}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        std::string err;
        EXPECT_EQ(load({whole.begin(), whole.begin() + long(c.length)}, err), c.result);
        EXPECT_EQ(err, c.result == kWrongFileType ? wrongType : damaged());
    }
}

TEST_F(LoadImage, ChecksumIsPrintedNotChecked) {
    std::vector<uint8_t> bytes = encode(patternSpec(1));
    bytes[bytes.size() - 2] = 0x39;  // 12345, whatever the packets hold
    bytes[bytes.size() - 1] = 0x30;
    std::string err;
    EXPECT_EQ(load(bytes, err), kImageLoaded);
    EXPECT_EQ(err, "File checksum 12345\n");
}

TEST_F(LoadImage, TrailingBytesAreIgnored) {
    vlf::ImageSpec imageSpec = patternSpec(1);
    std::vector<uint8_t> bytes = encode(imageSpec);
    bytes.insert(bytes.end(), {1, 2, 3, 4, 5});
    std::string err;
    ASSERT_EQ(load(bytes, err), kImageLoaded);
    EXPECT_EQ(firmwareImage.packetCount, 1);
    EXPECT_EQ(err, "File checksum " + std::to_string(vlf::checksumWord(imageSpec.words)) + "\n");
}

TEST_F(LoadImage, MissingFileCannotBeOpened) {
    const std::string file = path("absent.vlf");
    int result = 0;
    const std::string err = captureConsole([&] { result = loadImage(file.c_str()); }).err;
    EXPECT_EQ(result, kCannotOpen);
    EXPECT_EQ(err, "Unable to open file '" + file + "'\n");
}

TEST_F(LoadImage, FailedAllocationLeavesNoImage) {
    const std::string file = path("image.vlf");
    writeFile(file, encode(patternSpec(2)));
    int result = 0;
    const std::string err =
        captureConsole([&] { result = loadImageUsing(file.c_str(), noMemory); }).err;
    EXPECT_EQ(result, kNoMemory);
    EXPECT_EQ(err, "Unable to allocate memory\n");
    EXPECT_EQ(firmwareImage.packetCount, 0);
    EXPECT_EQ(firmwareImage.words, nullptr);
}

TEST_F(LoadImage, FailedLoadKeepsTheImageBefore) {
    vlf::ImageSpec imageSpec = patternSpec(2);
    std::string err;
    ASSERT_EQ(load(encode(imageSpec), err), kImageLoaded);
    std::vector<uint8_t> shortFile = encode(patternSpec(3));
    shortFile.resize(100);
    EXPECT_EQ(load(shortFile, err), kDamagedPackets);
    EXPECT_EQ(firmwareImage.packetCount, 2);
    EXPECT_EQ(firmwareImage.words[71], imageSpec.words[71]);
}

TEST_F(LoadImage, TheFileIsClosedOnEveryOutcome) {
    const std::vector<uint8_t> whole = encode(patternSpec(1));
    const std::vector<std::vector<uint8_t>> files = {
        whole, {}, {'V', 'L', 'F', 'W', 0}, {whole.begin(), whole.begin() + 20}};
    const std::string file = path("image.vlf");
    for (const auto& bytes : files) {
        writeFile(file, bytes);
        int before = 0;
        int afterLoad = 0;
        int afterFailedAllocation = 0;
        captureConsole([&] {
            before = openDescriptors();
            loadImage(file.c_str());
            afterLoad = openDescriptors();
            loadImageUsing(file.c_str(), noMemory);
            afterFailedAllocation = openDescriptors();
        });
        EXPECT_EQ(afterLoad, before) << bytes.size();
        EXPECT_EQ(afterFailedAllocation, before) << bytes.size();
    }
}
