// The playback engine: one GStreamer pipeline per open recording, and the holder the main window
// owns. The main window, the command dispatch, the playback clock, the opening of a recording, the
// snapshot and print tools and quillent-tool use it.
#pragma once

#include "media/playback/ChannelView.h"
#include "media/playback/VideoFrame.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

class QTimer;

// Threading contract (engine and holder):
// - Every operation runs on one thread, the thread that created the holder (the user-interface
//   thread). Neither class is shared between threads; no lock protects their state.
// - GStreamer's streaming threads only decode and hand frames to the channel views (ChannelView.h)
//   and keep each channel's latest picture for CaptureImage and Repaint.
// - Pipeline messages (errors, end of stream, state changes) are drained without blocking at the
//   start of every operation, so the playback clock's regular GetState/GetPositionMs calls keep the
//   engine up to date without any event loop. When a QCoreApplication exists, the holder also
//   drains them from a 100 ms Qt timer on its thread, so an error turns into the stopped state
//   even while nobody asks. No operation waits on the pipeline for longer than a bounded time
//   (an open at most a few seconds, state changes and seeks at most about two seconds).
//
// State machine of an engine (GetState):
//   3 not yet built --build--> 2 stopped --Run--> 0 running --Pause--> 1 paused
//   running/paused --Stop--> stopped; stopped/paused --Run--> running.
//   A pipeline error makes it stopped; the end of the recording leaves it running with the position
//   at the duration (the clock sees pos >= end and moves on), and Run there starts again from 0.

// Outcome of an engine control; the holder turns anything but Ok into false.
enum class EngineResult {
    Ok,
    WrongState, // the state does not allow the operation (e.g. Stop while stopped)
    NotReady,   // the engine is not configured or not built
    Failed,     // the pipeline refused the request
};

class PlaybackEngine {
public:
    static constexpr int kMaxChannels = 4;
    // View option bits shared with the main window's view options.
    static constexpr uint32_t kViewFlip = 0x04;   // upside down
    static constexpr uint32_t kViewMirror = 0x08; // left-right

    enum State : int { kRunning = 0, kPaused = 1, kStopped = 2, kNotBuilt = 3 };

    explicit PlaybackEngine(const std::array<ChannelView*, kMaxChannels>& views);
    ~PlaybackEngine(); // tears the pipeline down; no view is called afterwards
    PlaybackEngine(const PlaybackEngine&) = delete;
    PlaybackEngine& operator=(const PlaybackEngine&) = delete;

    // Builds the pipeline for `path` and cues it (state 2). On failure everything is released, the
    // state stays 3 and lastError() says why.
    bool build(const std::filesystem::path& path);

    EngineResult Run();               // from paused or stopped; applies the rate; at the end starts from 0
    EngineResult pause();             // only acts when running; Ok (and no change) otherwise
    EngineResult stop();              // from running or paused; WrongState otherwise
    EngineResult seekTo(uint64_t ms); // accurate, absolute; stop position unchanged
    EngineResult skipBack(uint32_t seconds);    // not below 0; WrongState unless running/paused
    EngineResult skipForward(uint32_t seconds); // not past the duration
    bool stepFrame();                           // one frame on every channel; pauses first if running

    uint64_t getPositionMs(); // 0 when unknown; the duration once the end was reached
    uint64_t getDurationMs(); // asked once, then kept
    int getState();
    int getChannelCount() const { return m_channelCount; }

    void setRate(float rate);                   // 1.0 as is, others clamped to 0.5..2.0 at the next run
    float getRate() const { return m_rate; }    // the stored (clamped once applied) rate
    double getAppliedRate();                    // the rate the pipeline is playing at, 1.0 if unknown
    void setBrightness(int channel, int value); // channel 0..3, value -255..255 (0 neutral)
    void setViewOptions(uint32_t options);      // kViewFlip / kViewMirror on every channel
    void setVolume(uint32_t level);             // 0..65535 (65535 full)
    void setViews(const std::array<ChannelView*, kMaxChannels>& views);

