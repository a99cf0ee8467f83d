// The producer of image files, and its files read back by the flasher's own loader.
#include <gtest/gtest.h>

#include "firmware_image.h"
#include "make_vlf_args.h"
#include "output_capture.h"
#include "vlf_writer.h"

using namespace flasher;

namespace {
bool parse(std::vector<const char*> args, vlf::MakeVlfRequest& request, std::string& error) {
    args.insert(args.begin(), "make_vlf");
    return vlf::parseMakeVlfArgs(int(args.size()), args.data(), request, error);
}
}  // namespace

TEST(VlfWriter, BinaryBecomesLittleEndianWordsPaddedToWholePackets) {
    std::vector<uint16_t> words = vlf::packetsFromBinary({0x34, 0x12, 0x78, 0x56, 0xAB});
    ASSERT_EQ(words.size(), 72u);
    EXPECT_EQ(words[0], 0x1234);
    EXPECT_EQ(words[1], 0x5678);
    EXPECT_EQ(words[2], 0xFFAB) << "an odd last byte gets 0xFF above it";
    EXPECT_EQ(std::count(words.begin() + 3, words.end(), 0xFFFF), 69) << "erased flash";
    EXPECT_TRUE(vlf::packetsFromBinary({}).empty());
    EXPECT_EQ(vlf::packetsFromBinary(std::vector<uint8_t>(144, 0)).size(), 72u);
    EXPECT_EQ(vlf::packetsFromBinary(std::vector<uint8_t>(145, 0)).size(), 144u);
}

TEST(VlfWriter, HeaderLayoutAndChecksumWord) {
    vlf::ImageLayout layout;
    layout.reservedFirst = 0xA1A2;
    layout.reservedSecond = 0xB1B2;
    layout.setupWord = 0xC1C2;
    layout.words.assign(144, 0x0101);
    std::vector<uint8_t> file;
    std::string error;
    ASSERT_TRUE(vlf::encodeImage(layout, file, error)) << error;
    ASSERT_EQ(file.size(), 14u + 288);
    EXPECT_EQ(std::vector<uint8_t>(file.begin(), file.begin() + 12),
              std::vector<uint8_t>({'V', 'L', 'F', 'W', 0xA2, 0xA1, 0xB2, 0xB1, 2, 0, 0xC2, 0xC1}));
    EXPECT_EQ(file[file.size() - 2], 0x90);  // 144 * 0x0101 = 0x9090
    EXPECT_EQ(file[file.size() - 1], 0x90);
    EXPECT_EQ(vlf::checksumWord({0xFFFF, 0x0002}), 0x0001) << "the sum wraps";
}

// Written images load back word for word in the flash tests (tests/flasher), whose transcripts
// show their setup words and packet counts; here the demo image that the README's example opens.
TEST(VlfWriter, TheDemoImageLoadsBack) {
    OutputCapture quiet;
    const LoadedImage demo = loadImage(KMR_DEMO_IMAGE);
    ASSERT_EQ(demo.result, kImageLoaded);
    EXPECT_EQ(demo.image.packetCount, 120);
    EXPECT_EQ(demo.image.setupWord, 0x0001);
    const std::vector<uint16_t> pattern = vlf::patternPackets(120, 1);
    EXPECT_TRUE(std::equal(pattern.begin(), pattern.end(), demo.image.words.get()));
}

TEST(MakeVlfArgs, RefusedCommandLines) {
    struct Case {
        std::vector<const char*> args;
        std::string error;
    };
    const std::vector<Case> cases = {
        {{"--packets=1"}, "no output file given"},
        {{"out.vlf"}, "give either --packets or --binary"},
        {{"--packets=1", "--binary=x", "out.vlf"}, "give either --packets or --binary"},
        {{"--packets=65536", "out.vlf"}, "--packets needs a count from 0 to 65535, not '65536'"},
        {{"--packets=-1", "out.vlf"}, "--packets needs a count from 0 to 65535, not '-1'"},
        {{"--setup=0x10000", "--packets=1", "out.vlf"},
         "--setup needs a 16-bit number, not '0x10000'"},
        {{"--seed=abc", "--packets=1", "out.vlf"}, "--seed needs a 32-bit number, not 'abc'"},
        {{"--binary=", "out.vlf"}, "--binary needs a file name"},
        {{"--packets=1", "a.vlf", "b.vlf"}, "only one output file, not also 'b.vlf'"},
        {{"--frobnicate", "out.vlf"}, "unknown option '--frobnicate'"},
    };
    for (const Case& c : cases) {
        vlf::MakeVlfRequest request;
        std::string error;
        EXPECT_FALSE(parse(c.args, request, error)) << c.error;
        EXPECT_EQ(error, c.error);
    }
}
