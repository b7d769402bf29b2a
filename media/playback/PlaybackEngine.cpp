#include "media/playback/PlaybackEngine.h"

#include "media/playback/GstSupport.h"
#include "media/playback/RecordingBytes.h"
#include "media/playback/RecordingSource.h"

#include <gst/app/gstappsink.h>
#include <gst/video/video.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace {

constexpr float kMinRate = 0.5f;
// The page offers 1.0 to 4.0; every one of them is played. Pictures the machine cannot show in
// time are dropped by the late-picture rule of the video sinks; the sound keeps its pitch.
constexpr float kMaxRate = 4.0f;
constexpr GstClockTime kBuildTimeout = 10 * GST_SECOND; // a slow card still opens
constexpr GstClockTime kSettleTimeout = 2 * GST_SECOND;

// The last decoded picture keeps the sample (and its mapped buffer) alive for as long as any
// view or capture holds the frame.
struct MappedSample {
    GstSample* sample = nullptr;
    GstBuffer* buffer = nullptr;
    GstMapInfo map{};
    ~MappedSample() {
        if (buffer)
            gst_buffer_unmap(buffer, &map);
        if (sample)
            gst_sample_unref(sample);
    }
};

// The position of a picture in the recording, or -1 when its segment cannot say.
int64_t streamTimeMs(const GstSegment* segment, GstClockTime pts) {
    if (!segment || segment->format != GST_FORMAT_TIME || !GST_CLOCK_TIME_IS_VALID(pts))
        return -1;
    guint64 streamTime = gst_segment_to_stream_time(segment, GST_FORMAT_TIME, pts);
    return GST_CLOCK_TIME_IS_VALID(streamTime) ? static_cast<int64_t>(streamTime / GST_MSECOND) : -1;
}

VideoFramePtr frameFromSample(GstSample* sample) {
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    GstCaps* caps = gst_sample_get_caps(sample);
    GstVideoInfo info;
    if (!buffer || !caps || !gst_video_info_from_caps(&info, caps)) {
        gst_sample_unref(sample);
        return nullptr;
    }
    auto mapped = std::make_shared<MappedSample>();
    mapped->sample = sample;
    if (!gst_buffer_map(buffer, &mapped->map, GST_MAP_READ))
        return nullptr;
    mapped->buffer = buffer;
    auto frame = std::make_shared<VideoFrame>();
    frame->width = GST_VIDEO_INFO_WIDTH(&info);
    frame->height = GST_VIDEO_INFO_HEIGHT(&info);
    frame->stride = GST_VIDEO_INFO_PLANE_STRIDE(&info, 0);
    gsize offset = GST_VIDEO_INFO_PLANE_OFFSET(&info, 0);
    if (GstVideoMeta* meta = gst_buffer_get_video_meta(buffer)) {
        frame->stride = meta->stride[0];
        offset = meta->offset[0];
    }
    if (offset + static_cast<gsize>(frame->stride) * frame->height > mapped->map.size)
        return nullptr;
    frame->data = mapped->map.data + offset;
    if (int64_t ms = streamTimeMs(gst_sample_get_segment(sample), GST_BUFFER_PTS(buffer)); ms >= 0)
        frame->timestampMs = ms;
    frame->storage = mapped;
    return frame;
}

// The full-size BGRx picture of a decoded frame, for captures (rare, so converted on demand).
VideoFramePtr convertToBgrx(GstBuffer* buffer, GstCaps* caps, const GstSegment* segment) {
    GstVideoInfo in;
    if (!gst_video_info_from_caps(&in, caps))
        return nullptr;
    GstVideoInfo out;
    gst_video_info_set_format(&out, GST_VIDEO_FORMAT_BGRx, GST_VIDEO_INFO_WIDTH(&in),
                              GST_VIDEO_INFO_HEIGHT(&in));
    GST_VIDEO_INFO_FPS_N(&out) = GST_VIDEO_INFO_FPS_N(&in);
    GST_VIDEO_INFO_FPS_D(&out) = GST_VIDEO_INFO_FPS_D(&in);
    GST_VIDEO_INFO_PAR_N(&out) = GST_VIDEO_INFO_PAR_N(&in);
    GST_VIDEO_INFO_PAR_D(&out) = GST_VIDEO_INFO_PAR_D(&in);
    GstVideoFrame source;
    if (!gst_video_frame_map(&source, &in, buffer, GST_MAP_READ))
        return nullptr;
    uint8_t* pixels = nullptr;
    auto frame = VideoFrame::allocate(GST_VIDEO_INFO_WIDTH(&in), GST_VIDEO_INFO_HEIGHT(&in), &pixels);
    GstBuffer* target = gst_buffer_new_wrapped_full(GstMemoryFlags(0), pixels, GST_VIDEO_INFO_SIZE(&out), 0,
                                                    GST_VIDEO_INFO_SIZE(&out), nullptr, nullptr);
    GstVideoFrame dest;
    bool ok = gst_video_frame_map(&dest, &out, target, GST_MAP_WRITE);
    if (ok) {
        GstVideoConverter* converter = gst_video_converter_new(&in, &out, nullptr);
        ok = converter != nullptr;
        if (converter) {
            gst_video_converter_frame(converter, &source, &dest);
            gst_video_converter_free(converter);
        }
        gst_video_frame_unmap(&dest);
    }
    gst_video_frame_unmap(&source);
    gst_buffer_unref(target);
    if (!ok || frame->stride != GST_VIDEO_INFO_PLANE_STRIDE(&out, 0))
        return nullptr;
    if (int64_t ms = streamTimeMs(segment, GST_BUFFER_PTS(buffer)); ms >= 0)
        frame->timestampMs = ms;
    return frame;
}

