// Channel merge and scrambled copy over real H.264 recordings of the sample card, run through
// quillent-tool as a user does: merged pictures at the joins against the source recordings, the
// engine playing across the joins, ffprobe/ffmpeg on the converted and MP4 outputs, a scrambled
// copy that ffmpeg cannot decode but the engine plays, its round trip and a changed byte reported.
#include "core/container/AviLayout.h"
#include "core/container/RecordingConverter.h"
#include "core/container/RecordingReader.h"
#include "core/container/Riff.h"
#include "media/playback/PlaybackEngine.h"
#include "support/MediaSamples.h"
#include "tests/support/ShellCommand.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const bool kSilent = samples::silenceSound();
const char* kFirst = "RTC20261207_080000.qmv"; // 3 channels, AAC, 10 fps, 3 s

using Shell = ShellResult;

Shell shell(const std::string& command) {
    return runShell(command);
}

Shell tool(const std::string& args) {
    return runShell(builtProgram("quillent-tool") + " " + args);
}

std::string q(const fs::path& p) {
    return shellQuoted(p);
}

fs::path sampleRecording() {
    static fs::path file = [] {
        if (samples::sampleCard().empty())
            return fs::path();
        for (const auto& e : fs::recursive_directory_iterator(samples::sampleCard()))
            if (e.path().filename() == kFirst)
                return e.path();
        return fs::path();
    }();
    return file;
}

double probeDuration(const fs::path& file, const std::string& stream) {
    Shell r = shell("ffprobe -v error -select_streams " + stream +
                    " -show_entries stream=duration -of csv=p=0 " + q(file));
    return r.exitCode == 0 ? std::atof(r.output.c_str()) : -1;
}

class ToolsMedia : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(kSilent);
        ASSERT_TRUE(fs::exists(fs::path(QUILLENT_BIN_DIR) / "quillent-tool")) << "quillent-tool is not built";
        ASSERT_TRUE(fs::exists(fs::path(QUILLENT_BIN_DIR) / "quillent-samplecard"))
            << "quillent-samplecard is not built";
        ASSERT_EQ(shell("ffmpeg -version").exitCode, 0) << "ffmpeg is missing";
        ASSERT_EQ(shell("ffprobe -version").exitCode, 0) << "ffprobe is missing";
        ASSERT_FALSE(sampleRecording().empty()) << "the sample card could not be written";
        dir = samples::folder() / ("tools-" + std::to_string(getpid()) + "-" +
                                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir / "out");
        holder.setViews({&views[0], &views[1], &views[2], &views[3]});
    }
    void TearDown() override {
        holder.close();
        fs::remove_all(dir);
    }
    fs::path convert(const fs::path& file) {
        EXPECT_GE(ConvertRecording(dir / "out", file, true), 0) << file;
        return dir / "out" / (file.filename().string() + ".avi");
    }

    fs::path dir;
    RecordingView views[4];
    PlaybackEngine holder;
};

} // namespace

