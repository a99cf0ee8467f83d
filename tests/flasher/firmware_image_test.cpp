// The .vlf loader where the fuzz corpus cannot take it: a failed allocation, and names that are
// no regular file. Every layout of a file's bytes is checked by the image loader's fuzz harness,
// whose corpus ctest replays.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QTemporaryDir>

#include "firmware_image.h"
#include "output_capture.h"
#include "vlf_writer.h"

using namespace flasher;

namespace {
std::string errorsOf(const std::function<void()>& action) {
    OutputCapture capture;
    action();
    return capture.err();
}
}  // namespace

TEST(LoadImage, NoMemoryForThePacketsGivesNoImage) {
    QTemporaryDir dir;
    const std::string file = dir.filePath("image.vlf").toStdString();
    vlf::ImageLayout layout;
    layout.setupWord = 0x7777;
    layout.words = vlf::patternPackets(2, 3);
    std::string error;
    ASSERT_TRUE(vlf::writeImage(file, layout, error)) << error;
    LoadedImage loaded;
    const auto noMemory = [](size_t) { return std::unique_ptr<uint16_t[]>(); };
    EXPECT_EQ(errorsOf([&] { loaded = loadImageUsing(file.c_str(), noMemory); }), "");
    EXPECT_EQ(loaded.log, "Unable to allocate memory\n");
    EXPECT_EQ(loaded.result, kNoMemory);
    EXPECT_EQ(loaded.image.packetCount, 0);
    EXPECT_FALSE(loaded.image.words);
}

// Only a regular file can be an image: the rest cannot be opened, and a FIFO must not block.
TEST(LoadImage, WhatIsNoRegularFileCannotBeOpened) {
    QTemporaryDir dir;
    const std::string fifo = dir.filePath("fifo.vlf").toStdString();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string folder = dir.path().toStdString() + "/";
    for (const std::string& name :
         {folder + "absent.vlf", folder, fifo, std::string("/dev/zero")}) {
        SCOPED_TRACE(name);
        LoadedImage loaded;
        EXPECT_EQ(errorsOf([&] { loaded = loadImage(name.c_str()); }), "");
        EXPECT_EQ(loaded.log, "Unable to open file '" + name + "'\n");
        EXPECT_EQ(loaded.result, kCannotOpen);
    }
}
