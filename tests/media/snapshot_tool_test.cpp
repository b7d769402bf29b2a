// quillent-tool snapshot and the JPEG writer behind it.
#include "media/playback/FrameJpeg.h"
#include "support/MediaSamples.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

// Width and height from a baseline or progressive JPEG's start-of-frame marker.
std::pair<int, int> jpegSize(const std::string& jpeg) {
    for (size_t i = 2; i + 9 < jpeg.size();) {
        if (uint8_t(jpeg[i]) != 0xFF)
            return {0, 0};
        uint8_t marker = uint8_t(jpeg[i + 1]);
        size_t length = uint8_t(jpeg[i + 2]) << 8 | uint8_t(jpeg[i + 3]);
        if (marker == 0xC0 || marker == 0xC2)
            return {uint8_t(jpeg[i + 7]) << 8 | uint8_t(jpeg[i + 8]),
                    uint8_t(jpeg[i + 5]) << 8 | uint8_t(jpeg[i + 6])};
        i += 2 + length;
    }
    return {0, 0};
}

int runTool(const std::string& args) {
    std::string cmd = std::string("'") + QUILLENT_BIN_DIR + "/quillent-tool' " + args + " > /dev/null 2>&1";
    int status = std::system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(FrameJpeg, WritesTheWholePicture) {
    uint8_t* pixels = nullptr;
    auto frame = VideoFrame::allocate(64, 48, &pixels);
    for (int i = 0; i < 64 * 48; ++i)
        pixels[i * 4 + 2] = 200; // red
    fs::path out = samples::folder() / ("frame" + std::to_string(getpid()) + ".jpg");
    std::string error;
    ASSERT_TRUE(saveFrameAsJpeg(*frame, out, &error)) << error;
    std::string jpeg = readAll(out);
    ASSERT_GT(jpeg.size(), 4u);
    EXPECT_EQ(uint8_t(jpeg[0]), 0xFF);
    EXPECT_EQ(uint8_t(jpeg[1]), 0xD8);
    EXPECT_EQ(jpegSize(jpeg), std::make_pair(64, 48));
    fs::remove(out);

    EXPECT_FALSE(saveFrameAsJpeg(VideoFrame{}, out, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(saveFrameAsJpeg(*frame, samples::folder() / "no-such-folder" / "x.jpg", &error));
}

TEST(SnapshotTool, SavesTheChosenChannelAtFullSize) {
    ASSERT_TRUE(fs::exists(fs::path(QUILLENT_BIN_DIR) / "quillent-tool")) << "quillent-tool is not built";
    fs::path avi = samples::threeChannelAvi();
    ASSERT_FALSE(avi.empty());
    fs::path out = samples::folder() / ("snap" + std::to_string(getpid()) + ".jpg");
    ASSERT_EQ(runTool("snapshot '" + avi.string() + "' --at 1250 '" + out.string() + "'"), 0);
    EXPECT_EQ(jpegSize(readAll(out)), std::make_pair(320, 240)) << "channel 1 by default";
    ASSERT_EQ(runTool("snapshot '" + avi.string() + "' --at 500 --channel 3 '" + out.string() + "'"), 0);
    EXPECT_EQ(jpegSize(readAll(out)), std::make_pair(176, 144));
    fs::remove(out);

    EXPECT_EQ(runTool("snapshot '" + avi.string() + "' --at 500 --channel 4 '" + out.string() + "'"), 1)
        << "three channels only";
    EXPECT_EQ(runTool("snapshot '" + (samples::folder() / "missing.avi").string() + "' --at 0 x.jpg"), 1);
    EXPECT_EQ(runTool("snapshot '" + avi.string() + "' '" + out.string() + "'"), 2) << "--at is needed";
    EXPECT_EQ(runTool("snapshot '" + avi.string() + "' --at -5 '" + out.string() + "'"), 2);
    EXPECT_EQ(runTool("snapshot '" + avi.string() + "' --at 0 --channel 0 '" + out.string() + "'"), 2);
    EXPECT_FALSE(fs::exists(out));
}

} // namespace