int videoDirection(uint32_t options) {
    bool flip = options & PlaybackEngine::kViewFlip;
    bool mirror = options & PlaybackEngine::kViewMirror;
    if (flip && mirror)
        return GST_VIDEO_ORIENTATION_180;
    if (mirror)
        return GST_VIDEO_ORIENTATION_HORIZ;
    if (flip)
        return GST_VIDEO_ORIENTATION_VERT;
    return GST_VIDEO_ORIENTATION_IDENTITY;
}

// The audio device of this machine, or a clock-keeping fake sink where there is none (servers,
// CI). QUILLENT_AUDIO_SINK names another sink element (tests use "fakesink" to stay silent).
// The sound server is asked first; ALSA only when the machine has sound cards, so a machine
// without any gets no device-probing noise on its error output.
GstElement* tryAudioSink(const char* factory) {
    GstElement* sink = gst_element_factory_make(factory, "audiosink");
    if (!sink)
        return nullptr;
    if (gst_element_set_state(sink, GST_STATE_READY) != GST_STATE_CHANGE_FAILURE)
        return sink;
    gst_element_set_state(sink, GST_STATE_NULL);
    gst_object_unref(sink);
    return nullptr;
}

GstElement* makeAudioSink() {
    if (const char* name = std::getenv("QUILLENT_AUDIO_SINK"); name && *name) {
        if (GstElement* sink = gst_element_factory_make(name, "audiosink")) {
            if (g_object_class_find_property(G_OBJECT_GET_CLASS(sink), "sync"))
                g_object_set(sink, "sync", TRUE, nullptr);
            return sink;
        }
    }
    GstElement* sink = tryAudioSink("pulsesink");
    if (!sink && std::filesystem::exists("/dev/snd"))
        sink = tryAudioSink("alsasink");
    if (sink)
        return sink;
    sink = gst_element_factory_make("fakesink", "audiosink");
    g_object_set(sink, "sync", TRUE, nullptr);
    return sink;
}

} // namespace

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
    GstBus* bus = nullptr; // the pipeline's, kept: the clock drains it several times a second
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

    void readHints() {
        for (int i = 0; i < kMaxChannels; ++i)
            hints[i] = views[i] ? views[i]->frameSizeHint() : std::pair<int, int>{0, 0};
    }
    std::array<int, kMaxChannels> brightness{};
    std::atomic<uint32_t> viewOptions{0};
    std::atomic<uint32_t> volumeLevel{65535};

    int state = kNotBuilt;
    bool built = false;
    bool atEnd = false;   // end of stream reached since the last seek
    bool stepped = false; // video sinks were stepped ahead of the audio since the last seek
    double appliedRate = 1.0;
    int64_t durationNs = 0;     // 0 until known, then kept
    int64_t lastPositionNs = 0; // answered while a seek is still settling

    ~Impl() { teardown(); }

    void teardown() {
        if (pipeline) {
            gst_element_set_state(pipeline, GST_STATE_NULL);
            gst_object_unref(pipeline);
            pipeline = nullptr;
        }
        if (bus) {
            gst_object_unref(bus);
            bus = nullptr;
        }
        demux = nullptr;
        volume = nullptr;
        for (auto& channel : channels)
            channel.reset();
        videoStreams = 0;
        lastPositionNs = 0;
        prerollingSinks = 0;
        noMorePads = false;
        audioLinked = false;
        built = false;
        state = kStopped;
    }

    // ---- streaming-thread side ----

    static void deliver(Channel* channel, GstSample* sample) {
        VideoFramePtr frame = frameFromSample(sample);
        if (!frame)
            return;
        ChannelView* view = nullptr;
        {
            std::lock_guard lock(channel->mutex);
            channel->latest = frame;
            view = channel->view;
            if (view)
                view->presentFrame(frame);
        }
        {
            std::lock_guard lock(channel->owner->frameMutex);
            ++channel->frames;
        }
        channel->owner->frameArrived.notify_all();
    }

    static GstFlowReturn onNewSample(GstAppSink* sink, gpointer data) {
        if (GstSample* sample = gst_app_sink_pull_sample(sink))
            deliver(static_cast<Channel*>(data), sample);
        return GST_FLOW_OK;
    }

    static GstFlowReturn onNewPreroll(GstAppSink* sink, gpointer data) {
        if (GstSample* sample = gst_app_sink_pull_preroll(sink))
            deliver(static_cast<Channel*>(data), sample);
        return GST_FLOW_OK;
    }

    // Keeps the full-size picture (after brightness and flip) of every frame for the capture.
    static GstPadProbeReturn keepFullPicture(GstPad*, GstPadProbeInfo* info, gpointer data) {
        Channel* channel = static_cast<Channel*>(data);
        if (info->type & GST_PAD_PROBE_TYPE_BUFFER) {
            std::lock_guard lock(channel->mutex);
            gst_buffer_replace(&channel->fullBuffer, GST_PAD_PROBE_INFO_BUFFER(info));
        } else if (info->type & GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM) {
            GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
            if (GST_EVENT_TYPE(event) == GST_EVENT_CAPS) {
                // Kept from the caps event, not asked of the pad for every picture.
                GstCaps* caps = nullptr;
                gst_event_parse_caps(event, &caps);
                std::lock_guard lock(channel->mutex);
                gst_caps_replace(&channel->fullCaps, caps);
            } else if (GST_EVENT_TYPE(event) == GST_EVENT_SEGMENT) {
                const GstSegment* segment = nullptr;
                gst_event_parse_segment(event, &segment);
                std::lock_guard lock(channel->mutex);
                gst_segment_copy_into(segment, &channel->fullSegment);
            } else if (GST_EVENT_TYPE(event) == GST_EVENT_FLUSH_STOP) {
                std::lock_guard lock(channel->mutex);
                gst_buffer_replace(&channel->fullBuffer, nullptr);
            }
        }
        return GST_PAD_PROBE_OK;
    }

    static GstPadProbeReturn watchParsedCaps(GstPad*, GstPadProbeInfo* info, gpointer data) {
        GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
        if (GST_EVENT_TYPE(event) == GST_EVENT_CAPS) {
            GstCaps* caps = nullptr;
            gst_event_parse_caps(event, &caps);
            const GstStructure* s = caps ? gst_caps_get_structure(caps, 0) : nullptr;
            static_cast<Channel*>(data)->colorimetrySignalled =
                s && gst_structure_has_field(s, "colorimetry");
        }
        return GST_PAD_PROBE_OK;
    }

    // Cameras rarely state their colour matrix; an unstated one is BT.601 (what the decoders of
    // the camera's own players and ffmpeg assume), where GStreamer would guess BT.709 for HD.
    static GstPadProbeReturn fixColorimetry(GstPad*, GstPadProbeInfo* info, gpointer data) {
        GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
        if (GST_EVENT_TYPE(event) != GST_EVENT_CAPS || static_cast<Channel*>(data)->colorimetrySignalled)
            return GST_PAD_PROBE_OK;
        GstCaps* caps = nullptr;
        gst_event_parse_caps(event, &caps);
        if (!caps || gst_caps_is_empty(caps))
            return GST_PAD_PROBE_OK;
        GstCaps* fixed = gst_caps_copy(caps);
        gst_caps_set_simple(fixed, "colorimetry", G_TYPE_STRING, "bt601", nullptr);
        GstEvent* replacement = gst_event_new_caps(fixed);
        gst_caps_unref(fixed);
        gst_event_unref(event);
        GST_PAD_PROBE_INFO_DATA(info) = replacement;
        return GST_PAD_PROBE_OK;
    }

    GstElement* add(const char* factory, const char* name = nullptr) {
        GstElement* element = gst_element_factory_make(factory, name);
        if (!element) {
            padError = std::string("the GStreamer element \"") + factory + "\" is missing";
            return nullptr;
        }
        gst_bin_add(GST_BIN(pipeline), element);
        return element;
    }

    static void linkDecodebinPad(GstElement*, GstPad* pad, gpointer data) {
        GstElement* next = static_cast<GstElement*>(data);
        GstPad* sinkPad = gst_element_get_static_pad(next, "sink");
        if (!gst_pad_is_linked(sinkPad))
            gst_pad_link(pad, sinkPad);
        gst_object_unref(sinkPad);
    }

    // Feeds the demuxer's `pad` through a queue of its own (each stream decodes on its own
    // thread) into `next`. A played stream's queue is bounded by time only, so a channel with
    // large pictures never stalls the demuxer on a buffer or byte count.
    bool feedThroughQueue(GstPad* pad, GstElement* next, std::vector<GstElement*>& made, bool played = true) {
        GstElement* queue = add("queue");
        if (!queue)
            return false;
        made.push_back(queue);
        if (played)
            g_object_set(queue, "max-size-buffers", 0u, "max-size-bytes", 0u, "max-size-time",
                         guint64(3 * GST_SECOND), nullptr);
        GstPad* queueSink = gst_element_get_static_pad(queue, "sink");
        bool ok = gst_element_link(queue, next) && gst_pad_link(pad, queueSink) == GST_PAD_LINK_OK;
        gst_object_unref(queueSink);
        return ok;
    }

    // Links `pad` into a decoder chain ending at `next`: the named parser/decoder when given, a
    // decodebin for anything else. `made` gets the elements to bring to the pipeline's state.
    bool linkDecoder(GstPad* pad, const char* parser, const char* decoder, GstElement* next,
                     std::vector<GstElement*>& made, GstElement** parserOut = nullptr) {
        if (parser && decoder) {
            GstElement* p = add(parser);
            GstElement* d = add(decoder);
            if (!p || !d)
                return false;
            made.push_back(p);
            made.push_back(d);
            if (parserOut)
                *parserOut = p;
            return gst_element_link_many(p, d, next, nullptr) && feedThroughQueue(pad, p, made);
        }
        GstElement* bin = add("decodebin");
        if (!bin)
            return false;
        made.push_back(bin);
        g_signal_connect(bin, "pad-added", G_CALLBACK(linkDecodebinPad), next);
        return feedThroughQueue(pad, bin, made);
    }

    // The views draw at most at their size: the converter scales to fit within it (keeping the
    // picture's shape, the view stretches it) and never above the decoded size.
    void applyViewSize(Channel& c) {
        std::pair<int, int> hint = hints[c.index];
        if (hint.first <= 0 || hint.second <= 0)
            hint = {0, 0};
        if (hint == c.drawSize)
            return;
        c.drawSize = hint;
        GstCaps* caps = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGRx", nullptr);
        if (hint.first > 0)
            gst_caps_set_simple(caps, "width", GST_TYPE_INT_RANGE, 2, std::max(2, hint.first), "height",
                                GST_TYPE_INT_RANGE, 2, std::max(2, hint.second), nullptr);
        g_object_set(c.sizeFilter, "caps", caps, nullptr);
        gst_caps_unref(caps);
    }

    bool addVideoChannel(GstPad* pad, const GstStructure* s, std::vector<GstElement*>& made) {
        auto channel = std::make_unique<Channel>();
        channel->index = videoStreams;
        channel->owner = this;
        channel->view = views[channel->index];
        GstElement* balance = add("videobalance");
        GstElement* flip = add("videoflip");
        // The picture is scaled to the view's size before it is converted to the views' pixel
        // format: converting every full-size picture costs about as much as decoding it, scaling
        // the planar picture first and converting the small one costs a third of that.
        GstElement* scale = add("videoscale");
        GstElement* convert = add("videoconvert");
        GstElement* sizeFilter = add("capsfilter");
        GstElement* sink = add("appsink");
        if (!balance || !flip || !scale || !convert || !sizeFilter || !sink)
            return false;
        made.insert(made.end(), {balance, flip, scale, convert, sizeFilter, sink});
        g_object_set(scale, "add-borders", FALSE, nullptr); // the views stretch, as they always did
        g_object_set(balance, "brightness", brightness[channel->index] / 255.0, nullptr);
        g_object_set(flip, "video-direction", videoDirection(viewOptions), nullptr);
        channel->sizeFilter = sizeFilter;
        applyViewSize(*channel);
        GstCaps* caps = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGRx", nullptr);
        // Late pictures are skipped (and the decoder told to catch up) rather than shown late.
        g_object_set(sink, "caps", caps, "sync", TRUE, "qos", TRUE, "max-lateness", gint64(20 * GST_MSECOND),
                     "max-buffers", 2u, "drop", FALSE, "enable-last-sample", FALSE, nullptr);
        gst_caps_unref(caps);
        GstAppSinkCallbacks callbacks{};
        callbacks.new_sample = onNewSample;
        callbacks.new_preroll = onNewPreroll;
        gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, channel.get(), nullptr);
        if (!gst_element_link_many(balance, flip, scale, convert, sizeFilter, sink, nullptr))
            return false;
        GstPad* balanceSink = gst_element_get_static_pad(balance, "sink");
        gst_pad_add_probe(balanceSink, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, fixColorimetry, channel.get(),
                          nullptr);
        gst_object_unref(balanceSink);
        GstPad* scaleSink = gst_element_get_static_pad(scale, "sink");
        gst_pad_add_probe(scaleSink,
                          GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM |
                                          GST_PAD_PROBE_TYPE_EVENT_FLUSH),
                          keepFullPicture, channel.get(), nullptr);
        gst_object_unref(scaleSink);

        bool h264 = gst_structure_has_name(s, "video/x-h264");
        GstElement* parser = nullptr;
        if (!linkDecoder(pad, h264 ? "h264parse" : nullptr, h264 ? "avdec_h264" : nullptr, balance, made,
                         &parser))
            return false;
        if (parser) {
            GstPad* parsed = gst_element_get_static_pad(parser, "src");
            gst_pad_add_probe(parsed, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, watchParsedCaps, channel.get(),
                              nullptr);
            gst_object_unref(parsed);
        }
        channel->balance = balance;
        channel->flip = flip;
        channel->sink = sink;
        channels[channel->index] = std::move(channel);
        return true;
    }

    bool addAudio(GstPad* pad, const GstStructure* s, std::vector<GstElement*>& made) {
        bool raw = gst_structure_has_name(s, "audio/x-raw");
        int mpegVersion = 0;
        bool aac = gst_structure_has_name(s, "audio/mpeg") &&
                   gst_structure_get_int(s, "mpegversion", &mpegVersion) &&
                   (mpegVersion == 2 || mpegVersion == 4);
        GstElement* convert = add("audioconvert");
        GstElement* resample = add("audioresample");
        // scaletempo keeps the pitch at other rates, but not on raw PCM from the demuxer, where
        // the pitch element does the same work.
        GstElement* tempo = add(raw ? "pitch" : "scaletempo");
        GstElement* convert2 = add("audioconvert");
        GstElement* vol = add("volume");
        GstElement* sink = makeAudioSink();
        if (!convert || !resample || !tempo || !convert2 || !vol || !sink) {
            if (sink)
                gst_object_unref(sink);
            return false;
        }
        gst_bin_add(GST_BIN(pipeline), sink);
        made.insert(made.end(), {convert, resample, tempo, convert2, vol, sink});
        g_object_set(vol, "volume", volumeLevel / 65535.0, nullptr);
        if (!gst_element_link_many(convert, resample, tempo, convert2, vol, sink, nullptr))
            return false;
        if (raw) {
            if (!feedThroughQueue(pad, convert, made))
                return false;
        } else if (!linkDecoder(pad, aac ? "aacparse" : nullptr, aac ? "avdec_aac" : nullptr, convert,
                                made)) {
            return false;
        }
        volume = vol;
        return true;
    }

    // Streams nobody shows (data records, a fifth camera, a second audio track) still need a
    // sink so the demuxer does not stop; it must not hold up the preroll.
    bool addDiscard(GstPad* pad, std::vector<GstElement*>& made) {
        GstElement* sink = add("fakesink");
        if (!sink)
            return false;
        made.push_back(sink);
        g_object_set(sink, "sync", FALSE, "async", FALSE, nullptr);
        return feedThroughQueue(pad, sink, made, false);
    }

    static void onPadAdded(GstElement*, GstPad* pad, gpointer data) {
        Impl* self = static_cast<Impl*>(data);
        std::lock_guard lock(self->padMutex);
        GstCaps* caps = gst_pad_get_current_caps(pad);
        if (!caps)
            caps = gst_pad_query_caps(pad, nullptr);
        const GstStructure* s = caps && !gst_caps_is_empty(caps) ? gst_caps_get_structure(caps, 0) : nullptr;
        std::string media = s ? gst_structure_get_name(s) : "";
        std::vector<GstElement*> made;
        bool ok;
        if (media.rfind("video/", 0) == 0 && self->videoStreams < kMaxChannels) {
            ok = self->addVideoChannel(pad, s, made);
            ++self->videoStreams;
            ++self->prerollingSinks;
        } else if (media.rfind("video/", 0) == 0) {
            ++self->videoStreams;
            ok = self->addDiscard(pad, made);
        } else if (media.rfind("audio/", 0) == 0 && !self->audioLinked) {
            self->audioLinked = true;
            ok = self->addAudio(pad, s, made);
            ++self->prerollingSinks;
        } else {
            ok = self->addDiscard(pad, made);
        }
        if (caps)
            gst_caps_unref(caps);
        for (GstElement* element : made)
            gst_element_sync_state_with_parent(element);
        if (!ok && self->padError.empty())
            self->padError = "the stream " + media + " cannot be played";
    }

    static void onNoMorePads(GstElement*, gpointer data) {
        Impl* self = static_cast<Impl*>(data);
        std::lock_guard lock(self->padMutex);
        self->noMorePads = true;
    }

    // Keeps only what the engine acts on, so the queue stays short however long nobody drains it.
    static GstBusSyncReply filterMessages(GstBus*, GstMessage* message, gpointer data) {
        Impl* self = static_cast<Impl*>(data);
        switch (GST_MESSAGE_TYPE(message)) {
        case GST_MESSAGE_ERROR:
        case GST_MESSAGE_EOS:
        case GST_MESSAGE_ASYNC_DONE:
        case GST_MESSAGE_STEP_DONE:
            return GST_BUS_PASS;
        case GST_MESSAGE_STATE_CHANGED:
            return GST_MESSAGE_SRC(message) == GST_OBJECT(self->pipeline) ? GST_BUS_PASS : GST_BUS_DROP;
        default:
            return GST_BUS_DROP;
        }
    }

    // ---- engine-thread side ----

    void handle(GstMessage* message) {
        switch (GST_MESSAGE_TYPE(message)) {
        case GST_MESSAGE_ERROR: {
            engine->m_lastError = errorText(message, "playback error");
            // The pipeline stays paused where it failed; the clock sees "stopped" and a later Run
            // or seek may try again.
            if (pipeline)
                gst_element_set_state(pipeline, GST_STATE_PAUSED);
            if (built)
                state = kStopped;
            break;
        }
        case GST_MESSAGE_EOS:
            atEnd = true;
            break;
        default:
            break;
        }
    }

    static std::string errorText(GstMessage* message, const char* fallback) {
        GError* error = nullptr;
        gst_message_parse_error(message, &error, nullptr);
        std::string text = error && error->message ? error->message : fallback;
        g_clear_error(&error);
        return text;
    }

    // Brings the new pipeline to paused and waits (bounded) until every branch has its first
    // picture or sound; empty when cued, otherwise why not.
    std::string cue() {
        if (gst_element_set_state(pipeline, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE)
            return "the recording cannot be played";
        auto deadline = std::chrono::steady_clock::now() + std::chrono::nanoseconds(kBuildTimeout);
        for (;;) {
            auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return "the recording did not start in time";
            GstMessage* message = gst_bus_timed_pop(bus, std::min<int64_t>(left.count(), 20 * GST_MSECOND));
            if (!message) {
                std::lock_guard lock(padMutex);
                // A stream that cannot be decoded never prerolls: fail now, not at the time limit.
                if (!padError.empty())
                    return padError;
                // Only data streams (or nothing): no sink prerolls, the recording is cued as is.
                if (noMorePads && prerollingSinks == 0)
                    return {};
                continue;
            }
            std::string error;
            bool prerolled = false;
            switch (GST_MESSAGE_TYPE(message)) {
            case GST_MESSAGE_ERROR:
                error = errorText(message, "the recording cannot be played");
                break;
            case GST_MESSAGE_ASYNC_DONE:
                prerolled = true;
                break;
            case GST_MESSAGE_EOS:
                // A recording without any picture or sound ends at once; it still opens.
                atEnd = true;
                break;
            default:
                break;
            }
            gst_message_unref(message);
            if (prerolled || !error.empty())
                return error;
        }
    }

    void poll() {
        if (!bus)
            return;
        while (GstMessage* message = gst_bus_pop(bus)) {
            handle(message);
            gst_message_unref(message);
        }
    }

    // Waits for the pipeline to finish a pending state change (preroll after a seek or step).
    bool settle(GstClockTime timeout) {
        if (!pipeline)
            return false;
        GstState current, pending;
        GstStateChangeReturn result = gst_element_get_state(pipeline, &current, &pending, timeout);
        poll();
        return result == GST_STATE_CHANGE_SUCCESS || result == GST_STATE_CHANGE_NO_PREROLL;
    }

    bool seekNs(gint64 positionNs, double rate) {
        if (!pipeline)
            return false;
        bool ok = gst_element_seek(pipeline, rate, GST_FORMAT_TIME,
                                   GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                                   GST_SEEK_TYPE_SET, positionNs, GST_SEEK_TYPE_NONE, GST_CLOCK_TIME_NONE);
        if (ok) {
            lastPositionNs = positionNs;
            appliedRate = rate;
            atEnd = false;
            stepped = false;
        }
        return ok;
    }

    // Drains the bus, then says whether an operation may act: NotReady until a recording is cued,
    // WrongState when the operation needs a running or paused engine and it is neither.
    EngineResult admit(bool needsActive) {
        poll();
        if (!built)
            return EngineResult::NotReady;
        if (needsActive && state != kRunning && state != kPaused)
            return EngineResult::WrongState;
        return EngineResult::Ok;
    }

    // Pause and Stop both keep the pipeline cued where it is; only the reported state differs.
    EngineResult holdAt(int newState) {
        if (gst_element_set_state(pipeline, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE)
            return EngineResult::Failed;
        state = newState;
        return EngineResult::Ok;
    }

    // Seeks at the applied rate, within the recording: the end itself has no picture (the last
    // one ends there), so a target at or past it shows the last one.
    EngineResult seekWithin(int64_t target) {
        int64_t length = duration();
        if (length > 0 && target >= length)
            target = length - GST_MSECOND;
        return seekNs(std::max<int64_t>(target, 0), appliedRate) ? EngineResult::Ok : EngineResult::Failed;
    }

    // A skip from where the recording is (its end once reached), kept inside it.
    EngineResult skipBy(int64_t deltaNs) {
        if (EngineResult admitted = admit(true); admitted != EngineResult::Ok)
            return admitted;
        int64_t position = positionNs();
        if (position < 0)
            return EngineResult::Failed;
        if (atEnd && duration() > 0)
            position = duration();
        return seekWithin(position + deltaNs);
    }

    // A still picture shows a changed brightness or direction at once: decode it again where it is.
    void redecodeStill() {
        if (state == kRunning || !built || atEnd)
            return;
        if (int64_t position = positionNs(); position >= 0)
            seekNs(position, appliedRate);
    }

    int64_t positionNs() {
        if (!pipeline)
            return -1;
        // Right after a flushing seek the sinks have no position until they preroll again; the
        // target of the seek is the position meanwhile.
        GstState current, pending;
        if (gst_element_get_state(pipeline, &current, &pending, 0) == GST_STATE_CHANGE_ASYNC)
            return lastPositionNs;
        gint64 position = 0;
        if (!gst_element_query_position(pipeline, GST_FORMAT_TIME, &position) || position < 0)
            return lastPositionNs;
        lastPositionNs = position;
        return position;
    }

    int64_t duration() {
        if (durationNs <= 0 && pipeline) {
            // The recording lasts as long as its first camera: a cut-short file's sound header
            // may still claim the planned length. Without pictures the longest stream counts.
            gint64 d = 0;
            GstElement* first = channels[0] ? channels[0]->sink : nullptr;
            if (first && gst_element_query_duration(first, GST_FORMAT_TIME, &d) && d > 0)
                durationNs = d;
            else if (gst_element_query_duration(pipeline, GST_FORMAT_TIME, &d) && d > 0)
                durationNs = d;
        }
        return durationNs;
    }

    uint64_t frameCount(int index) {
        std::lock_guard lock(frameMutex);
        return channels[index] ? channels[index]->frames : 0;
    }
};

// ---------------------------------------------------------------------------------------------

PlaybackEngine::PlaybackEngine(const std::array<ChannelView*, kMaxChannels>& views)
    : m_impl(std::make_unique<Impl>()) {
    ensureGStreamer();
    m_impl->engine = this;
    m_impl->views = views;
}

PlaybackEngine::~PlaybackEngine() = default;

bool PlaybackEngine::Build(const std::filesystem::path& path) {
    Impl& d = *m_impl;
    d.teardown();
    d.state = kNotBuilt;
    d.padError.clear();
    m_lastError.clear();
    m_channelCount = 0;

    auto fail = [&](const std::string& why) {
        m_lastError = why;
        d.teardown();
        d.state = kNotBuilt;
        m_channelCount = 0;
        return false;
    };

    std::string error;
    std::shared_ptr<RecordingBytes> bytes = openRecordingBytes(path, &error);
    if (!bytes)
        return fail(error);
    char head[12] = {};
    if (bytes->read(0, head, sizeof head) != static_cast<int64_t>(sizeof head))
        return fail("the recording is too short");
    const char* demuxer = nullptr;
    if (std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "AVI ", 4) == 0)
        demuxer = "avidemux";
    else if (std::memcmp(head + 4, "ftyp", 4) == 0 || std::memcmp(head + 4, "moov", 4) == 0 ||
             std::memcmp(head + 4, "mdat", 4) == 0)
        demuxer = "qtdemux";
    else
        return fail("not a recording this program can play");

    d.pipeline = gst_pipeline_new("playback");
    GstElement* source = gst_element_factory_make(kRecordingSourceFactory, "source");
    d.demux = gst_element_factory_make(demuxer, "demux");
    if (!source || !d.demux) {
        if (source)
            gst_object_unref(source);
        if (d.demux)
            gst_object_unref(d.demux);
        d.demux = nullptr;
        return fail(std::string("the GStreamer element \"") + (source ? demuxer : kRecordingSourceFactory) +
                    "\" is missing");
    }
    setRecordingSourceBytes(source, bytes);
    gst_bin_add_many(GST_BIN(d.pipeline), source, d.demux, nullptr);
    if (!gst_element_link(source, d.demux))
        return fail("the recording source cannot feed the demuxer");
    d.readHints();
    g_signal_connect(d.demux, "pad-added", G_CALLBACK(Impl::onPadAdded), &d);
    g_signal_connect(d.demux, "no-more-pads", G_CALLBACK(Impl::onNoMorePads), &d);
    d.bus = gst_element_get_bus(d.pipeline);
    gst_bus_set_sync_handler(d.bus, Impl::filterMessages, &d, nullptr);

    // Cue: preroll every branch so the first picture of each channel is shown, stopped.
    if (std::string cueError = d.cue(); !cueError.empty())
        return fail(cueError);

    {
        std::lock_guard lock(d.padMutex);
        m_channelCount = std::min(d.videoStreams, kMaxChannels);
    }
    d.built = true;
    d.state = kStopped;
    d.appliedRate = 1.0;
    d.duration();
    applyViewSizes();
    return true;
}

