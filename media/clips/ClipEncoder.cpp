#include "media/clips/ClipEncoder.h"

#include "core/common/ReplacingWriter.h"
#include "core/container/RecordingReader.h"
#include "media/playback/GstSupport.h"
#include "media/playback/RecordingBytes.h"
#include "media/playback/RecordingSource.h"

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <gst/gst.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <mutex>
#include <thread>
#include <sys/statvfs.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr int kAudioRate = 48000;
constexpr int kAudioChannels = 2;
constexpr int kAudioFrameBytes = 2 * kAudioChannels; // S16LE interleaved
constexpr auto kPoll = std::chrono::milliseconds(20);

// The MP4 muxer's output, written through the safe writer as it arrives. The muxer writes in order
// and may go back to patch a header, which a byte segment announces.
struct Output {
    explicit Output(const fs::path& target) : writer(target, ReplacingWriter::Sync::WhenReplacing) {}
    ReplacingWriter writer;
    uint64_t position = 0;
    std::atomic<bool> failed{false};
    std::mutex mutex;
    std::string error;

    void fail(const std::string& text) {
        std::lock_guard lock(mutex);
        failLocked(text);
    }
    void failLocked(const std::string& text) {
        if (error.empty())
            error = text;
        failed = true;
    }
    // Gives up the file at once (a cancel): the temporary file is gone when this returns.
    void abandon() {
        std::lock_guard lock(mutex);
        failLocked("cancelled");
        writer.discard();
    }
    bool write(const uint8_t* data, size_t size) {
        const uint64_t end = writer.size();
        if (position < end) {
            const size_t inside = size_t(std::min<uint64_t>(size, end - position));
            if (!writer.writeAt(position, data, inside))
                return false;
            position += inside;
            data += inside;
            size -= inside;
        }
        while (position > writer.size() && size > 0) { // a gap: zeros, as a file would read
            static const char zeros[4096] = {};
            if (!writer.write(
                    std::string_view(zeros, size_t(std::min<uint64_t>(4096, position - writer.size())))))
                return false;
        }
        if (size > 0) {
            if (!writer.write(std::string_view(reinterpret_cast<const char*>(data), size)))
                return false;
            position += size;
        }
        return true;
    }
};

GstPadProbeReturn onMuxerOutput(GstPad*, GstPadProbeInfo* info, gpointer data) {
    auto* out = static_cast<Output*>(data);
    std::lock_guard lock(out->mutex);
    if (out->failed)
        return GST_PAD_PROBE_DROP;
    if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM) {
        GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
        if (GST_EVENT_TYPE(event) == GST_EVENT_SEGMENT) {
            const GstSegment* segment = nullptr;
            gst_event_parse_segment(event, &segment);
            if (segment->format == GST_FORMAT_BYTES)
                out->position = segment->start;
        }
        return GST_PAD_PROBE_OK;
    }
    auto writeBuffer = [out](GstBuffer* buffer, guint, gpointer) -> gboolean {
        GstMapInfo map;
        if (!gst_buffer_map(buffer, &map, GST_MAP_READ))
            return TRUE;
        const bool ok = out->write(map.data, map.size);
        gst_buffer_unmap(buffer, &map);
        if (!ok)
            out->failLocked(out->writer.error());
        return ok;
    };
    if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_BUFFER_LIST) {
        gst_buffer_list_foreach(
            GST_PAD_PROBE_INFO_BUFFER_LIST(info),
            [](GstBuffer** b, guint i, gpointer d) -> gboolean {
                auto* f = static_cast<decltype(writeBuffer)*>(d);
                return (*f)(*b, i, nullptr);
            },
            &writeBuffer);
    } else if (GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info)) {
        writeBuffer(buffer, 0, nullptr);
    }
    return GST_PAD_PROBE_DROP; // written here; the fake sink after the muxer gets nothing
}

// True for an error message about writing a file (the muxer's scratch file on a full disk).
bool isWriteError(GstMessage* m) {
    GError* err = nullptr;
    gst_message_parse_error(m, &err, nullptr);
    const bool write =
        err && err->domain == GST_RESOURCE_ERROR &&
        (err->code == GST_RESOURCE_ERROR_WRITE || err->code == GST_RESOURCE_ERROR_NO_SPACE_LEFT ||
         err->code == GST_RESOURCE_ERROR_OPEN_WRITE);
    g_clear_error(&err);
    return write;
}

std::string messageText(GstMessage* m) {
    GError* err = nullptr;
    gchar* debug = nullptr;
    if (GST_MESSAGE_TYPE(m) == GST_MESSAGE_ERROR)
        gst_message_parse_error(m, &err, &debug);
    std::string text = err ? err->message : "unknown error";
    g_clear_error(&err);
    g_free(debug);
    return text;
}

