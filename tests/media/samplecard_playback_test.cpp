// The engine over the sample card of the project's generator: camera-form recordings (finished,
// unfinished, truncated, one to three channels, AAC and PCM) and the plain MP4.
#include "core/container/RecordingConverter.h"
#include "core/container/RecordingReader.h"
#include "media/playback/PlaybackEngine.h"
#include "media/playback/RecordingBytes.h"
#include "support/MediaSamples.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

const bool kSilent = samples::silenceSound();

std::vector<fs::path> cardRecordings() {
    std::vector<fs::path> files;
    if (samples::sampleCard().empty())
        return files;
    for (const auto& entry : fs::recursive_directory_iterator(samples::sampleCard()))
        if (entry.is_regular_file() &&
            (entry.path().extension() == ".qmv" || entry.path().extension() == ".mp4"))
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

class SampleCardTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(kSilent);
        ASSERT_TRUE(fs::exists(fs::path(QUILLENT_BIN_DIR) / "quillent-samplecard"))
            << "quillent-samplecard is not built";
        ASSERT_FALSE(samples::sampleCard().empty()) << "the sample card could not be written";
        holder.setViews({&views[0], &views[1], &views[2], &views[3]});
    }

    fs::path find(const std::string& name) {
        for (const auto& f : cardRecordings())
            if (f.filename() == name)
                return f;
        return {};
    }

    template <typename F> bool waitFor(F done) { return samples::waitFor(done, 30); }

    RecordingView views[4];
    PlaybackEngine holder;
};

TEST_F(SampleCardTest, EveryRecordingOpensWithItsChannelsAndDuration) {
    auto files = cardRecordings();
    ASSERT_GE(files.size(), 10u);
    for (const auto& file : files) {
        std::string error;
        auto reader = RecordingReader::open(file, &error);
        ASSERT_TRUE(reader) << file << ": " << error;
        ASSERT_TRUE(holder.open(file)) << file << ": " << holder.lastError();
        EXPECT_EQ(holder.channelCount(), reader->info().videoChannels) << file;
        EXPECT_NEAR(double(holder.durationMs()), double(reader->info().durationMs), 150.0) << file;
        for (int c = 1; c <= holder.channelCount(); ++c)
            EXPECT_TRUE(views[c - 1].last()) << file << " channel " << c << " shows its first picture";
    }
}

TEST_F(SampleCardTest, AccurateSeekMatchesTheConvertedRecording) {
    fs::path file = find("RTC20261207_080000.qmv"); // three channels, AAC
    ASSERT_FALSE(file.empty());
    fs::path out = samples::folder() / ("converted" + std::to_string(getpid()));
    fs::create_directories(out);
    ASSERT_GE(ConvertRecording(out, file, true), 0);
    fs::path avi = ConvertedPath(out, file, true);

    ASSERT_TRUE(holder.open(file));
    ASSERT_EQ(holder.channelCount(), 3);
    const uint64_t duration = holder.durationMs();
    // A picture's start, inside one, near the end.
    for (uint64_t at : {uint64_t(1500), uint64_t(2366), duration - 150}) {
        holder.seekTo(at);
        // Every branch, the sound included, finds the new position (camera-form AAC is timed by
        // its frames, not by its bytes).
        EXPECT_TRUE(holder.waitForPicture()) << "at " << at;
        for (int channel = 1; channel <= 3; ++channel) {
            VideoFramePtr shown = holder.captureImage(channel);
            ASSERT_TRUE(shown);
            VideoFramePtr reference = samples::ffmpegFrame(avi, channel - 1, at);
            ASSERT_TRUE(reference) << "ffmpeg cannot decode channel " << channel << " at " << at;
            EXPECT_GT(samples::psnr(*shown, *reference), 35.0) << "channel " << channel << " at " << at;
        }
    }
    fs::remove_all(out);
}

TEST_F(SampleCardTest, CompressedSoundIsTimedByItsFrames) {
    // The camera marks AAC as byte-aligned; the player's view makes the demuxer count frames.
    std::string error;
    auto bytes = openRecordingBytes(find("RTC20261207_080000.qmv"), &error);
    ASSERT_TRUE(bytes) << error;
    std::string head(64 * 1024, '\0');
    head.resize(size_t(std::max<int64_t>(bytes->read(0, head.data(), head.size()), 0)));
    size_t auds = head.find("auds");
    ASSERT_NE(auds, std::string::npos);
    size_t strf = head.find("strf", auds);
    ASSERT_NE(strf, std::string::npos);
    const auto* f = reinterpret_cast<const uint8_t*>(head.data() + strf + 8);
    EXPECT_EQ(f[0] | f[1] << 8, 0xFF) << "AAC";
    EXPECT_EQ(f[12] | f[13] << 8, 1024) << "block alignment = samples per frame";

    // PCM keeps its own alignment.
    bytes = openRecordingBytes(find("RTC20261207_080200.qmv"), &error);
    ASSERT_TRUE(bytes) << error;
    head.assign(64 * 1024, '\0');
    head.resize(size_t(std::max<int64_t>(bytes->read(0, head.data(), head.size()), 0)));
    strf = head.find("strf", head.find("auds"));
    ASSERT_NE(strf, std::string::npos);
    f = reinterpret_cast<const uint8_t*>(head.data() + strf + 8);
    EXPECT_EQ(f[0] | f[1] << 8, 1) << "PCM";
    EXPECT_EQ(f[12] | f[13] << 8, 2);
}

TEST_F(SampleCardTest, UnfinishedAndTruncatedRecordingsPlayToTheirEnd) {
    for (const char* name : {"RTC20261207_080400.qmv", "RTC20261207_080500.qmv", "RTC20261207_080200.qmv"}) {
        fs::path file = find(name);
        ASSERT_FALSE(file.empty()) << name;
        ASSERT_TRUE(holder.open(file)) << name << ": " << holder.lastError();
        uint64_t duration = holder.durationMs();
        ASSERT_GT(duration, 0u) << name;
        holder.seekTo(duration > 700 ? duration - 700 : 0);
        holder.setRate(2.0f);
        ASSERT_TRUE(holder.run());
        EXPECT_TRUE(waitFor([&] { return holder.positionMs() >= duration; })) << name;
        EXPECT_EQ(holder.state(), PlaybackEngine::State::Running)
            << name << ": " << holder.lastError();
    }
}

TEST_F(SampleCardTest, FrameStepMovesEveryChannel) {
    fs::path file = find("RTC20261207_080000.qmv");
    ASSERT_TRUE(holder.open(file));
    holder.seekTo(1000);
    ASSERT_TRUE(holder.waitForPicture());
    // Each step moves every channel by one picture interval (the same for all steps).
    std::array<int64_t, 3> times{};
    for (int c = 0; c < 3; ++c)
        times[c] = holder.captureImage(c + 1)->timestampMs;
    std::array<int64_t, 3> firstStep{};
    for (int step = 0; step < 3; ++step) {
        ASSERT_TRUE(holder.stepFrame());
        for (int c = 0; c < 3; ++c) {
            int64_t now = holder.captureImage(c + 1)->timestampMs;
            int64_t moved = now - times[c];
            EXPECT_GT(moved, 0) << "channel " << c + 1;
            EXPECT_LE(moved, 100) << "channel " << c + 1;
            if (step == 0)
                firstStep[c] = moved;
            else
                EXPECT_EQ(moved, firstStep[c]) << "channel " << c + 1 << " step " << step;
            times[c] = now;
        }
    }
}

} // namespace
