// Converted recordings and the repaired view play elsewhere: ffprobe finds every stream and ffmpeg
// decodes them without an error. Fails when ffmpeg is not installed.
#include "core/container/RecordingConverter.h"
#include "core/container/RepairedView.h"
#include "support/ContainerFixtures.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>

namespace fs = std::filesystem;

namespace {

bool HaveFfmpeg() {
    return std::system("ffprobe -version >/dev/null 2>&1 && ffmpeg -version >/dev/null 2>&1") == 0;
}

std::string RunCommand(const std::string& command, int* status) {
    std::string out;
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (!p) {
        *status = -1;
        return out;
    }
    std::array<char, 4096> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0)
        out.append(buf.data(), n);
    *status = pclose(p);
    return out;
}

// "video,video,audio,subtitle" for the streams ffprobe sees.
std::string StreamKinds(const fs::path& file) {
    int status = 0;
    std::string out = RunCommand(
        "ffprobe -v error -show_entries stream=codec_type -of csv=p=0 '" + file.string() + "'", &status);
    EXPECT_EQ(status, 0) << out;
    std::string kinds;
    for (char c : out)
        kinds += c == '\n' ? ',' : c;
    if (!kinds.empty())
        kinds.pop_back();
    return kinds;
}

void ExpectDecodes(const fs::path& file) {
    int status = 0;
    std::string out = RunCommand(
        "ffmpeg -nostdin -v error -i '" + file.string() + "' -map 0:v -map 0:a -f null -", &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_EQ(out, "") << file;
    out = RunCommand("ffmpeg -nostdin -v error -i '" + file.string() + "' -f null -", &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_EQ(out, "") << file;
}

} // namespace

TEST(ConvertedPlayback, FfmpegReadsConvertedRecordingsAndTheRepairedView) {
    ASSERT_TRUE(HaveFfmpeg()) << "ffmpeg and ffprobe are required (scripts/install-deps.sh)";
    TempDir dir;
    const fs::path data = QUILLENT_TEST_DATA;
    struct Case {
        const char* name;
        const char* kinds;
    } cases[] = {{"camera-1ch.qmv", "video,audio,subtitle"},
                 {"camera-3ch-unfinished.qmv", "video,video,video,audio,subtitle"}};
    for (const auto& c : cases) {
        ASSERT_GE(ConvertRecording(dir.path(), data / c.name, true), 0) << c.name;
        const fs::path avi = dir / (std::string(c.name) + ".avi");
        EXPECT_EQ(StreamKinds(avi), c.kinds) << c.name;
        ExpectDecodes(avi);

        auto view = RepairedView::open(data / c.name, nullptr);
        ASSERT_TRUE(view);
        Bytes bytes(size_t(view->size()));
        ASSERT_EQ(view->read(0, bytes.data(), bytes.size()), int64_t(bytes.size()));
        const fs::path repaired = dir / (std::string(c.name) + ".view.avi");
        WriteFile(repaired, bytes);
        EXPECT_EQ(StreamKinds(repaired), c.kinds) << c.name;
        ExpectDecodes(repaired);
    }
}

TEST(ConvertedPlayback, EverySampleCardRecordingConverts) {
    const fs::path generator = fs::path(QUILLENT_BIN_DIR) / "quillent-samplecard";
    ASSERT_TRUE(fs::exists(generator)) << "quillent-samplecard is not built";
    ASSERT_TRUE(HaveFfmpeg()) << "ffmpeg and ffprobe are required (scripts/install-deps.sh)";
    TempDir dir;
    int status = 0;
    std::string out = RunCommand("'" + generator.string() + "' '" + (dir / "card").string() + "'", &status);
    ASSERT_EQ(status, 0) << out;
    fs::create_directories(dir / "out");
    int converted = 0;
    for (const auto& e : fs::recursive_directory_iterator(dir / "card")) {
        if (e.path().extension() != ".qmv")
            continue;
        ASSERT_GE(ConvertRecording(dir / "out", e.path(), true), 0) << e.path();
        const fs::path avi = ConvertedPath(dir / "out", e.path(), true);
        EXPECT_NE(StreamKinds(avi).find("video"), std::string::npos) << avi;
        ExpectDecodes(avi);
        ++converted;
    }
    EXPECT_GE(converted, 10);
}
