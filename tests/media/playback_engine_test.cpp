// The playback engine driven the way the main window, the clock and the tools drive it.
#include "media/playback/PlaybackEngine.h"
#include "support/MediaSamples.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

namespace {

// Silent runs, also on machines with a sound device.
const bool kSilent = samples::silenceSound();

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(kSilent);
        holder.setViews({&views[0], &views[1], &views[2], &views[3]});
    }

    bool open(const std::filesystem::path& path) {
        if (path.empty())
            return false;
        return holder.open(path);
    }

    template <typename F> bool waitFor(F done, int seconds = 20) { return samples::waitFor(done, seconds); }

    RecordingView views[4];
    PlaybackEngine holder;
};

TEST_F(EngineTest, ChecksItsComponents) {
    EXPECT_EQ(holder.checkFilters(), 1);
}

TEST_F(EngineTest, OpensChannelsWithDurations) {
    ASSERT_TRUE(open(samples::threeChannelAvi())) << holder.lastError();
    EXPECT_EQ(holder.channelCount(), 3);
    EXPECT_NEAR(double(holder.durationMs()), 2000.0, 120.0);
    EXPECT_EQ(holder.state(), PlaybackEngine::State::Stopped);
    EXPECT_EQ(holder.positionMs(), 0u);
    // Every channel shows its first picture at full size once cued; the fourth view stays empty.
    ASSERT_TRUE(views[0].last());
    EXPECT_EQ(views[0].last()->width, 320);
    ASSERT_TRUE(views[1].last());
    EXPECT_EQ(views[1].last()->width, 160);
    ASSERT_TRUE(views[2].last());
    EXPECT_EQ(views[2].last()->height, 144);
    EXPECT_FALSE(views[3].last());

    ASSERT_TRUE(open(samples::oneChannelMp4())) << holder.lastError();
    EXPECT_EQ(holder.channelCount(), 1);
    EXPECT_NEAR(double(holder.durationMs()), 2000.0, 120.0);
    EXPECT_FALSE(views[1].last()) << "views of channels the new recording lacks are cleared";

    ASSERT_TRUE(open(samples::pcmAvi())) << holder.lastError();
    EXPECT_EQ(holder.channelCount(), 1);
}

TEST_F(EngineTest, RecordingWithoutVideoStillReportsItsPosition) {
    ASSERT_TRUE(open(samples::audioOnlyAvi())) << holder.lastError();
    EXPECT_EQ(holder.channelCount(), 0);
    EXPECT_NEAR(double(holder.durationMs()), 2000.0, 120.0);
    EXPECT_FALSE(holder.captureImage(1));
    ASSERT_TRUE(holder.run());
    EXPECT_TRUE(waitFor([&] { return holder.positionMs() > 0; }));
}

TEST_F(EngineTest, ControlsWithoutEngineReportSuccessAndNothing) {
    PlaybackEngine bare;
    EXPECT_EQ(bare.state(), PlaybackEngine::State::Closed);
    EXPECT_TRUE(bare.run());
    EXPECT_TRUE(bare.pause());
    EXPECT_TRUE(bare.stop());
    EXPECT_EQ(bare.positionMs(), 0u);
    EXPECT_EQ(bare.durationMs(), 0u);
    EXPECT_FALSE(bare.skipBack(2));
    EXPECT_FALSE(bare.stepFrame());
    EXPECT_FALSE(bare.open(samples::threeChannelAvi())) << "no windows attached";
    EXPECT_FALSE(bare.captureImage(1));

    // Attaching creates an engine that is not yet built.
    EXPECT_EQ(holder.state(), PlaybackEngine::State::NotBuilt);
    EXPECT_FALSE(holder.open(""));
}