// The encoding half: two application sources into x264, the AAC encoder and the MP4 muxer.
struct Encoder {
    GstElement* pipeline = nullptr;
    GstAppSrc* video = nullptr;
    GstAppSrc* audio = nullptr;
    uint64_t videoLimit = 0; // bytes waiting in a source before a push waits for room
    uint64_t audioLimit = 0;
    ~Encoder() {
        if (pipeline) {
            gst_element_set_state(pipeline, GST_STATE_NULL);
            gst_object_unref(pipeline);
        }
        if (video)
            gst_object_unref(video);
        if (audio)
            gst_object_unref(audio);
    }
};

// Shared between the streaming threads of a piece and the encoder's sources.
struct Feed {
    const ClipEncodeJob* job = nullptr;
    Encoder* encoder = nullptr;
    int fps = 30;
    int64_t totalFrames = 0;
    int64_t totalAudioSamples = 0;
    // Per piece
    int64_t pieceOffsetNs = 0;
    int64_t pieceEndNs = 0; // clip time at which the piece ends
    // Written by the video thread
    std::atomic<int64_t> nextFrame{0};    // frames pushed so far (the next index)
    std::atomic<int64_t> lastFrameNs{-1}; // clip time of the last picture pushed
    // Written by the audio thread and the worker between pieces
    std::mutex audioMutex;
    int64_t audioSamples = 0; // samples pushed so far
    std::atomic<bool> stopping{false};
    std::atomic<int> inCallback{0}; // streaming threads inside a callback that may use the job

