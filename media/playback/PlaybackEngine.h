// The playback engine: the four channel views, the sound level and view options kept from one
// recording to the next, and one GStreamer pipeline for the open recording. In the program only
// the player (ui/playback/Player.h) uses it; the snapshot command, the benchmark and the tests use
// it directly.
#pragma once

#include "media/playback/ChannelView.h"
#include "media/playback/VideoFrame.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

class QTimer;

// View option bits: upside down and left-right, on every channel. The window keeps its other
// option bits beside them; the engine takes only these two.
enum ViewOption : uint32_t {
    kViewFlip = 0x04,
    kViewMirror = 0x08,
};

// Threading contract:
// - Every operation runs on one thread, the thread that created the engine (the user-interface
//   thread). The engine is not shared between threads; no lock protects its own state.
// - GStreamer's streaming threads only decode and hand frames to the channel views (ChannelView.h)
//   and keep each channel's latest picture for captureImage and repaint.
// - Pipeline messages (errors, end of stream, state changes) are drained without blocking at the
//   start of every operation, so the player's regular state/positionMs calls keep the engine up
//   to date without any event loop. When a QCoreApplication exists, the engine also drains them
//   from a 100 ms Qt timer on its thread while a recording is open, so an error turns into the
//   stopped state even while nobody asks. No operation waits on the pipeline for longer than a
//   bounded time (an open at most a few seconds, state changes and seeks at most about two seconds).
//
// States (state()):
//   Closed (no recording) --setViews--> NotBuilt --open--> Stopped --run--> Running --pause--> Paused
//   Running/Paused --stop--> Stopped; Stopped/Paused --run--> Running; close or a failed open --> Closed.
//   A pipeline error makes it Stopped; the end of the recording leaves it Running with the position
//   at the duration (the player sees pos >= end and moves on), and run there starts again from 0.

// Why an engine control did not act (PlaybackEngine::lastResult).
enum class EngineResult {
    Ok,
    WrongState, // the state does not allow the operation (e.g. Stop while stopped)
    NotReady,   // the engine is not configured or not built
    Failed,     // the pipeline refused the request
};

class PlaybackEngine {
public:
    static constexpr int kMaxChannels = 4;

    enum class State { Closed, NotBuilt, Stopped, Paused, Running };

    PlaybackEngine(); // initialises GStreamer once per process
    ~PlaybackEngine(); // tears the pipeline down; no view is called afterwards
    PlaybackEngine(const PlaybackEngine&) = delete;
    PlaybackEngine& operator=(const PlaybackEngine&) = delete;

    // Stores the views of channels 1..4 (null for a missing one); an open recording draws into the
    // new views from now on. Before the first call nothing can be opened; after it the state is
    // NotBuilt until a recording opens.
    void setViews(const std::array<ChannelView*, kMaxChannels>& views);

    // 1 when every component can be created; -1 source element, -2 H.264 decoder, -3 AAC decoder,
    // -4 brightness element (the first missing one).
    static int checkFilters();

    // Releases the open recording and opens `path` (camera-form recording, AVI or MP4), cued and
    // stopped, at rate 1.0 and neutral brightness, with the kept volume and view options. False
    // (and Closed) when no views were set, the path is empty or the recording cannot be played;
    // lastError() says why.
    bool open(const std::filesystem::path& path);
    void close(); // releases the recording (Closed); views are cleared

    // Controls: true when done. Without a recording run, pause and stop do nothing and succeed,
    // skips fail and a seek does nothing. lastResult() tells why a control failed.
    bool run();                      // from paused or stopped; applies the rate; at the end starts from 0
    bool pause();                    // only acts when running; succeeds (and no change) otherwise
    bool stop();                     // from running or paused; WrongState otherwise
    bool seekTo(uint64_t ms);        // accurate, absolute; stop position unchanged
    bool skipBack(uint32_t seconds); // not below 0; WrongState unless running/paused
    bool skipForward(uint32_t seconds); // not past the duration
    bool stepFrame();                   // one frame on every channel; pauses first if running

    uint64_t positionMs(); // 0 when unknown; the duration once the end was reached
    uint64_t durationMs(); // asked once, then kept
    State state();
    int channelCount() const { return m_channelCount; }

    void setRate(float rate);                   // 1.0 as is, others clamped to 0.5..2.0 at the next run
    float rate() const { return m_rate; }       // the stored (clamped once applied) rate
    double appliedRate();                       // the rate the pipeline is playing at, 1.0 if unknown
    void setBrightness(int channel, int value); // channel 0..3, value -255..255 (0 neutral)
    // kViewFlip / kViewMirror on every channel; kept for later recordings too.
    void setViewOptions(uint32_t options);
    uint32_t viewOptions() const { return m_viewOptions; }
    // The sound level, 0..65535 (65535 full); kept for later recordings too.
    void setVolume(uint32_t level);
    uint32_t volume() const { return m_volume; }

    void repaint(); // hands every channel's picture to its view again
    // The current full-resolution picture of channel 1..4 (1-based, as the snapshot and print
    // tools count): needs the views set and a recording with at least that many channels; null
    // otherwise or when no picture has been decoded. A seek or step still in progress is waited
    // for (at most about two seconds).
    VideoFramePtr captureImage(int channel);
    // Waits (bounded) until a pending seek, step or state change has delivered its pictures.
    bool waitForPicture(uint32_t timeoutMs = 2000);
    uint64_t droppedFrames();  // late pictures the video sinks skipped
    uint64_t renderedFrames(); // pictures the video sinks presented

    const std::string& lastError() const { return m_lastError; }
    EngineResult lastResult() const { return m_lastResult; }
    void pollBus(); // drains pending pipeline messages (called by every operation)

    struct Impl;

private:
    bool build(const std::filesystem::path& path);
    bool result(EngineResult r) {
        m_lastResult = r;
        return r == EngineResult::Ok;
    }
    EngineResult runPipeline();
    EngineResult pausePipeline();
    void applyViewSizes(); // asks the views for their drawing size (engine thread)
    void clearViews(int from);

    std::array<ChannelView*, kMaxChannels> m_views{};
    bool m_viewsSet = false;
    std::unique_ptr<Impl> m_impl; // the open recording's pipeline; null while Closed
    int m_channelCount = 0;
    float m_rate = 1.0f;
    uint32_t m_volume = 65535;
    uint32_t m_viewOptions = 0;
    std::string m_lastError;
    EngineResult m_lastResult = EngineResult::Ok;
    QTimer* m_pollTimer = nullptr;
};