TEST_F(EngineTest, BrokenFilesFailToOpenAndReleaseEverything) {
    ASSERT_TRUE(open(samples::threeChannelAvi()));
    std::string avi = "RIFF\x10\x00\x00\x00"
                      "AVI LIST" +
                      std::string(64, '\xff');
    EXPECT_FALSE(open(samples::writeFile("broken-header.avi", avi)));
    EXPECT_FALSE(holder.lastError().empty());
    EXPECT_EQ(holder.state(), PlaybackEngine::State::Closed);
    EXPECT_FALSE(views[0].last()) << "the previous recording is no longer shown";
    EXPECT_FALSE(open(samples::writeFile("broken-empty.avi", "")));
    EXPECT_FALSE(open(samples::writeFile("broken-text.avi", "not a recording at all")));
    EXPECT_FALSE(open(samples::folder() / "missing.avi"));
    EXPECT_FALSE(open(samples::folder())) << "a folder is no recording";

    // A recording cut in half still opens or fails cleanly, and never hangs.
    std::ifstream in(samples::threeChannelAvi(), std::ios::binary);
    std::string whole((std::istreambuf_iterator<char>(in)), {});
    if (open(samples::writeFile("broken-truncated.avi", whole.substr(0, whole.size() / 2)))) {
        EXPECT_TRUE(holder.run());
        EXPECT_TRUE(waitFor([&] { return holder.positionMs() >= holder.durationMs(); }));
    }
}

TEST_F(EngineTest, StateRulesOfRunPauseStop) {
    ASSERT_TRUE(open(samples::threeChannelAvi()));
    EXPECT_TRUE(holder.pause()) << "pause while stopped succeeds";
    EXPECT_EQ(holder.state(), PlaybackEngine::State::Stopped) << "and leaves it stopped";
    EXPECT_FALSE(holder.stop()) << "stop while stopped is the wrong state";
    holder.stop();
    EXPECT_EQ(holder.lastResult(), EngineResult::WrongState);
    EXPECT_FALSE(holder.skipForward(1)) << "skips only while running or paused";

    ASSERT_TRUE(holder.run());
    EXPECT_EQ(holder.state(), PlaybackEngine::State::Running);
    holder.run();
    EXPECT_EQ(holder.lastResult(), EngineResult::WrongState);
    ASSERT_TRUE(holder.pause());
    EXPECT_EQ(holder.state(), PlaybackEngine::State::Paused);
    ASSERT_TRUE(holder.stop());
    EXPECT_EQ(holder.state(), PlaybackEngine::State::Stopped);
    holder.close();
    EXPECT_EQ(holder.state(), PlaybackEngine::State::Closed);
    EXPECT_GE(views[0].cleared(), 1);
}

TEST_F(EngineTest, AccurateSeekShowsTheMatchingPicture) {
    auto file = samples::threeChannelAvi();
    ASSERT_TRUE(open(file));
    ASSERT_TRUE(holder.pause());
    // 1250 ms at 10 fps is inside the picture of 1200 ms (not a key picture: decoding starts at
    // the one of 1000 ms).
    holder.seekTo(1250);
    for (int channel = 1; channel <= 3; ++channel) {
        VideoFramePtr shown = holder.captureImage(channel);
        ASSERT_TRUE(shown) << channel;
        EXPECT_GE(shown->timestampMs, 1200) << channel;
        EXPECT_LT(shown->timestampMs, 1300) << channel;
        VideoFramePtr reference = samples::ffmpegFrame(file, channel - 1, 1200);
        ASSERT_TRUE(reference) << "ffmpeg could not decode channel " << channel;
        EXPECT_GT(samples::psnr(*shown, *reference), 35.0) << channel;
    }
    EXPECT_EQ(holder.positionMs(), 1250u);

    // The MP4 path seeks as exactly.
    auto mp4 = samples::oneChannelMp4();
    ASSERT_TRUE(open(mp4));
    holder.seekTo(700);
    VideoFramePtr shown = holder.captureImage(1);
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->timestampMs, 700);
    VideoFramePtr reference = samples::ffmpegFrame(mp4, 0, 700);
    ASSERT_TRUE(reference);
    EXPECT_GT(samples::psnr(*shown, *reference), 35.0);
}