    // Stops the callbacks and waits for those under way to leave (a picture's overlay at most).
    void quiesce() {
        stopping = true;
        while (inCallback > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    // Waits until `source` holds less than `limit` bytes; false once the run stops. The sources
    // never block by themselves, so a stop never leaves a streaming thread stuck in a push.
    bool waitForRoom(GstAppSrc* source, uint64_t limit) const {
        while (gst_app_src_get_current_level_bytes(source) >= limit) {
            if (stopping)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return !stopping;
    }

    int64_t frameNs(int64_t index) const {
        return int64_t(gst_util_uint64_scale(uint64_t(index), GST_SECOND, uint64_t(fps)));
    }
    int64_t sampleNs(int64_t index) const {
        return int64_t(gst_util_uint64_scale(uint64_t(index), GST_SECOND, kAudioRate));
    }

    // Pushes `count` samples (silence when `data` is null) at the current audio position.
    void pushAudio(const uint8_t* data, int64_t count) {
        while (count > 0 && !stopping) {
            const int64_t n = std::min<int64_t>(count, kAudioRate / 10);
            GstBuffer* buffer = gst_buffer_new_allocate(nullptr, size_t(n * kAudioFrameBytes), nullptr);
            GstMapInfo map;
            gst_buffer_map(buffer, &map, GST_MAP_WRITE);
            if (data) {
                std::memcpy(map.data, data, map.size);
                data += map.size;
            } else {
                std::memset(map.data, 0, map.size);
            }
            gst_buffer_unmap(buffer, &map);
            GST_BUFFER_PTS(buffer) = GstClockTime(sampleNs(audioSamples));
            GST_BUFFER_DURATION(buffer) = GstClockTime(sampleNs(audioSamples + n) - sampleNs(audioSamples));
            audioSamples += n;
            count -= n;
            if (!waitForRoom(encoder->audio, encoder->audioLimit)) {
                gst_buffer_unref(buffer);
                return;
            }
            if (gst_app_src_push_buffer(encoder->audio, buffer) != GST_FLOW_OK)
                return;
        }
    }
    // Silence up to clip time `ns` (never past the clip's end).
    void fillAudioTo(int64_t ns) {
        std::lock_guard lock(audioMutex);
        const int64_t target = std::min<int64_t>(
            totalAudioSamples,
            int64_t(gst_util_uint64_scale(uint64_t(std::max<int64_t>(ns, 0)), kAudioRate, GST_SECOND)));
        if (target > audioSamples)
            pushAudio(nullptr, target - audioSamples);
    }
};

// Counts a streaming thread in and out of a callback (Feed::quiesce waits for it).
struct CallbackGuard {
    explicit CallbackGuard(Feed* f) : feed(f) { ++feed->inCallback; }
    ~CallbackGuard() { --feed->inCallback; }
    Feed* feed;
};

// The sink's next sample with a buffer and a time, or null with what the callback returns: the
// end when the sink is done or the feed is stopping, else go on (a sample without a time).
GstSample* pullUsable(GstAppSink* sink, const Feed& feed, GstFlowReturn& flow) {
    GstSample* sample = gst_app_sink_pull_sample(sink);
    if (!sample) {
        flow = GST_FLOW_EOS;
        return nullptr;
    }
    GstBuffer* in = gst_sample_get_buffer(sample);
    if (feed.stopping || !in || !GST_BUFFER_PTS_IS_VALID(in)) {
        gst_sample_unref(sample);
        flow = feed.stopping ? GST_FLOW_EOS : GST_FLOW_OK;
        return nullptr;
    }
    return sample;
}

GstFlowReturn onVideoSample(GstAppSink* sink, gpointer data) {
    auto* feed = static_cast<Feed*>(data);
    CallbackGuard guard(feed);
    GstFlowReturn skip = GST_FLOW_OK;
    GstSample* sample = pullUsable(sink, *feed, skip);
    if (!sample)
        return skip;
    GstBuffer* in = gst_sample_get_buffer(sample);
    const GstSegment* segment = gst_sample_get_segment(sample);
    const guint64 running = gst_segment_to_running_time(segment, GST_FORMAT_TIME, GST_BUFFER_PTS(in));
    const int64_t clipNs = feed->pieceOffsetNs + int64_t(running);
    if (running == GST_CLOCK_TIME_NONE || clipNs >= feed->pieceEndNs) {
        gst_sample_unref(sample);
        return GST_FLOW_OK;
    }
    // The picture's place on the clip's fixed frame grid; one that falls on a place already filled
    // (at a join) is left out.
    const int64_t index =
        int64_t(gst_util_uint64_scale_round(uint64_t(clipNs), uint64_t(feed->fps), GST_SECOND));
    if (index < feed->nextFrame || index >= feed->totalFrames) {
        gst_sample_unref(sample);
        return GST_FLOW_OK;
    }
    // Painted in place when the compositor's picture is ours alone, else on a copy.
    GstBuffer* out = gst_buffer_ref(in);
    gst_sample_unref(sample);
    out = gst_buffer_make_writable(out);
    const ClipGeometry& g = feed->job->geometry;
    if (feed->job->overlay) {
        GstMapInfo map;
        if (gst_buffer_map(out, &map, GST_MAP_WRITE)) {
            feed->job->overlay(map.data, g.canvas.width(), g.canvas.height(), g.canvas.width() * 4,
                               feed->frameNs(index) / 1000000);
            gst_buffer_unmap(out, &map);
        }
    }
    GST_BUFFER_PTS(out) = GstClockTime(feed->frameNs(index));
    GST_BUFFER_DTS(out) = GST_CLOCK_TIME_NONE;
    GST_BUFFER_DURATION(out) = GstClockTime(feed->frameNs(index + 1) - feed->frameNs(index));
    feed->nextFrame = index + 1;
    feed->lastFrameNs = feed->frameNs(index);
    if (!feed->waitForRoom(feed->encoder->video, feed->encoder->videoLimit)) {
        gst_buffer_unref(out);
        return GST_FLOW_EOS;
    }
    const GstFlowReturn r = gst_app_src_push_buffer(feed->encoder->video, out);
    return r == GST_FLOW_OK ? GST_FLOW_OK : GST_FLOW_EOS;
}

GstFlowReturn onAudioSample(GstAppSink* sink, gpointer data) {
    auto* feed = static_cast<Feed*>(data);
    CallbackGuard guard(feed);
    GstFlowReturn skip = GST_FLOW_OK;
    GstSample* sample = pullUsable(sink, *feed, skip);
    if (!sample)
        return skip;
    GstBuffer* in = gst_sample_get_buffer(sample);
    const GstSegment* segment = gst_sample_get_segment(sample);
    GstMapInfo map;
    if (!gst_buffer_map(in, &map, GST_MAP_READ)) {
        gst_sample_unref(sample);
        return GST_FLOW_OK;
    }
    // Sound before the segment's start runs at a negative time; it is cut off here.
    guint64 magnitude = 0;
    const int sign =
        gst_segment_to_running_time_full(segment, GST_FORMAT_TIME, GST_BUFFER_PTS(in), &magnitude);
    const int64_t running = sign < 0 ? -int64_t(magnitude) : int64_t(magnitude);
    const int64_t clipNs = feed->pieceOffsetNs + running;
    int64_t first = int64_t(std::floor(double(clipNs) * kAudioRate / GST_SECOND + 0.5));
    int64_t count = int64_t(map.size / kAudioFrameBytes);
    const uint8_t* bytes = map.data;
    const int64_t pieceEnd =
        std::min<int64_t>(feed->totalAudioSamples,
                          int64_t(gst_util_uint64_scale(uint64_t(feed->pieceEndNs), kAudioRate, GST_SECOND)));
    {
        std::lock_guard lock(feed->audioMutex);
        // Sound that overlaps what was pushed is cut; a gap of more than 10 ms becomes silence.
        if (first < feed->audioSamples) {
            const int64_t skip = std::min(count, feed->audioSamples - first);
            bytes += skip * kAudioFrameBytes;
            count -= skip;
            first += skip;
        } else if (first > feed->audioSamples + kAudioRate / 100) {
            feed->pushAudio(nullptr, std::min(first, pieceEnd) - feed->audioSamples);
        }
        count = std::min(count, pieceEnd - feed->audioSamples);
        if (count > 0)
            feed->pushAudio(bytes, count);
    }
    gst_buffer_unmap(in, &map);
    gst_sample_unref(sample);
    return GST_FLOW_OK;
}

// The decoding half for one piece: our recording source, the demuxer, a decoder per chosen channel
// into the compositor, the sound decoded to the clip's format.
struct Piece {
    GstElement* pipeline = nullptr;
    GstElement* compositor = nullptr;
    const ClipEncodeJob* job = nullptr;
    Feed* feed = nullptr;
    bool hasAudio = false;
    std::string error; // an element was missing
    ~Piece() {
        if (pipeline) {
            gst_element_set_state(pipeline, GST_STATE_NULL);
            gst_object_unref(pipeline);
        }
    }
};

GstElement* make(const char* factory) {
    return gst_element_factory_make(factory, nullptr);
}

// Adds `names` as a chain to the piece's pipeline, linked in order; the first element or null.
GstElement* addChain(Piece* piece, std::initializer_list<GstElement*> elements) {
    for (GstElement* e : elements)
        if (!e) {
            for (GstElement* x : elements)
                if (x)
                    gst_object_unref(x);
            piece->error = "a GStreamer element for clips is missing";
            return nullptr;
        }
    GstElement* previous = nullptr;
    for (GstElement* e : elements) {
        gst_bin_add(GST_BIN(piece->pipeline), e);
        if (previous)
            gst_element_link(previous, e);
        previous = e;
    }
    return *elements.begin();
}

void syncChain(std::initializer_list<GstElement*> elements) {
    for (GstElement* e : elements)
        gst_element_sync_state_with_parent(e);
}

GstElement* bigQueue() {
    GstElement* q = make("queue");
    if (q)
        g_object_set(q, "max-size-time", guint64(3 * GST_SECOND), "max-size-buffers", 0u, "max-size-bytes",
                     0u, nullptr);
    return q;
}

void onDemuxerPad(GstElement*, GstPad* pad, gpointer data) {
    auto* piece = static_cast<Piece*>(data);
    CallbackGuard guard(piece->feed);
    if (piece->feed->stopping)
        return;
    gchar* padName = gst_pad_get_name(pad);
    const std::string name = padName ? padName : "";
    g_free(padName);
    GstCaps* caps = gst_pad_get_current_caps(pad);
    if (!caps)
        caps = gst_pad_query_caps(pad, nullptr);
    const std::string media = gst_structure_get_name(gst_caps_get_structure(caps, 0));
    gst_caps_unref(caps);

    if (name.rfind("video_", 0) == 0 && media == "video/x-h264") {
        const int channel = std::atoi(name.c_str() + 6);
        for (const ClipCell& cell : piece->job->geometry.cells) {
            if (cell.channel != channel)
                continue;
            // Scaled down before the conversion to BGRA, which then works on the small picture.
            GstElement *q = bigQueue(), *parse = make("h264parse"), *dec = make("avdec_h264"),
                       *scale = make("videoscale"), *convert = make("videoconvert"),
                       *filter = make("capsfilter");
            if (!addChain(piece, {q, parse, dec, scale, convert, filter}))
                break;
            // Each channel decodes on its own thread already; more per decoder only costs memory.
            g_object_set(dec, "max-threads", 1, nullptr);
            GstCaps* c =
                gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGRA", "width", G_TYPE_INT,
                                    cell.rect.width(), "height", G_TYPE_INT, cell.rect.height(),
                                    "pixel-aspect-ratio", GST_TYPE_FRACTION, 1, 1, nullptr);
            g_object_set(filter, "caps", c, nullptr);
            gst_caps_unref(c);
            GstPad* mixIn = gst_element_request_pad_simple(piece->compositor, "sink_%u");
            g_object_set(mixIn, "xpos", cell.rect.x(), "ypos", cell.rect.y(), "zorder", guint(cell.layer + 1),
                         nullptr);
            GstPad* out = gst_element_get_static_pad(filter, "src");
            gst_pad_link(out, mixIn);
            gst_object_unref(out);
            gst_object_unref(mixIn);
            syncChain({q, parse, dec, scale, convert, filter});
            GstPad* in = gst_element_get_static_pad(q, "sink");
            gst_pad_link(pad, in);
            gst_object_unref(in);
            return;
        }
    } else if (!piece->hasAudio && (media == "audio/mpeg" || media == "audio/x-raw")) {
        GstElement* q = bigQueue();
        GstElement* parse = media == "audio/mpeg" ? make("aacparse") : make("identity");
        GstElement* dec = media == "audio/mpeg" ? make("avdec_aac") : make("identity");
        GstElement *convert = make("audioconvert"), *resample = make("audioresample"),
                   *filter = make("capsfilter"), *sink = make("appsink");
        if (addChain(piece, {q, parse, dec, convert, resample, filter, sink})) {
            GstCaps* c = gst_caps_new_simple("audio/x-raw", "format", G_TYPE_STRING, "S16LE", "layout",
                                             G_TYPE_STRING, "interleaved", "rate", G_TYPE_INT, kAudioRate,
                                             "channels", G_TYPE_INT, kAudioChannels, nullptr);
            g_object_set(filter, "caps", c, nullptr);
            gst_caps_unref(c);
            g_object_set(sink, "sync", FALSE, "max-buffers", 4u, nullptr);
            GstAppSinkCallbacks callbacks{};
            callbacks.new_sample = onAudioSample;
            gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, piece->feed, nullptr);
            syncChain({q, parse, dec, convert, resample, filter, sink});
            GstPad* in = gst_element_get_static_pad(q, "sink");
            gst_pad_link(pad, in);
            gst_object_unref(in);
            piece->hasAudio = true;
            return;
        }
    }
    // Other channels, other sound and the data records stay unlinked: the demuxer goes on while
    // any stream is linked, and a sink there would hold it up in the paused state.
}

enum class Wait { Done, Eos, Error, Cancelled, Timeout };

struct Watch {
    const ClipProgress* progress = nullptr;
    Feed* feed = nullptr;
    Output* output = nullptr;
    GstElement* encoder = nullptr;
    int64_t totalMs = 0;
    bool cancelled = false;
    std::string error;