TEST_F(ToolsMedia, MergedChannelsJoinTheRightPicturesAndPlayAcrossTheJoins) {
    std::vector<fs::path> sources;
    std::string args;
    for (const char* name : {"RTC20261207_080000.qmv", "RTC20261207_080003.qmv", "RTC20261207_080006.qmv"}) {
        sources.push_back(dir / name);
        fs::copy_file(sampleRecording(), sources.back());
        args += " " + q(sources.back());
    }
    Shell r = tool("merge --mp4 --channel 1 --channel 3 --to " + q(dir / "out") + args);
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("channel 3 -> "), std::string::npos) << r.output;
    const fs::path merged = dir / "out" / "RTC20261207_080000_CH1.qmv";
    ASSERT_TRUE(fs::exists(merged));
    ASSERT_TRUE(fs::exists(dir / "out" / "RTC20261207_080000_CH3.qmv"));
    EXPECT_FALSE(fs::exists(dir / "out" / "RTC20261207_080000_CH2.qmv"));
    // An existing merge is kept unless asked.
    r = tool("merge --channel 1 --to " + q(dir / "out") + args);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.output.find("already exists"), std::string::npos);

    // Records: every one of the three recordings, stamped across the whole joined time.
    auto reader = RecordingReader::open(merged, nullptr);
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->info().durationMs, 9000u);
    uint8_t buf[1024];
    uint32_t size = sizeof buf, ms = 0, previous = 0, count = 0;
    while (reader->GetNextRecord(buf, &size, &ms) == 0) {
        EXPECT_GE(ms, previous);
        EXPECT_LT(ms - previous, 1000u) << "no gap at a join";
        previous = ms;
        ++count;
        size = sizeof buf;
    }
    EXPECT_GT(previous, 8000u);

    // Converted, ffprobe reads the sum of the durations; the pictures before and after each join
    // are the source recordings' own.
    const fs::path avi = convert(merged);
    const fs::path source = convert(sampleRecording());
    EXPECT_NEAR(probeDuration(avi, "v:0"), 9.0, 0.05);
    for (int at : {2900, 3000, 3500, 5900, 6000, 8900}) {
        auto joined = samples::ffmpegFrame(avi, 0, at);
        auto original = samples::ffmpegFrame(source, 0, at % 3000);
        ASSERT_TRUE(joined && original) << at;
        EXPECT_GT(samples::psnr(*joined, *original), 45.0) << "at " << at;
    }

    // The engine plays across the joins and shows the same pictures.
    ASSERT_TRUE(holder.open(merged)) << holder.lastError();
    EXPECT_EQ(holder.durationMs(), 9000u);
    for (int at : {2950, 3050, 6050}) {
        holder.seekTo(uint64_t(at));
        ASSERT_TRUE(holder.waitForPicture());
        auto shown = holder.captureImage(1);
        auto original = samples::ffmpegFrame(source, 0, at % 3000);
        ASSERT_TRUE(shown && original) << at;
        EXPECT_GT(samples::psnr(*shown, *original), 35.0) << "at " << at;
    }
    holder.seekTo(2600);
    ASSERT_TRUE(holder.run());
    EXPECT_TRUE(samples::waitFor([&] { return holder.positionMs() > 3400; })) << "stuck at the first join";
    holder.seekTo(5600);
    EXPECT_TRUE(samples::waitFor([&] { return holder.positionMs() > 6400; }))
        << "stuck at the second join";
    EXPECT_EQ(holder.state(), PlaybackEngine::State::Running);

    // The MP4 of the same channel: H.264 and AAC over the whole time, decoded without an error.
    const fs::path mp4 = dir / "out" / "RTC20261207_080000_CH1.mp4";
    EXPECT_NEAR(probeDuration(mp4, "v:0"), 9.0, 0.05);
    EXPECT_NEAR(probeDuration(mp4, "a:0"), 9.0, 0.1);
    r = shell("ffmpeg -v error -xerror -i " + q(mp4) + " -f null -");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.output, "");
    auto last = samples::ffmpegFrame(mp4, 0, 8900);
    auto original = samples::ffmpegFrame(source, 0, 2900);
    ASSERT_TRUE(last && original);
    EXPECT_GT(samples::psnr(*last, *original), 45.0);
}

