// The playback engine's pipeline building: source, demuxer and one branch per stream, frames to the views.
#include "media/playback/PlaybackEngineImpl.h"

#include "core/container/RecordingReader.h"
#include "media/playback/RecordingBytes.h"
#include "media/playback/RecordingSource.h"

#include <gst/base/gstbasetransform.h>

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
    if (int64_t ms =
            PlaybackEngine::Impl::streamTimeMs(gst_sample_get_segment(sample), GST_BUFFER_PTS(buffer));
        ms >= 0)
        frame->timestampMs = ms;
    frame->storage = mapped;
    return frame;
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

int64_t PlaybackEngine::Impl::streamTimeMs(const GstSegment* segment, GstClockTime pts) {
    if (!segment || segment->format != GST_FORMAT_TIME || !GST_CLOCK_TIME_IS_VALID(pts))
        return -1;
    guint64 streamTime = gst_segment_to_stream_time(segment, GST_FORMAT_TIME, pts);
    return GST_CLOCK_TIME_IS_VALID(streamTime) ? static_cast<int64_t>(streamTime / GST_MSECOND) : -1;
}

VideoFramePtr PlaybackEngine::Impl::convertToBgrx(GstBuffer* buffer, GstCaps* caps,
                                                  const GstSegment* segment) {
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

int PlaybackEngine::Impl::videoDirection(uint32_t options) {
    bool flip = options & kViewFlip;
    bool mirror = options & kViewMirror;
    if (flip && mirror)
        return GST_VIDEO_ORIENTATION_180;
    if (mirror)
        return GST_VIDEO_ORIENTATION_HORIZ;
    if (flip)
        return GST_VIDEO_ORIENTATION_VERT;
    return GST_VIDEO_ORIENTATION_IDENTITY;
}

void PlaybackEngine::Impl::readHints() {
    for (int i = 0; i < kMaxChannels; ++i)
        hints[i] = views[i] ? views[i]->frameSizeHint() : std::pair<int, int>{0, 0};
}

void PlaybackEngine::Impl::teardown() {
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
    state = State::Stopped;
}

void PlaybackEngine::Impl::deliver(Channel* channel, GstSample* sample) {
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

GstFlowReturn PlaybackEngine::Impl::onNewSample(GstAppSink* sink, gpointer data) {
    if (GstSample* sample = gst_app_sink_pull_sample(sink))
        deliver(static_cast<Channel*>(data), sample);
    return GST_FLOW_OK;
}

GstFlowReturn PlaybackEngine::Impl::onNewPreroll(GstAppSink* sink, gpointer data) {
    if (GstSample* sample = gst_app_sink_pull_preroll(sink))
        deliver(static_cast<Channel*>(data), sample);
    return GST_FLOW_OK;
}

GstPadProbeReturn PlaybackEngine::Impl::keepFullPicture(GstPad*, GstPadProbeInfo* info, gpointer data) {
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

GstPadProbeReturn PlaybackEngine::Impl::watchParsedCaps(GstPad*, GstPadProbeInfo* info, gpointer data) {
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    if (GST_EVENT_TYPE(event) == GST_EVENT_CAPS) {
        GstCaps* caps = nullptr;
        gst_event_parse_caps(event, &caps);
        const GstStructure* s = caps ? gst_caps_get_structure(caps, 0) : nullptr;
        static_cast<Channel*>(data)->colorimetrySignalled = s && gst_structure_has_field(s, "colorimetry");
    }
    return GST_PAD_PROBE_OK;
}

GstPadProbeReturn PlaybackEngine::Impl::fixColorimetry(GstPad*, GstPadProbeInfo* info, gpointer data) {
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

GstElement* PlaybackEngine::Impl::add(const char* factory, const char* name) {
    GstElement* element = gst_element_factory_make(factory, name);
    if (!element) {
        padError = std::string("the GStreamer element \"") + factory + "\" is missing";
        return nullptr;
    }
    gst_bin_add(GST_BIN(pipeline), element);
    return element;
}

void PlaybackEngine::Impl::linkDecodebinPad(GstElement*, GstPad* pad, gpointer data) {
    GstElement* next = static_cast<GstElement*>(data);
    GstPad* sinkPad = gst_element_get_static_pad(next, "sink");
    if (!gst_pad_is_linked(sinkPad))
        gst_pad_link(pad, sinkPad);
    gst_object_unref(sinkPad);
}

bool PlaybackEngine::Impl::feedThroughQueue(GstPad* pad, GstElement* next, std::vector<GstElement*>& made,
                                            bool played) {
    GstElement* queue = add("queue");
    if (!queue)
        return false;
    made.push_back(queue);
    if (played)
        g_object_set(queue, "max-size-buffers", 0u, "max-size-bytes", 0u, "max-size-time",
                     guint64(3 * GST_SECOND), nullptr);
    else // a discarded stream's sink waits in preroll: drop instead of holding up the demuxer
        g_object_set(queue, "leaky", 2 /* downstream */, nullptr);
    GstPad* queueSink = gst_element_get_static_pad(queue, "sink");
    bool ok = gst_element_link(queue, next) && gst_pad_link(pad, queueSink) == GST_PAD_LINK_OK;
    gst_object_unref(queueSink);
    return ok;
}

bool PlaybackEngine::Impl::linkDecoder(GstPad* pad, const char* parser, const char* decoder, GstElement* next,
                                       std::vector<GstElement*>& made, GstElement** parserOut) {
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

void PlaybackEngine::Impl::applyViewSize(Channel& c) {
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

bool PlaybackEngine::Impl::addVideoChannel(GstPad* pad, const GstStructure* s,
                                           std::vector<GstElement*>& made) {
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
    const int direction = videoDirection(viewOptions);
    g_object_set(flip, "video-direction", direction, nullptr);
    // videoflip passes pictures through only once its direction changed back to the identity;
    // made with it, it copies every full-size picture. It keeps the flag right from then on.
    if (direction == GST_VIDEO_ORIENTATION_IDENTITY)
        gst_base_transform_set_passthrough(GST_BASE_TRANSFORM(flip), TRUE);
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

bool PlaybackEngine::Impl::addAudio(GstPad* pad, const GstStructure* s, std::vector<GstElement*>& made) {
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
    } else if (!linkDecoder(pad, aac ? "aacparse" : nullptr, aac ? "avdec_aac" : nullptr, convert, made)) {
        return false;
    }
    volume = vol;
    return true;
}

bool PlaybackEngine::Impl::addDiscard(GstPad* pad, std::vector<GstElement*>& made) {
    GstElement* sink = add("fakesink");
    if (!sink)
        return false;
    made.push_back(sink);
    g_object_set(sink, "sync", FALSE, "async", FALSE, nullptr);
    return feedThroughQueue(pad, sink, made, false);
}

void PlaybackEngine::Impl::onPadAdded(GstElement*, GstPad* pad, gpointer data) {
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

void PlaybackEngine::Impl::onNoMorePads(GstElement*, gpointer data) {
    Impl* self = static_cast<Impl*>(data);
    std::lock_guard lock(self->padMutex);
    self->noMorePads = true;
}

bool PlaybackEngine::build(const std::filesystem::path& path) {
    Impl& d = *m_impl;
    d.teardown();
    d.state = State::NotBuilt;
    d.padError.clear();
    m_lastError.clear();
    m_channelCount = 0;

    auto fail = [&](const std::string& why) {
        m_lastError = why;
        d.teardown();
        d.state = State::NotBuilt;
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
    switch (SniffRecordingFormat(head, sizeof head)) {
    case RecordingFormat::Avi:
        demuxer = "avidemux";
        break;
    case RecordingFormat::Mp4:
        demuxer = "qtdemux";
        break;
    case RecordingFormat::Unknown:
        return fail("not a recording this program can play");
    }

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
    d.state = State::Stopped;
    d.appliedRate = 1.0;
    d.duration();
    applyViewSizes();
    return true;
}
