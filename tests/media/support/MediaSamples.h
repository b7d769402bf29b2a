// Small recordings made at test time with GStreamer's encoders, and helpers to look at pictures.
// Shared by the media tests; files are made once in a temporary folder that test runs share.
#pragma once

#include "media/playback/ChannelView.h"

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace samples {

// 3 H.264 channels (320x240 and 160x120 with a frame counter, 176x144), AAC audio, 10 fps, 2 s, AVI.
std::filesystem::path threeChannelAvi();
// 1 H.264 channel 320x240 with time overlay plus AAC, 10 fps, 2 s, MP4.
std::filesystem::path oneChannelMp4();
// 1 H.264 channel 320x240 plus 16-bit PCM, 10 fps, 2 s, AVI.
std::filesystem::path pcmAvi();
// PCM sound only, 2 s, AVI.
std::filesystem::path audioOnlyAvi();
// The sample generator's card, written once into the sample folder for every test process (renamed
// into place when complete); empty when the generator is missing or fails.
std::filesystem::path sampleCard();
// A file of the given bytes in the sample folder.
std::filesystem::path writeFile(const std::string& name, const std::string& bytes);
std::filesystem::path folder();

// Runs a gst-launch style description to its end; false with *error on failure.
bool runPipeline(const std::string& description, std::string* error);

double meanLuma(const VideoFrame& frame);
// Peak signal-to-noise ratio of the RGB channels of two equally sized BGRx pictures.
double psnr(const VideoFrame& a, const VideoFrame& b);
// ffmpeg's decode (BGRx) of the picture of video stream `stream` shown at `ms` (the last one that
// starts at or before it); null when ffmpeg fails.
VideoFramePtr ffmpegFrame(const std::filesystem::path& file, int stream, int64_t ms);

// Sends the engine's sound to a fake sink, so runs stay silent on machines with a sound device.
// True when the setting took.
bool silenceSound();

// Polls `done` the way the playback clock polls the engine, until it holds or a generous bound
// (never asserted on: a slow machine only makes the test wait longer).
template <typename F> bool waitFor(F done, int seconds = 20) {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

} // namespace samples

// A channel view that remembers what it was given, from any thread.
class RecordingView : public ChannelView {
public:
    void presentFrame(VideoFramePtr frame) override;
    void clearFrame() override;
    VideoFramePtr last();
    int presented();
    int cleared();

private:
    std::mutex m_mutex;
    VideoFramePtr m_last;
    int m_presented = 0;
    int m_cleared = 0;
};