TEST_F(EngineTest, FrameStepMovesEveryChannelOneFrame) {
    ASSERT_TRUE(open(samples::threeChannelAvi()));
    holder.seekTo(500);
    ASSERT_TRUE(holder.waitForPicture());
    for (int step = 1; step <= 3; ++step) {
        ASSERT_TRUE(holder.stepFrame());
        for (int channel = 1; channel <= 3; ++channel) {
            VideoFramePtr frame = holder.captureImage(channel);
            ASSERT_TRUE(frame);
            EXPECT_EQ(frame->timestampMs, 500 + 100 * step) << "channel " << channel;
            EXPECT_EQ(views[channel - 1].last()->timestampMs, 500 + 100 * step);
        }
    }
    // Running again after steps continues from the stepped picture with the sound in step.
    ASSERT_TRUE(holder.run());
    EXPECT_GE(holder.positionMs(), 790u);
    // A running engine is paused by a step.
    EXPECT_TRUE(holder.stepFrame());
    EXPECT_EQ(holder.state(), PlaybackEngine::State::Paused);
}

TEST_F(EngineTest, RunAtTheEndStartsFromTheBeginning) {
    ASSERT_TRUE(open(samples::oneChannelMp4()));
    uint64_t duration = holder.durationMs();
    holder.seekTo(duration - 300);
    ASSERT_TRUE(holder.run());
    ASSERT_TRUE(waitFor([&] { return holder.positionMs() >= duration; }));
    EXPECT_EQ(holder.state(), PlaybackEngine::State::Running) << "the clock sees the end by the position";
    EXPECT_EQ(holder.positionMs(), duration);
    ASSERT_TRUE(holder.pause());
    ASSERT_TRUE(holder.run());
    EXPECT_LT(holder.positionMs(), duration / 2);
    ASSERT_TRUE(holder.stop());

    // At any other position a run continues from there.
    holder.seekTo(1000);
    ASSERT_TRUE(holder.run());
    EXPECT_GE(holder.positionMs(), 1000u);
}

TEST_F(EngineTest, SkipsStayInsideTheRecording) {
    ASSERT_TRUE(open(samples::threeChannelAvi()));
    uint64_t duration = holder.durationMs();
    ASSERT_TRUE(holder.run());
    ASSERT_TRUE(holder.pause());
    holder.seekTo(1500);
    ASSERT_TRUE(holder.waitForPicture());
    EXPECT_TRUE(holder.skipBack(2));
    ASSERT_TRUE(holder.waitForPicture());
    EXPECT_EQ(holder.positionMs(), 0u);
    holder.seekTo(duration - 400);
    ASSERT_TRUE(holder.waitForPicture());
    EXPECT_TRUE(holder.skipForward(1));
    ASSERT_TRUE(holder.waitForPicture());
    EXPECT_GE(holder.positionMs() + 100, duration);
    // The end shows the last picture, not the one before the seek.
    holder.seekTo(duration + 5000);
    VideoFramePtr last = holder.captureImage(1);
    ASSERT_TRUE(last);
    EXPECT_GE(last->timestampMs + 150, int64_t(duration));
}

