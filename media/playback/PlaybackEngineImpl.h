// The playback engine's private state, shared by its parts: pipeline building
// (PlaybackPipeline.cpp), bus and state handling (PlaybackBus.cpp), seek and step
// (PlaybackSeek.cpp) and the recording, settings and captures of PlaybackEngine.cpp. One Impl
// lives from the opening of a recording to its close.
#pragma once

#include "media/playback/PlaybackEngine.h"

#include <gst/app/gstappsink.h>
#include <gst/video/video.h>

#include <array>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

constexpr GstClockTime kSettleTimeout = 2 * GST_SECOND;

struct PlaybackEngine::Impl {
    struct Channel {
        int index = 0;
        GstElement* balance = nullptr;
        GstElement* flip = nullptr;
        GstElement* sink = nullptr;
        GstElement* sizeFilter = nullptr; // the size the view draws at, or any
        std::atomic<bool> colorimetrySignalled{false};
        std::mutex mutex; // guards view, latest and the full picture against the streaming thread
        ChannelView* view = nullptr;
        VideoFramePtr latest; // as handed to the view (its size)
        // The full-size decoded picture behind `latest`, kept by reference; converted only when a
        // capture asks for it.
        GstBuffer* fullBuffer = nullptr;
        GstCaps* fullCaps = nullptr;
        GstSegment fullSegment{};
        std::pair<int, int> drawSize{0, 0}; // applied view size hint, {0, 0} full size
        ~Channel() {
            if (fullBuffer)
                gst_buffer_unref(fullBuffer);
            if (fullCaps)
                gst_caps_unref(fullCaps);
        }
        uint64_t frames = 0; // pictures received, counted under Impl::frameMutex
        Impl* owner = nullptr;
    };

    PlaybackEngine* engine = nullptr;
    GstElement* pipeline = nullptr;
    GstBus* bus = nullptr; // the pipeline's, kept: the player drains it several times a second
    GstElement* demux = nullptr;
    GstElement* volume = nullptr;

    std::mutex padMutex; // pad-added runs on the demuxer's thread
    std::array<std::unique_ptr<Channel>, kMaxChannels> channels;
    int videoStreams = 0;
    int prerollingSinks = 0; // sinks that must preroll before the recording is cued
    bool noMorePads = false;
    bool audioLinked = false;
    std::string padError;

    std::mutex frameMutex;
    std::condition_variable frameArrived;

    std::array<ChannelView*, kMaxChannels> views{};
    // The views' drawing sizes, read on the engine's thread (the demuxer's thread builds branches).
    std::array<std::pair<int, int>, kMaxChannels> hints{};

    void readHints();
    std::array<int, kMaxChannels> brightness{};
    std::atomic<uint32_t> viewOptions{0};
    std::atomic<uint32_t> volumeLevel{65535};

    State state = State::NotBuilt;
    bool built = false;
    bool atEnd = false;   // end of stream reached since the last seek
    bool stepped = false; // video sinks were stepped ahead of the audio since the last seek
    double appliedRate = 1.0;
    int64_t durationNs = 0;     // 0 until known, then kept
    int64_t lastPositionNs = 0; // answered while a seek is still settling

    ~Impl() { teardown(); }

    void teardown();

    // ---- streaming-thread side ----

    static void deliver(Channel* channel, GstSample* sample);

    static GstFlowReturn onNewSample(GstAppSink* sink, gpointer data);

    static GstFlowReturn onNewPreroll(GstAppSink* sink, gpointer data);

    // Keeps the full-size picture (after brightness and flip) of every frame for the capture.
    static GstPadProbeReturn keepFullPicture(GstPad*, GstPadProbeInfo* info, gpointer data);

    static GstPadProbeReturn watchParsedCaps(GstPad*, GstPadProbeInfo* info, gpointer data);

    // Cameras rarely state their colour matrix; an unstated one is BT.601 (what the decoders of
    // the camera's own players and ffmpeg assume), where GStreamer would guess BT.709 for HD.
    static GstPadProbeReturn fixColorimetry(GstPad*, GstPadProbeInfo* info, gpointer data);

    GstElement* add(const char* factory, const char* name = nullptr);

    static void linkDecodebinPad(GstElement*, GstPad* pad, gpointer data);

    // Feeds the demuxer's `pad` through a queue of its own (each stream decodes on its own
    // thread) into `next`. A played stream's queue is bounded by time only, so a channel with
    // large pictures never stalls the demuxer on a buffer or byte count.
    bool feedThroughQueue(GstPad* pad, GstElement* next, std::vector<GstElement*>& made, bool played = true);

    // Links `pad` into a decoder chain ending at `next`: the named parser/decoder when given, a
    // decodebin for anything else. `made` gets the elements to bring to the pipeline's state.
    bool linkDecoder(GstPad* pad, const char* parser, const char* decoder, GstElement* next,
                     std::vector<GstElement*>& made, GstElement** parserOut = nullptr);

    // The views draw at most at their size: the converter scales to fit within it (keeping the
    // picture's shape, the view stretches it) and never above the decoded size.
    void applyViewSize(Channel& c);

    bool addVideoChannel(GstPad* pad, const GstStructure* s, std::vector<GstElement*>& made);

    bool addAudio(GstPad* pad, const GstStructure* s, std::vector<GstElement*>& made);

    // Streams nobody shows (data records, a fifth camera, a second audio track) still need a
    // sink so the demuxer does not stop; it must not hold up the preroll.
    bool addDiscard(GstPad* pad, std::vector<GstElement*>& made);

    static void onPadAdded(GstElement*, GstPad* pad, gpointer data);

    static void onNoMorePads(GstElement*, gpointer data);

    // Keeps only what the engine acts on, so the queue stays short however long nobody drains it.
    static GstBusSyncReply filterMessages(GstBus*, GstMessage* message, gpointer data);

    // ---- engine-thread side ----

    void handle(GstMessage* message);

    static std::string errorText(GstMessage* message, const char* fallback);

    // Brings the new pipeline to paused and waits (bounded) until every branch has its first
    // picture or sound; empty when cued, otherwise why not.
    std::string cue();

    void poll();

    // Waits for the pipeline to finish a pending state change (preroll after a seek or step).
    bool settle(GstClockTime timeout);

    bool seekNs(gint64 positionNs, double rate);

    // Drains the bus, then says whether an operation may act: NotReady until a recording is cued,
    // WrongState when the operation needs a running or paused engine and it is neither.
    EngineResult admit(bool needsActive);

    // Pause and Stop both keep the pipeline cued where it is; only the reported state differs.
    EngineResult holdAt(State newState);

    // Seeks at the applied rate, within the recording: the end itself has no picture (the last
    // one ends there), so a target at or past it shows the last one.
    EngineResult seekWithin(int64_t target);

    // A skip from where the recording is (its end once reached), kept inside it.
    EngineResult skipBy(int64_t deltaNs);

    // A still picture shows a changed brightness or direction at once: decode it again where it is.
    void redecodeStill();

    int64_t positionNs();

    int64_t duration();

    uint64_t frameCount(int index);

    // ---- shared by the parts ----

    // The position of a picture in the recording, or -1 when its segment cannot say.
    static int64_t streamTimeMs(const GstSegment* segment, GstClockTime pts);
    // The full-size BGRx picture of a decoded frame, for captures (rare, so converted on demand).
    static VideoFramePtr convertToBgrx(GstBuffer* buffer, GstCaps* caps, const GstSegment* segment);
    // The video-direction value of the flip and mirror view options.
    static int videoDirection(uint32_t options);
};
