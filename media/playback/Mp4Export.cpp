#include "media/playback/Mp4Export.h"

#include "core/common/ReplacingWriter.h"
#include "media/playback/GstSupport.h"
#include "media/playback/RecordingBytes.h"
#include "media/playback/RecordingSource.h"

#include <gst/gst.h>

#include <cstring>

namespace fs = std::filesystem;

namespace {

struct Export {
    GstElement* pipeline = nullptr;
    GstElement* mux = nullptr;
    bool video = false;
    bool audio = false;
};

// avidemux stamps video frames with their decoding time only; a camera's H.264 has no B-frames, so
// the presentation time is the same and the MP4 muxer, which needs it, gets it.
GstPadProbeReturn presentAtDecodeTime(GstPad*, GstPadProbeInfo* info, gpointer) {
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    if (buffer && !GST_BUFFER_PTS_IS_VALID(buffer) && GST_BUFFER_DTS_IS_VALID(buffer)) {
        buffer = gst_buffer_make_writable(buffer);
        GST_BUFFER_PTS(buffer) = GST_BUFFER_DTS(buffer);
        GST_PAD_PROBE_INFO_DATA(info) = buffer;
    }
    return GST_PAD_PROBE_OK;
}

GstElement* addChain(GstElement* pipeline, const char* parser, GstElement* mux, const char* muxPad) {
    GstElement* queue = gst_element_factory_make("queue", nullptr);
    GstElement* parse = gst_element_factory_make(parser, nullptr);
    if (!queue || !parse) {
        if (queue)
            gst_object_unref(queue);
        if (parse)
            gst_object_unref(parse);
        return nullptr;
    }
    // The demuxer feeds both branches from one thread in file order while the muxer waits for
    // both: the queues must hold whatever arrives before the other stream catches up.
    g_object_set(queue, "max-size-time", guint64(0), "max-size-buffers", 0u, "max-size-bytes", 0u, nullptr);
    gst_bin_add_many(GST_BIN(pipeline), queue, parse, nullptr);
    GstPad* sink = gst_element_request_pad_simple(mux, muxPad);
    GstPad* src = gst_element_get_static_pad(parse, "src");
    if (std::strcmp(parser, "h264parse") == 0)
        gst_pad_add_probe(src, GST_PAD_PROBE_TYPE_BUFFER, presentAtDecodeTime, nullptr, nullptr);
    const bool ok = gst_element_link(queue, parse) && sink && gst_pad_link(src, sink) == GST_PAD_LINK_OK;
    gst_object_unref(src);
    if (sink)
        gst_object_unref(sink);
    gst_element_sync_state_with_parent(queue);
    gst_element_sync_state_with_parent(parse);
    return ok ? queue : nullptr;
}

void onPadAdded(GstElement*, GstPad* pad, gpointer data) {
    auto* e = static_cast<Export*>(data);
    GstCaps* caps = gst_pad_get_current_caps(pad);
    if (!caps)
        caps = gst_pad_query_caps(pad, nullptr);
    const char* name = gst_structure_get_name(gst_caps_get_structure(caps, 0));
    GstElement* head = nullptr;
    if (!e->video && std::strcmp(name, "video/x-h264") == 0) {
        head = addChain(e->pipeline, "h264parse", e->mux, "video_%u");
        e->video = head != nullptr;
    } else if (!e->audio && std::strcmp(name, "audio/mpeg") == 0) {
        head = addChain(e->pipeline, "aacparse", e->mux, "audio_%u");
        e->audio = head != nullptr;
    }
    if (!head) {
        // Other channels, PCM sound and the data records are not written.
        head = gst_element_factory_make("fakesink", nullptr);
        g_object_set(head, "sync", FALSE, "async", FALSE, nullptr);
        gst_bin_add(GST_BIN(e->pipeline), head);
        gst_element_sync_state_with_parent(head);
    }
    GstPad* sink = gst_element_get_static_pad(head, "sink");
    gst_pad_link(pad, sink);
    gst_object_unref(sink);
    gst_caps_unref(caps);
}

} // namespace

bool ExportMp4(const fs::path& source, const fs::path& target, const Mp4Progress& progress,
               std::string* error) {
    auto fail = [&](const std::string& text) {
        if (error)
            *error = text;
        return false;
    };
    if (!ensureGStreamer())
        return fail("GStreamer cannot start");
    std::string why;
    std::shared_ptr<RecordingBytes> bytes = openRecordingBytes(source, &why);
    if (!bytes)
        return fail(why);
    // The safe writer holds the output under a temporary name; the muxer writes to its file.
    ReplacingWriter out(target, ReplacingWriter::Sync::WhenReplacing);
    if (!out.isOpen())
        return fail(out.error());

    Export e;
    e.pipeline = gst_pipeline_new("mp4export");
    GstElement* src = gst_element_factory_make(kRecordingSourceFactory, nullptr);
    GstElement* demux = gst_element_factory_make("avidemux", nullptr);
    e.mux = gst_element_factory_make("mp4mux", nullptr);
    GstElement* sink = gst_element_factory_make("fdsink", nullptr);
    if (!src || !demux || !e.mux || !sink) {
        for (GstElement* x : {src, demux, e.mux, sink})
            if (x)
                gst_object_unref(x);
        gst_object_unref(e.pipeline);
        return fail("a GStreamer element for MP4 output is missing (avidemux, mp4mux, fdsink)");
    }
    setRecordingSourceBytes(src, bytes);
    g_object_set(sink, "fd", gint(out.fd()), nullptr);
    gst_bin_add_many(GST_BIN(e.pipeline), src, demux, e.mux, sink, nullptr);
    gst_element_link(src, demux);
    gst_element_link(e.mux, sink);
    g_signal_connect(demux, "pad-added", G_CALLBACK(onPadAdded), &e);

    bool ok = false;
    bool cancelled = false;
    std::string message;
    if (gst_element_set_state(e.pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        message = "the MP4 output cannot start";
    } else {
        GstBus* bus = gst_element_get_bus(e.pipeline);
        for (;;) {
            GstMessage* m = gst_bus_timed_pop_filtered(bus, 100 * GST_MSECOND,
                                                       GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
            if (m) {
                if (GST_MESSAGE_TYPE(m) == GST_MESSAGE_EOS) {
                    ok = true;
                } else {
                    GError* err = nullptr;
                    gst_message_parse_error(m, &err, nullptr);
                    message = std::string("MP4 output failed: ") + (err ? err->message : "unknown error");
                    g_clear_error(&err);
                }
                gst_message_unref(m);
                break;
            }
            if (progress) {
                gint64 pos = 0, dur = 0;
                gst_element_query_position(e.pipeline, GST_FORMAT_TIME, &pos);
                gst_element_query_duration(e.pipeline, GST_FORMAT_TIME, &dur);
                if (!progress(uint64_t(std::max<gint64>(pos, 0) / GST_MSECOND),
                              uint64_t(std::max<gint64>(dur, 0) / GST_MSECOND))) {
                    cancelled = true;
                    message = "cancelled";
                    break;
                }
            }
        }
        gst_object_unref(bus);
    }
    gst_element_set_state(e.pipeline, GST_STATE_NULL);
    gst_object_unref(e.pipeline);
    if (ok && !e.video) {
        ok = false;
        message = "the recording has no H.264 video for the MP4 output";
    }
    if (!ok) {
        out.discard();
        return fail(cancelled || !message.empty() ? message : "cannot write " + target.string());
    }
    if (!out.commit())
        return fail(out.error());
    return true;
}