    // Reports progress and asks about a cancel; false once the run must stop.
    bool keepGoing() {
        if (output->failed)
            return false;
        if (GstBus* bus = gst_element_get_bus(encoder)) {
            GstMessage* m = gst_bus_pop_filtered(bus, GST_MESSAGE_ERROR);
            gst_object_unref(bus);
            if (m) {
                output->fail(isWriteError(m) ? messageText(m) : "the clip encoder failed: " + messageText(m));
                gst_message_unref(m);
                return false;
            }
        }
        if (*progress && !(*progress)(std::max<int64_t>(0, feed->lastFrameNs / 1000000), totalMs)) {
            cancelled = true;
            return false;
        }
        return true;
    }

    // Waits for `type` on `pipeline`'s bus (ASYNC_DONE or EOS), polling progress and cancel. A run
    // in which nothing moves (no picture, no byte written) for kStall ends as a timeout.
    Wait wait(GstElement* pipeline, GstMessageType type) {
        constexpr auto kStall = std::chrono::seconds(60);
        GstBus* bus = gst_element_get_bus(pipeline);
        auto until = std::chrono::steady_clock::now() + kStall;
        int64_t frames = feed->nextFrame;
        uint64_t bytes = output->writer.size();
        Wait result = Wait::Timeout;
        for (;;) {
            GstMessage* m =
                gst_bus_timed_pop_filtered(bus, GstClockTime(std::chrono::nanoseconds(kPoll).count()),
                                           GstMessageType(type | GST_MESSAGE_ERROR | GST_MESSAGE_EOS));
            if (m) {
                const GstMessageType t = GST_MESSAGE_TYPE(m);
                if (t == GST_MESSAGE_ERROR) {
                    error = messageText(m);
                    if (isWriteError(m))
                        output->fail(error);
                    result = Wait::Error;
                } else if (t == GST_MESSAGE_EOS && type != GST_MESSAGE_EOS) {
                    result = Wait::Eos;
                } else if (t == type) {
                    result = Wait::Done;
                }
                gst_message_unref(m);
                if (t == type || t == GST_MESSAGE_ERROR || t == GST_MESSAGE_EOS)
                    break;
            }
            if (!keepGoing()) {
                result = Wait::Cancelled;
                break;
            }
            if (feed->nextFrame != frames || output->writer.size() != bytes) {
                frames = feed->nextFrame;
                bytes = output->writer.size();
                until = std::chrono::steady_clock::now() + kStall;
            }
            if (std::chrono::steady_clock::now() > until) {
                error = "nothing moved for a minute";
                break;
            }
        }
        gst_object_unref(bus);
        return result;
    }
};

// The MP4 muxer's own scratch file for moving the index to the front: beside the clip, so that a
// clip that fits its disk never fails for want of room in the temporary folder.
fs::path faststartFile(const fs::path& target) {
    return target.parent_path() / ("." + target.filename().string() + ".index" + std::to_string(::getpid()));
}

// What a failed write tells the user: a full disk said plainly.
std::string writeFailure(const fs::path& target, const std::string& reason) {
    struct statvfs fs {};
    const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    if (::statvfs(folder.c_str(), &fs) == 0 && uint64_t(fs.f_bavail) * fs.f_frsize < (4u << 20))
        return "cannot write " + target.string() + ": the disk is full (" + reason + ")";
    if (reason.rfind("cannot ", 0) == 0 || reason.rfind("the clip encoder", 0) == 0)
        return reason;
    return "cannot write " + target.string() + ": " + reason;
}

bool buildEncoder(Encoder& e, const ClipEncodeJob& job, int fps, Output& output, std::string* error) {
    for (const char* factory : {"appsrc", "videoconvert", "x264enc", "h264parse", "mp4mux", "audioconvert",
                                "avenc_aac", "aacparse", "compositor", "avdec_h264", "avdec_aac", "fakesink",
                                "identity", "appsink", "videoscale", "audioresample"}) {
        GstElementFactory* f = gst_element_factory_find(factory);
        if (!f) {
            *error = std::string("the GStreamer element \"") + factory + "\" is missing; clips need it";
            return false;
        }
        gst_object_unref(f);
    }
    const int w = job.geometry.canvas.width(), h = job.geometry.canvas.height();
    const int kbps = job.videoKbps > 0 ? job.videoKbps : (h > 720 ? 8000 : 4000);
    // No B-frames: each one the encoder holds back keeps several full-size pictures in flight;
    // without them a three-channel 720p clip needs about 40 MB less and encodes a little faster,
    // at the same bit rate.
    char description[1024];
    std::snprintf(
        description, sizeof description,
        "appsrc name=video format=time block=false max-bytes=0 "
        "caps=video/x-raw,format=BGRA,width=%d,height=%d,framerate=%d/1,pixel-aspect-ratio=1/1 ! "
        "videoconvert ! video/x-raw,format=I420 ! "
        "x264enc speed-preset=veryfast threads=2 bitrate=%d key-int-max=%d rc-lookahead=10 bframes=0 ! "
        "video/x-h264,profile=high ! h264parse ! mp4mux name=mux faststart=true ! fakesink name=out "
        "sync=false async=false "
        "appsrc name=audio format=time block=false max-bytes=0 "
        "caps=audio/x-raw,format=S16LE,layout=interleaved,rate=%d,channels=%d ! "
        "audioconvert ! avenc_aac bitrate=128000 ! aacparse ! mux.",
        w, h, fps, kbps, fps * 2, kAudioRate, kAudioChannels);
    GError* err = nullptr;
    e.pipeline = gst_parse_launch(description, &err);
    if (!e.pipeline || err) {
        *error = std::string("the clip encoder cannot be built: ") + (err ? err->message : "unknown error");
        g_clear_error(&err);
        return false;
    }
    e.video = GST_APP_SRC(gst_bin_get_by_name(GST_BIN(e.pipeline), "video"));
    e.audio = GST_APP_SRC(gst_bin_get_by_name(GST_BIN(e.pipeline), "audio"));
    // Two pictures wait at most; the sound may run well ahead while the encoder looks ahead.
    e.videoLimit = uint64_t(w) * h * 4 * 2;
    e.audioLimit = uint64_t(kAudioRate) * kAudioFrameBytes * 20;
    GstElement* mux = gst_bin_get_by_name(GST_BIN(e.pipeline), "mux");
    const fs::path scratch = faststartFile(job.target);
    ::unlink(scratch.c_str());
    g_object_set(mux, "faststart-file", scratch.c_str(), nullptr);
    GstPad* src = gst_element_get_static_pad(mux, "src");
    gst_pad_add_probe(src,
                      GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_BUFFER_LIST |
                                      GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
                      onMuxerOutput, &output, nullptr);
    gst_object_unref(src);
    gst_object_unref(mux);
    if (gst_element_set_state(e.pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        *error = "the clip encoder cannot start";
        return false;
    }
    return true;
}

bool buildPiece(Piece& piece, const ClipPiece& part, std::string* error) {
    std::string why;
    std::shared_ptr<RecordingBytes> bytes = openRecordingBytes(part.path, &why);
    if (!bytes) {
        *error = part.path.filename().string() + ": " + why;
        return false;
    }
    piece.pipeline = gst_pipeline_new("clip-piece");
    GstElement* src = make(kRecordingSourceFactory);
    GstElement* demux = make("avidemux");
    piece.compositor = make("compositor");
    GstElement* filter = make("capsfilter");
    GstElement* sink = make("appsink");
    if (!src || !demux || !piece.compositor || !filter || !sink) {
        for (GstElement* x : {src, demux, piece.compositor, filter, sink})
            if (x)
                gst_object_unref(x);
        *error = "a GStreamer element for clips is missing";
        return false;
    }
    setRecordingSourceBytes(src, bytes);
    const ClipGeometry& g = piece.job->geometry;
    g_object_set(piece.compositor, "background", 1 /* black */, nullptr);
    GstCaps* c = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGRA", "width", G_TYPE_INT,
                                     g.canvas.width(), "height", G_TYPE_INT, g.canvas.height(), "framerate",
                                     GST_TYPE_FRACTION, piece.feed->fps, 1, "pixel-aspect-ratio",
                                     GST_TYPE_FRACTION, 1, 1, nullptr);
    g_object_set(filter, "caps", c, nullptr);
    gst_caps_unref(c);
    g_object_set(sink, "sync", FALSE, "max-buffers", 2u, nullptr);
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = onVideoSample;
    gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, piece.feed, nullptr);
    gst_bin_add_many(GST_BIN(piece.pipeline), src, demux, piece.compositor, filter, sink, nullptr);
    gst_element_link(src, demux);
    gst_element_link_many(piece.compositor, filter, sink, nullptr);
    g_signal_connect(demux, "pad-added", G_CALLBACK(onDemuxerPad), &piece);
    return true;
}