TEST_F(ToolsMedia, ScrambledCopyPlaysOnlyHereRoundTripsAndReportsAChangedByte) {
    const fs::path copy = dir / "copy.qmv";
    Shell r = tool("copy --scrambled " + q(sampleRecording()) + " " + q(copy));
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(tool("copy " + q(copy)).exitCode, 2) << "no mode: usage";
    r = tool("copy --scrambled " + q(sampleRecording()) + " " + q(copy));
    EXPECT_EQ(r.exitCode, 1) << "the copy exists";

    // Made standard without unscrambling (signatures and start codes as a converter would put
    // them), ffmpeg still cannot decode the pictures.
    std::ifstream in(copy, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    in.close();
    MemoryByteSource src(bytes.data(), bytes.size());
    AviLayout layout;
    ASSERT_TRUE(ParseAviLayout(src, layout, nullptr));
    writeLe32(bytes.data(), kFccRiff);
    writeLe32(bytes.data() + 8, kFccAvi);
    WalkMovi(src, layout, [&](const RiffChunk& c) {
        if (isVideoChunkId(c.id) && c.size >= 4)
            writeLe32(bytes.data() + c.dataOffset(), 0x01000000);
    });
    std::ofstream(dir / "peeled.avi", std::ios::binary)
        .write(reinterpret_cast<char*>(bytes.data()), long(bytes.size()));
    r = shell("ffmpeg -v error -i " + q(dir / "peeled.avi") + " -map 0:v:0 -f framemd5 -");
    const fs::path clearAvi = convert(sampleRecording());
    Shell clear = shell("ffmpeg -v error -i " + q(clearAvi) + " -map 0:v:0 -f framemd5 -");
    ASSERT_EQ(clear.exitCode, 0);
    EXPECT_NE(r.output, clear.output);
    EXPECT_NE(r.output.find("rror"), std::string::npos) << "decoding errors expected";

    // The engine plays the copy with the source's pictures.
    ASSERT_TRUE(holder.open(copy)) << holder.lastError();
    EXPECT_EQ(holder.channelCount(), 3);
    for (int at : {0, 1500, 2900}) {
        holder.seekTo(uint64_t(at));
        ASSERT_TRUE(holder.waitForPicture());
        for (int channel = 1; channel <= 3; ++channel) {
            auto shown = holder.captureImage(channel);
            auto original = samples::ffmpegFrame(clearAvi, channel - 1, at);
            ASSERT_TRUE(shown && original) << at;
            EXPECT_GT(samples::psnr(*shown, *original), 35.0) << "channel " << channel << " at " << at;
        }
    }
    ASSERT_TRUE(holder.run());
    EXPECT_TRUE(samples::waitFor([&] { return holder.positionMs() > 1000; }));
    holder.close();

    // The way back: the very recording the camera wrote, stream for stream.
    r = tool("copy --clear " + q(copy) + " " + q(dir / "back.qmv"));
    ASSERT_EQ(r.exitCode, 0) << r.output;
    fs::create_directories(dir / "back");
    ASSERT_GE(ConvertRecording(dir / "back", dir / "back.qmv", true), 0);
    Shell back = shell("ffmpeg -v error -i " + q(dir / "back" / "back.qmv.avi") +
                       " -map 0:v -map 0:a -f streamhash -");
    Shell original = shell("ffmpeg -v error -i " + q(clearAvi) + " -map 0:v -map 0:a -f streamhash -");
    EXPECT_EQ(back.output, original.output);
    EXPECT_EQ(back.exitCode, 0);
    EXPECT_EQ(tool("copy --verify " + q(copy)).exitCode, 0);

    // One flipped byte in a picture.
    bytes.assign((std::istreambuf_iterator<char>(*std::make_unique<std::ifstream>(copy, std::ios::binary))),
                 {});
    bytes[bytes.size() / 2] ^= 0x20;
    std::ofstream(copy, std::ios::binary).write(reinterpret_cast<char*>(bytes.data()), long(bytes.size()));
    r = tool("copy --verify " + q(copy));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.output.find("has been changed"), std::string::npos) << r.output;
    r = tool("copy --clear --avi " + q(copy) + " " + q(dir / "back2.avi"));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(fs::exists(dir / "back2.avi"));
}

// The MP4 output of a merge goes through the safe writer: a link planted at a temporary name is
// not followed and a pipe at the target is not replaced, even with --force.
TEST_F(ToolsMedia, Mp4OutputNeverFollowsALinkNorReplacesAPipe) {
    const fs::path victim = dir / "victim";
    { std::ofstream(victim) << "keep"; }
    const fs::path mp4 = dir / "out" / "RTC20261207_080000_CH1.mp4";
    fs::create_symlink(victim, dir / "out" / ".RTC20261207_080000_CH1.mp4.part");
    fs::create_symlink(victim, dir / "out" / ".RTC20261207_080000_CH1.qmv.part");
    Shell r = tool("merge --mp4 --channel 1 --to " + q(dir / "out") + " " + q(sampleRecording()));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    std::ifstream in(victim);
    std::string kept((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(kept, "keep");
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(mp4)));

    fs::remove(mp4);
    ASSERT_EQ(::mkfifo(mp4.c_str(), 0600), 0);
    r = tool("merge --mp4 --force --channel 1 --to " + q(dir / "out") + " " + q(sampleRecording()));
    EXPECT_EQ(r.exitCode, 1) << r.output;
    EXPECT_NE(r.output.find("not a regular file"), std::string::npos) << r.output;
    EXPECT_TRUE(fs::is_fifo(mp4));
}