void PlaybackEngine::PollBus() {
    m_impl->poll();
}

EngineResult PlaybackEngine::Run() {
    Impl& d = *m_impl;
    if (EngineResult admitted = d.admit(false); admitted != EngineResult::Ok)
        return admitted;
    if (d.state != kPaused && d.state != kStopped)
        return EngineResult::WrongState;
    // 1.0 is applied as it is; any other rate is held to the range the page offers.
    if (m_rate != 1.0f)
        m_rate = std::clamp(m_rate, kMinRate, kMaxRate);
    int64_t position = d.positionNs();
    int64_t duration = d.duration();
    bool ended = d.atEnd || (duration > 0 && position >= duration);
    if (ended) {
        if (!d.seekNs(0, m_rate))
            return EngineResult::Failed;
    } else if (d.stepped || d.appliedRate != m_rate) {
        // Steps moved only the pictures; a seek to where they are brings the sound back in step.
        if (!d.seekNs(std::max<int64_t>(position, 0), m_rate))
            return EngineResult::Failed;
    }
    if (gst_element_set_state(d.pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
        return EngineResult::Failed;
    d.state = kRunning;
    return EngineResult::Ok;
}

EngineResult PlaybackEngine::Pause() {
    Impl& d = *m_impl;
    if (EngineResult admitted = d.admit(false); admitted != EngineResult::Ok)
        return admitted;
    return d.state == kRunning ? d.holdAt(kPaused) : EngineResult::Ok;
}

EngineResult PlaybackEngine::Stop() {
    Impl& d = *m_impl;
    if (EngineResult admitted = d.admit(true); admitted != EngineResult::Ok)
        return admitted;
    // Stopped keeps the pipeline cued (paused) where it is: seeks still show their picture and a
    // run continues from the current position, as the callers expect.
    return d.holdAt(kStopped);
}

EngineResult PlaybackEngine::SeekTo(uint64_t ms) {
    Impl& d = *m_impl;
    if (EngineResult admitted = d.admit(false); admitted != EngineResult::Ok)
        return admitted;
    return d.seekWithin(static_cast<int64_t>(std::min<uint64_t>(ms, INT64_MAX / GST_MSECOND)) * GST_MSECOND);
}

EngineResult PlaybackEngine::SkipBack(uint32_t seconds) {
    return m_impl->skipBy(-int64_t(seconds) * int64_t(GST_SECOND));
}

EngineResult PlaybackEngine::SkipForward(uint32_t seconds) {
    return m_impl->skipBy(int64_t(seconds) * int64_t(GST_SECOND));
}

bool PlaybackEngine::StepFrame() {
    Impl& d = *m_impl;
    d.poll();
    if (!d.built || m_channelCount == 0 || d.atEnd)
        return false;
    if (d.state == kRunning) {
        if (Pause() != EngineResult::Ok)
            return false;
    }
    if (!d.settle(kSettleTimeout))
        return false;
    std::array<uint64_t, kMaxChannels> before{};
    for (int i = 0; i < m_channelCount; ++i)
        before[i] = d.frameCount(i);
    bool sent = false;
    for (int i = 0; i < m_channelCount; ++i) {
        if (!d.channels[i])
            continue;
        // Each video sink on its own: a step of the whole pipeline would move the sound too.
        sent |= gst_element_send_event(d.channels[i]->sink,
                                       gst_event_new_step(GST_FORMAT_BUFFERS, 1, 1.0, TRUE, FALSE)) != FALSE;
    }
    if (!sent)
        return false;
    d.stepped = true;
    // The stepped picture arrives through each sink's preroll; wait (bounded) for all of them so a
    // capture or repaint right after shows the new frame.
    std::unique_lock lock(d.frameMutex);
    bool all = d.frameArrived.wait_for(lock, std::chrono::nanoseconds(kSettleTimeout), [&] {
        for (int i = 0; i < m_channelCount; ++i)
            if (d.channels[i] && d.channels[i]->frames == before[i])
                return false;
        return true;
    });
    lock.unlock();
    d.poll();
    return all;
}

uint64_t PlaybackEngine::GetPositionMs() {
    Impl& d = *m_impl;
    d.poll();
    if (!d.built)
        return 0;
    int64_t duration = d.duration();
    if (d.atEnd && duration > 0)
        return static_cast<uint64_t>(duration / GST_MSECOND);
    int64_t position = d.positionNs();
    if (position <= 0)
        return 0;
    if (duration > 0)
        position = std::min(position, duration);
    return static_cast<uint64_t>(position / GST_MSECOND);
}

uint64_t PlaybackEngine::GetDurationMs() {
    Impl& d = *m_impl;
    d.poll();
    if (!d.built)
        return 0;
    int64_t duration = d.duration();
    return duration > 0 ? static_cast<uint64_t>(duration / GST_MSECOND) : 0;
}

int PlaybackEngine::GetState() {
    m_impl->poll();
    return m_impl->state;
}

void PlaybackEngine::SetRate(float rate) {
    Impl& d = *m_impl;
    d.poll();
    if (!std::isfinite(rate) || rate <= 0.0f)
        return;
    bool wasRunning = d.state == kRunning;
    Pause();
    m_rate = rate;
    if (wasRunning)
        Run();
}

double PlaybackEngine::GetAppliedRate() {
    Impl& d = *m_impl;
    d.poll();
    if (!d.pipeline)
        return 1.0;
    // The video sinks play the segment as sent; the sound's tempo element turns its segment into
    // a normal-speed one, so asking the whole pipeline could answer 1.0.
    GstElement* target = m_channelCount > 0 && d.channels[0] ? d.channels[0]->sink : d.pipeline;
    GstQuery* query = gst_query_new_segment(GST_FORMAT_TIME);
    double rate = d.appliedRate;
    if (gst_element_query(target, query))
        gst_query_parse_segment(query, &rate, nullptr, nullptr, nullptr);
    gst_query_unref(query);
    return rate;
}

void PlaybackEngine::SetBrightness(int channel, int value) {
    Impl& d = *m_impl;
    d.poll();
    if (channel < 0 || channel >= kMaxChannels)
        return;
    value = std::clamp(value, -255, 255);
    bool changed = d.brightness[channel] != value;
    d.brightness[channel] = value;
    if (!d.channels[channel] || channel >= m_channelCount)
        return;
    g_object_set(d.channels[channel]->balance, "brightness", value / 255.0, nullptr);
    if (changed)
        d.redecodeStill();
}

void PlaybackEngine::SetViewOptions(uint32_t options) {
    Impl& d = *m_impl;
    d.poll();
    uint32_t old = d.viewOptions.exchange(options);
    int direction = videoDirection(options);
    for (int i = 0; i < m_channelCount; ++i)
        if (d.channels[i])
            g_object_set(d.channels[i]->flip, "video-direction", direction, nullptr);
    if (videoDirection(old) != direction && m_channelCount > 0)
        d.redecodeStill();
}

void PlaybackEngine::SetVolume(uint32_t level) {
    Impl& d = *m_impl;
    d.poll();
    level = std::min<uint32_t>(level, 65535);
    d.volumeLevel = level;
    if (d.volume)
        g_object_set(d.volume, "volume", level / 65535.0, nullptr);
}

void PlaybackEngine::SetViews(const std::array<ChannelView*, kMaxChannels>& views) {
    Impl& d = *m_impl;
    d.poll();
    for (int i = 0; i < kMaxChannels; ++i) {
        ChannelView* old = d.views[i];
        d.views[i] = views[i];
        VideoFramePtr latest;
        if (d.channels[i]) {
            std::lock_guard lock(d.channels[i]->mutex);
            d.channels[i]->view = views[i];
            latest = d.channels[i]->latest;
        }
        if (old == views[i])
            continue;
        if (old && std::find(views.begin(), views.end(), old) == views.end())
            old->clearFrame();
        if (views[i]) {
            if (latest)
                views[i]->presentFrame(latest);
            else
                views[i]->clearFrame();
        }
    }
    applyViewSizes();
}

void PlaybackEngine::Repaint() {
    Impl& d = *m_impl;
    d.poll();
    applyViewSizes(); // the views may have been resized; the next picture comes at the new size
    for (int i = 0; i < m_channelCount; ++i) {
        if (!d.channels[i])
            continue;
        std::lock_guard lock(d.channels[i]->mutex);
        if (d.channels[i]->view && d.channels[i]->latest)
            d.channels[i]->view->presentFrame(d.channels[i]->latest);
    }
}

bool PlaybackEngine::WaitForPicture(uint32_t timeoutMs) {
    return m_impl->settle(GstClockTime(timeoutMs) * GST_MSECOND);
}

VideoFramePtr PlaybackEngine::CaptureImage(int channel) {
    Impl& d = *m_impl;
    d.poll();
    if (!d.built || channel < 1 || channel > m_channelCount || !d.channels[channel - 1])
        return nullptr;
    d.settle(kSettleTimeout);
    Impl::Channel& c = *d.channels[channel - 1];
    GstBuffer* buffer = nullptr;
    GstCaps* caps = nullptr;
    GstSegment segment;
    VideoFramePtr latest;
    {
        std::lock_guard lock(c.mutex);
        if (c.fullBuffer && c.fullCaps) {
            buffer = gst_buffer_ref(c.fullBuffer);
            caps = gst_caps_ref(c.fullCaps);
            gst_segment_copy_into(&c.fullSegment, &segment);
        }
        latest = c.latest;
    }
    if (!buffer)
        return latest && latest->isValid() ? latest : nullptr;
    VideoFramePtr frame = convertToBgrx(buffer, caps, &segment);
    gst_buffer_unref(buffer);
    gst_caps_unref(caps);
    return frame ? frame : latest;
}

void PlaybackEngine::applyViewSizes() {
    Impl& d = *m_impl;
    d.readHints();
    for (int i = 0; i < m_channelCount; ++i)
        if (d.channels[i])
            d.applyViewSize(*d.channels[i]);
}

// A counter of the video sinks' statistics, summed over the channels.
static uint64_t sinkStat(PlaybackEngine::Impl& d, int channelCount, const char* field) {
    uint64_t total = 0;
    for (int i = 0; i < channelCount; ++i) {
        if (!d.channels[i])
            continue;
        GstStructure* stats = nullptr;
        g_object_get(d.channels[i]->sink, "stats", &stats, nullptr);
        guint64 value = 0;
        if (stats) {
            gst_structure_get_uint64(stats, field, &value);
            gst_structure_free(stats);
        }
        total += value;
    }
    return total;
}

uint64_t PlaybackEngine::GetDroppedFrames() {
    return sinkStat(*m_impl, m_channelCount, "dropped");
}

uint64_t PlaybackEngine::GetRenderedFrames() {
    return sinkStat(*m_impl, m_channelCount, "rendered");
}