    void repaint();                          // hands every channel's picture to its view again
    VideoFramePtr captureImage(int channel); // 1-based, see PlaybackEngineHolder
    // Waits (bounded) until a pending seek, step or state change has delivered its pictures.
    bool waitForPicture(uint32_t timeoutMs = 2000);
    uint64_t getDroppedFrames();  // late pictures the video sinks skipped
    uint64_t getRenderedFrames(); // pictures the video sinks presented

    const std::string& lastError() const { return m_lastError; }
    void pollBus(); // drains pending pipeline messages (called by every operation)

    struct Impl;

private:
    void applyViewSizes(); // asks the views for their drawing size (engine thread)

    std::unique_ptr<Impl> m_impl;
    int m_channelCount = 0;
    float m_rate = 1.0f;
    std::string m_lastError;
};

// The engine holder of the main window: keeps the four channel views and the current engine.
// Without an engine every control does nothing and reports success; position and duration are 0,
// the state is -1 and no picture can be captured.
class PlaybackEngineHolder {
public:
    static constexpr int kWindowCount = 4;

    PlaybackEngineHolder(); // initialises GStreamer once per process
    ~PlaybackEngineHolder();
    PlaybackEngineHolder(const PlaybackEngineHolder&) = delete;
    PlaybackEngineHolder& operator=(const PlaybackEngineHolder&) = delete;

    // Stores the views of channels 1..4 (null for a missing one) and creates an engine (state 3,
    // rate 1.0) when none exists. A running engine draws into the new views from now on.
    void attachWindows(const std::array<ChannelView*, kWindowCount>& views);

    // 1 when every component can be created; -1 source element, -2 H.264 decoder, -3 AAC decoder,
    // -4 brightness element (the first missing one).
    int checkFilters();

    // Releases the current engine and opens `path` (camera-form recording, AVI or MP4) in a new
    // one, cued and stopped. False (and no engine) when no views were attached, the path is empty
    // or the recording cannot be played; lastError() says why.
    bool OpenRecording(const std::filesystem::path& path);
    void closeRecording(); // releases the engine; views are cleared

    bool Run();
    bool pause();
    bool stop();
    void seekTo(uint64_t ms);
    bool skipBack(uint32_t seconds);
    bool skipForward(uint32_t seconds);
    uint64_t getPositionMs();
    uint64_t getDurationMs();
    int getState(); // 0 running, 1 paused, 2 stopped, 3 not yet built, -1 no engine
    int getChannelCount();
    void setRate(float rate); // pause, store, run again if it was running
    void setBrightness(int channel, int value);
    bool stepFrame();
    void repaint();

    // The current full-resolution picture of channel 1..4 (1-based, as the snapshot and print
    // tools count): channel n needs at least n windows (the window count is 4 once AttachWindows
    // was called) and a recording with at least n channels; null otherwise or when no picture has
    // been decoded. A seek or step still in progress is waited for (at most about two seconds).
    VideoFramePtr captureImage(int channel);

    // The sound level, 0..65535 (the volume command's percent x 65535 / 100); kept for the
    // engines of later recordings too.
    void setVolume(uint32_t level);
    uint32_t getVolume() const { return m_volume; }
    // Flip (0x04) and mirror (0x08) of every channel; kept for later recordings too.
    void setViewOptions(uint32_t options);
    uint32_t getViewOptions() const { return m_viewOptions; }

    // Kept for the opening of a recording, which resets it to 0; the source element has no mode
    // to switch here, so it only travels with the engine.
    void setSourceModeFlag(uint8_t flag) { m_sourceMode = flag; }

    PlaybackEngine* engine() { return m_engine.get(); } // null while nothing is open
    const std::string& lastError() const { return m_lastError; }

private:
    void pollFromTimer();

    std::array<ChannelView*, kWindowCount> m_views{};
    int m_windowCount = 0; // 0 until AttachWindows, then always 4 (a null view just draws nothing)
    std::unique_ptr<PlaybackEngine> m_engine;
    uint8_t m_sourceMode = 1;
    uint32_t m_volume = 65535;
    uint32_t m_viewOptions = 0;
    std::string m_lastError;
    QTimer* m_pollTimer = nullptr;
};