TEST_F(EngineTest, EveryRateOfThePageIsPlayedAndOthersAreClamped) {
    ASSERT_TRUE(open(samples::threeChannelAvi()));
    holder.setRate(4.0f); // the page's fastest: played as shown, not at 2.0
    ASSERT_TRUE(holder.run());
    EXPECT_FLOAT_EQ(holder.rate(), 4.0f);
    ASSERT_TRUE(holder.waitForPicture());
    EXPECT_DOUBLE_EQ(holder.appliedRate(), 4.0);

    holder.setRate(9.0f);
    EXPECT_FLOAT_EQ(holder.rate(), 4.0f);

    holder.setRate(0.25f); // while running: pause, store, run again
    EXPECT_EQ(holder.state(), PlaybackEngine::State::Running);
    EXPECT_FLOAT_EQ(holder.rate(), 0.5f);
    ASSERT_TRUE(holder.waitForPicture());
    EXPECT_DOUBLE_EQ(holder.appliedRate(), 0.5);

    holder.setRate(1.0f);
    EXPECT_FLOAT_EQ(holder.rate(), 1.0f);
    ASSERT_TRUE(holder.waitForPicture());
    EXPECT_DOUBLE_EQ(holder.appliedRate(), 1.0);

    // Stored while paused, applied at the next run.
    ASSERT_TRUE(holder.pause());
    holder.setRate(2.7f);
    EXPECT_EQ(holder.state(), PlaybackEngine::State::Paused);
    EXPECT_FLOAT_EQ(holder.rate(), 2.7f);
    ASSERT_TRUE(holder.run());
    EXPECT_FLOAT_EQ(holder.rate(), 2.7f);
    ASSERT_TRUE(holder.waitForPicture());
    EXPECT_NEAR(holder.appliedRate(), 2.7, 1e-6);

    // PCM sound follows the rate as well (through the pitch element).
    ASSERT_TRUE(open(samples::pcmAvi()));
    holder.setRate(3.4f);
    ASSERT_TRUE(holder.run());
    ASSERT_TRUE(holder.waitForPicture());
    EXPECT_NEAR(holder.appliedRate(), 3.4, 1e-6);
    EXPECT_TRUE(waitFor([&] { return holder.positionMs() >= holder.durationMs(); }));
}

TEST_F(EngineTest, BrightnessMovesTheMeanLuma) {
    ASSERT_TRUE(open(samples::threeChannelAvi()));
    holder.seekTo(800);
    VideoFramePtr neutral = holder.captureImage(1);
    ASSERT_TRUE(neutral);
    holder.setBrightness(0, 255);
    VideoFramePtr bright = holder.captureImage(1);
    holder.setBrightness(0, -255);
    VideoFramePtr dark = holder.captureImage(1);
    ASSERT_TRUE(bright && dark);
    EXPECT_EQ(bright->timestampMs, neutral->timestampMs);
    EXPECT_GT(samples::meanLuma(*bright), samples::meanLuma(*neutral) + 20);
    EXPECT_LT(samples::meanLuma(*dark), samples::meanLuma(*neutral) - 20);
    // Other channels keep theirs.
    holder.setBrightness(0, 0);
    VideoFramePtr again = holder.captureImage(1);
    EXPECT_NEAR(samples::meanLuma(*again), samples::meanLuma(*neutral), 1.0);
}

TEST_F(EngineTest, MirrorAndFlipTransformThePicture) {
    ASSERT_TRUE(open(samples::threeChannelAvi()));
    holder.seekTo(300);
    VideoFramePtr plain = holder.captureImage(1);
    ASSERT_TRUE(plain);
    auto pixel = [](const VideoFrame& f, int x, int y) {
        const uint8_t* p = f.row(y) + x * 4;
        return std::array<int, 3>{p[0], p[1], p[2]};
    };
    auto near = [](std::array<int, 3> a, std::array<int, 3> b) {
        for (int i = 0; i < 3; ++i)
            if (std::abs(a[i] - b[i]) > 12)
                return false;
        return true;
    };
    const int w = plain->width, h = plain->height;
    const std::pair<int, int> points[] = {{5, 5}, {w / 3, h / 2}, {w - 20, h / 4}, {w / 2, h - 10}};

    holder.setViewOptions(kViewMirror);
    VideoFramePtr mirrored = holder.captureImage(1);
    ASSERT_TRUE(mirrored);
    for (auto [x, y] : points)
        EXPECT_TRUE(near(pixel(*mirrored, w - 1 - x, y), pixel(*plain, x, y))) << x << "," << y;

    holder.setViewOptions(kViewFlip);
    VideoFramePtr flipped = holder.captureImage(1);
    ASSERT_TRUE(flipped);
    for (auto [x, y] : points)
        EXPECT_TRUE(near(pixel(*flipped, x, h - 1 - y), pixel(*plain, x, y))) << x << "," << y;

    holder.setViewOptions(kViewFlip | kViewMirror);
    VideoFramePtr both = holder.captureImage(1);
    for (auto [x, y] : points)
        EXPECT_TRUE(near(pixel(*both, w - 1 - x, h - 1 - y), pixel(*plain, x, y))) << x << "," << y;

    // The option is kept for the next recording.
    ASSERT_TRUE(open(samples::threeChannelAvi()));
    holder.seekTo(300);
    VideoFramePtr reopened = holder.captureImage(1);
    for (auto [x, y] : points)
        EXPECT_TRUE(near(pixel(*reopened, w - 1 - x, h - 1 - y), pixel(*plain, x, y))) << x << "," << y;
}