// Checks the written file through our own container reader: an MP4 with one H.264 picture stream
// and one sound stream, as long as the pictures pushed.
bool checkWritten(const fs::path& file, int64_t expectedMs, int64_t frameMs, int64_t* durationMs,
                  std::string* error) {
    std::string why;
    auto reader = RecordingReader::open(file, &why);
    if (!reader || reader->info().form != ContainerForm::Mp4) {
        *error = "the written clip cannot be read back" + (why.empty() ? std::string() : ": " + why);
        return false;
    }
    int video = 0, audio = 0;
    for (const StreamDescription& s : reader->info().streams) {
        video += s.kind == StreamKind::Video;
        audio += s.kind == StreamKind::Audio;
    }
    *durationMs = int64_t(reader->info().durationMs);
    if (video != 1 || audio != 1) {
        *error = "the written clip has " + std::to_string(video) + " picture and " + std::to_string(audio) +
                 " sound streams instead of one each";
        return false;
    }
    if (std::llabs(*durationMs - expectedMs) > frameMs + 50) {
        *error = "the written clip lasts " + std::to_string(*durationMs) + " ms instead of " +
                 std::to_string(expectedMs) + " ms";
        return false;
    }
    return true;
}

// Everything a run owns that its streaming threads may still touch while it is torn down.
struct Run {
    explicit Run(const fs::path& target) : output(target), scratch(faststartFile(target)) {}
    ~Run() {
        piece.reset(); // the decoding half first: its threads push into the encoder's sources
        if (encoder.pipeline)
            gst_element_set_state(encoder.pipeline, GST_STATE_NULL);
        ::unlink(scratch.c_str()); // the muxer removes it itself when it finishes
    }
    Output output;
    fs::path scratch;
    Feed feed;
    Encoder encoder;
    std::unique_ptr<Piece> piece;
};

