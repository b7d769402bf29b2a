// Converted recordings and the repaired view play elsewhere: ffprobe finds every stream and ffmpeg
// decodes them without an error. Fails when ffmpeg is not installed.
#include "core/container/RecordingConverter.h"
#include "core/container/RepairedView.h"
#include "support/ContainerFixtures.h"
#include "tests/support/ShellCommand.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

// "video,video,audio,subtitle" for the streams ffprobe sees.
std::string StreamKinds(const fs::path& file) {
    const ShellResult r =
        runShell("ffprobe -v error -show_entries stream=codec_type -of csv=p=0 " + shellQuoted(file));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    std::string kinds;
    for (char c : r.output)
        kinds += c == '\n' ? ',' : c;
    if (!kinds.empty())
        kinds.pop_back();
    return kinds;
}

// Decodes the video and sound streams, then every stream, without a word from ffmpeg.
void ExpectDecodes(const fs::path& file) {
    for (const char* maps : {"-map 0:v -map 0:a ", ""}) {
        const ShellResult r =
            runShell("ffmpeg -nostdin -v error -i " + shellQuoted(file) + " " + maps + "-f null -");
        EXPECT_EQ(r.exitCode, 0) << r.output;
        EXPECT_EQ(r.output, "") << file << " " << maps;
    }
}

} // namespace

TEST(ConvertedPlayback, FfmpegReadsConvertedRecordingsAndTheRepairedView) {
    ASSERT_TRUE(haveFfmpeg()) << "ffmpeg and ffprobe are required (scripts/install-deps.sh)";
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
    ASSERT_TRUE(haveFfmpeg()) << "ffmpeg and ffprobe are required (scripts/install-deps.sh)";
    TempDir dir;
    const ShellResult gen = runShell(shellQuoted(generator) + " " + shellQuoted(dir / "card"));
    ASSERT_EQ(gen.exitCode, 0) << gen.output;
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
