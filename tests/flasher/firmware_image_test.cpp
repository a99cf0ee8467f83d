// The .vlf loader where the fuzz corpus cannot take it: a failed allocation, and names that are
// no regular file. Every layout of a file's bytes is checked by the image loader's fuzz harness,
// whose corpus ctest replays.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "firmware_image.h"
#include "flasher_fixture.h"
#include "vlf_writer.h"

class LoadImage : public FlasherTest {};

TEST_F(LoadImage, NoMemoryForThePacketsLeavesTheEarlierImage) {
    vlf::ImageSpec imageSpec;
    imageSpec.words = vlf::patternPackets(2, 3);
    const std::string file = path("image.vlf");
    std::string error;
    ASSERT_TRUE(vlf::writeImage(file, imageSpec, error)) << error;
    const std::vector<uint16_t> before = useImage(1, 0x7777, 99);
    int result = 0;
    const auto noMemory = [](size_t) { return std::unique_ptr<uint16_t[]>(); };
    EXPECT_EQ(captureConsole([&] { result = loadImageUsing(file.c_str(), noMemory); }).err,
              "Unable to allocate memory\n");
    EXPECT_EQ(result, kNoMemory);
    EXPECT_EQ(firmwareImage.packetCount, 1);
    EXPECT_EQ(firmwareImage.setupWord, 0x7777);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), firmwareImage.words.get()));
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