std::mutex g_teardownMutex;
std::vector<std::thread> g_teardowns;

// A cancel returns at once: the callbacks stop, the files are removed, and the pipelines are
// taken down on a thread of their own (stopping decoders and the encoder's look-ahead takes a
// while on a busy machine).
void abandonRun(std::shared_ptr<Run> run) {
    run->feed.quiesce();
    run->output.abandon();
    ::unlink(run->scratch.c_str()); // the muxer keeps writing to its open file until it stops
    std::lock_guard lock(g_teardownMutex);
    g_teardowns.emplace_back([run = std::move(run)]() mutable { run.reset(); });
}

} // namespace

void WaitForClipTeardown() {
    std::vector<std::thread> threads;
    {
        std::lock_guard lock(g_teardownMutex);
        threads.swap(g_teardowns);
    }
    for (std::thread& t : threads)
        t.join();
}

int RecordingFrameRate(const fs::path& path) {
    std::string error;
    auto reader = RecordingReader::open(path, &error);
    if (reader)
        for (const StreamDescription& s : reader->info().streams)
            if (s.kind == StreamKind::Video && s.framesPerSecond >= 1 && s.framesPerSecond <= 120)
                return int(std::lround(s.framesPerSecond));
    return 30;
}

ClipEncodeResult EncodeClip(const ClipEncodeJob& job, const ClipProgress& progress) {
    ClipEncodeResult result;
    result.width = job.geometry.canvas.width();
    result.height = job.geometry.canvas.height();
    auto fail = [&](const std::string& text) {
        result.ok = false;
        result.error = text;
        return result;
    };
    if (job.pieces.empty() || job.geometry.cells.empty())
        return fail("nothing to encode: no range or no channel");
    if (!ensureGStreamer())
        return fail("GStreamer cannot start");

    auto run = std::make_shared<Run>(job.target);
    Output& output = run->output;
    if (!output.writer.isOpen())
        return fail(output.writer.error());

    Feed& feed = run->feed;
    feed.job = &job;
    feed.fps = std::clamp(job.framesPerSecond, 1, 120);
    int64_t totalMs = 0;
    for (const ClipPiece& p : job.pieces)
        totalMs = std::max(totalMs, p.clipOffsetMs + p.durationMs());
    feed.totalFrames = std::max<int64_t>(
        1, int64_t(gst_util_uint64_scale_round(uint64_t(totalMs), uint64_t(feed.fps), 1000)));
    feed.totalAudioSamples =
        int64_t(gst_util_uint64_scale(uint64_t(feed.frameNs(feed.totalFrames)), kAudioRate, GST_SECOND));

    Encoder& encoder = run->encoder;
    feed.encoder = &encoder;
    std::string error;
    if (!buildEncoder(encoder, job, feed.fps, output, &error))
        return fail(error);

    Watch watch;
    watch.progress = &progress;
    watch.feed = &feed;
    watch.output = &output;
    watch.encoder = encoder.pipeline;
    watch.totalMs = totalMs;
    auto stop = [&] {
        feed.stopping = true;
        gst_element_set_state(encoder.pipeline, GST_STATE_NULL); // unblocks pushes at once
    };

    for (const ClipPiece& part : job.pieces) {
        run->piece = std::make_unique<Piece>();
        Piece& piece = *run->piece;
        piece.job = &job;
        piece.feed = &feed;
        feed.pieceOffsetNs = part.clipOffsetMs * int64_t(GST_MSECOND);
        feed.pieceEndNs = (part.clipOffsetMs + part.durationMs()) * int64_t(GST_MSECOND);
        if (!buildPiece(piece, part, &error)) {
            stop();
            return fail(error);
        }
        Wait w = Wait::Done;
        if (gst_element_set_state(piece.pipeline, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE)
            w = Wait::Error;
        else
            w = watch.wait(piece.pipeline, GST_MESSAGE_ASYNC_DONE);
        if (w == Wait::Done) {
            if (!gst_element_seek(piece.pipeline, 1.0, GST_FORMAT_TIME,
                                  GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                                  GST_SEEK_TYPE_SET, part.fromMs * GST_MSECOND, GST_SEEK_TYPE_SET,
                                  part.toMs * GST_MSECOND))
                w = Wait::Error;
            else
                w = watch.wait(piece.pipeline, GST_MESSAGE_ASYNC_DONE);
        }
        if (w == Wait::Done) {
            gst_element_set_state(piece.pipeline, GST_STATE_PLAYING);
            w = watch.wait(piece.pipeline, GST_MESSAGE_EOS);
        }
        if (w == Wait::Cancelled && watch.cancelled) {
            result.cancelled = true;
            abandonRun(std::move(run));
            return fail("cancelled");
        }
        if (w == Wait::Cancelled) {
            stop();
            return fail(writeFailure(job.target, output.error));
        }
        if (!piece.error.empty()) {
            stop();
            return fail(piece.error);
        }
        // A piece that ends before its range does (an error, or the pictures run out) is damaged:
        // the clip stops at the last good picture.
        const int64_t frameNs = feed.frameNs(1);
        const int64_t lastNs = feed.lastFrameNs;
        const bool short_ = lastNs + 2 * frameNs < feed.pieceEndNs;
        if (w != Wait::Eos && w != Wait::Done) {
            result.damage =
                part.path.filename().string() + " is damaged at " +
                FormatClipTime(part.fromMs + std::max<int64_t>(0, lastNs - feed.pieceOffsetNs) / 1000000) +
                (watch.error.empty() ? std::string() : " (" + watch.error + ")");
        } else if (short_) {
            result.damage =
                part.path.filename().string() + " ends early at " +
                FormatClipTime(part.fromMs + std::max<int64_t>(0, lastNs - feed.pieceOffsetNs) / 1000000) +
                ": the rest of it is damaged";
        }
        // A piece that did not end by itself may still be pushing: its threads give up first.
        if (w != Wait::Done)
            feed.stopping = true;
        gst_element_set_state(piece.pipeline, GST_STATE_NULL);
        feed.stopping = false;
        if (!result.damage.empty()) {
            if (lastNs < 0) {
                stop();
                return fail(result.damage + "; no picture could be read");
            }
            break;
        }
        run->piece.reset();
        feed.fillAudioTo(feed.pieceEndNs);
    }

    // The end: sound up to the end of the last picture, then the streams end.
    const int64_t endNs = feed.frameNs(feed.nextFrame);
    result.frames = feed.nextFrame;
    {
        std::lock_guard lock(feed.audioMutex);
        const int64_t target = int64_t(gst_util_uint64_scale(uint64_t(endNs), kAudioRate, GST_SECOND));
        if (target > feed.audioSamples)
            feed.pushAudio(nullptr, target - feed.audioSamples);
    }
    gst_app_src_end_of_stream(encoder.video);
    gst_app_src_end_of_stream(encoder.audio);
    const Wait w = watch.wait(encoder.pipeline, GST_MESSAGE_EOS);
    if (w != Wait::Done && watch.cancelled) {
        result.cancelled = true;
        abandonRun(std::move(run));
        return fail("cancelled");
    }
    if (w != Wait::Done) {
        stop();
        return fail(output.failed
                        ? writeFailure(job.target, output.error)
                        : "the clip encoder failed" + (watch.error.empty() ? "" : ": " + watch.error));
    }
    stop();
    if (output.failed)
        return fail(writeFailure(job.target, output.error));
    if (!output.writer.flushBuffered())
        return fail(writeFailure(job.target, output.writer.error()));
    int64_t written = 0;
    if (!checkWritten(output.writer.temporaryPath(), endNs / 1000000, feed.frameNs(1) / 1000000, &written,
                      &error))
        return fail(error);
    if (!output.writer.commit())
        return fail(writeFailure(job.target, output.writer.error()));
    result.durationMs = written;
    result.ok = true;
    return result;
}