TEST_F(EngineTest, CaptureFollowsTheChannelIndexRule) {
    ASSERT_TRUE(open(samples::threeChannelAvi()));
    EXPECT_FALSE(holder.captureImage(0));
    ASSERT_TRUE(holder.captureImage(1));
    EXPECT_EQ(holder.captureImage(1)->width, 320);
    EXPECT_EQ(holder.captureImage(2)->width, 160);
    EXPECT_EQ(holder.captureImage(3)->width, 176);
    EXPECT_FALSE(holder.captureImage(4)) << "the recording has three channels";
    EXPECT_FALSE(holder.captureImage(5));
}

TEST_F(EngineTest, RepaintAndNewViewsGetThePicture) {
    ASSERT_TRUE(open(samples::threeChannelAvi()));
    int before = views[1].presented();
    holder.repaint();
    EXPECT_EQ(views[1].presented(), before + 1);

    RecordingView floating;
    holder.setViews({&views[0], &floating, &views[2], &views[3]});
    ASSERT_TRUE(floating.last()) << "a new view shows the still picture at once";
    EXPECT_EQ(floating.last()->width, 160);
    EXPECT_EQ(views[1].cleared(), 1) << "the replaced view goes empty";
    ASSERT_TRUE(holder.run());
    EXPECT_TRUE(waitFor([&] { return floating.presented() > 3; }));
    holder.close(); // before the local view goes away
    EXPECT_FALSE(floating.last());
}

// A view that draws at a fixed size.
class SizedView : public RecordingView {
public:
    std::pair<int, int> frameSizeHint() const override { return m_size; }
    std::pair<int, int> m_size{160, 90};
};

TEST_F(EngineTest, ViewsGetPicturesAtTheirSizeAndCapturesStayFull) {
    SizedView small;
    holder.setViews({&small, &views[1], &views[2], &views[3]});
    ASSERT_TRUE(open(samples::threeChannelAvi()));
    ASSERT_TRUE(small.last());
    EXPECT_LE(small.last()->width, 160);
    EXPECT_EQ(small.last()->height, 90) << "within the view, keeping the picture's shape";
    EXPECT_EQ(views[1].last()->width, 160) << "no hint: the decoded size";
    VideoFramePtr full = holder.captureImage(1);
    ASSERT_TRUE(full);
    EXPECT_EQ(full->width, 320);
    EXPECT_EQ(full->height, 240);

    // A resized view is asked again at the next repaint; never larger than decoded.
    small.m_size = {1000, 1000};
    holder.repaint();
    holder.seekTo(600);
    ASSERT_TRUE(holder.waitForPicture());
    EXPECT_EQ(small.last()->width, 320);
    small.m_size = {101, 75};
    holder.repaint();
    holder.seekTo(900);
    ASSERT_TRUE(holder.waitForPicture());
    EXPECT_LE(small.last()->width, 101);
    EXPECT_LE(small.last()->height, 75);
    EXPECT_GE(small.last()->width, 90);
    EXPECT_EQ(holder.captureImage(1)->width, 320);
    holder.close();
}

TEST_F(EngineTest, VolumeIsKeptAcrossRecordings) {
    holder.setVolume(70000);
    EXPECT_EQ(holder.volume(), 65535u);
    holder.setVolume(100 * 65535 / 100 / 2);
    ASSERT_TRUE(open(samples::threeChannelAvi()));
    EXPECT_EQ(holder.volume(), 32767u);
    ASSERT_TRUE(holder.run());
    holder.setVolume(0);
    EXPECT_TRUE(holder.stop());
}

} // namespace
