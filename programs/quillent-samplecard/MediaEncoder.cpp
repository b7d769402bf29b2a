#include "MediaEncoder.h"
#include "core/common/ReplacingWriter.h"

#include "RoadScene.h"

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <gst/gst.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <thread>
#include <unistd.h>

namespace {

const char* kPatterns[] = {"smpte", "ball", "bar", "pinwheel"};

constexpr double kDemoSpeedKmh = 42;

std::string videoSource(const VideoRequest& r) {
    char text[768];
    if (r.drawnRoad) {
        // Fed frame by frame by feedRoad; a smaller time stamp in the corner, as a camera burns it.
        std::snprintf(text, sizeof text,
                      "appsrc name=src format=time block=true max-bytes=%u "
                      "caps=video/x-raw,format=I420,width=%u,height=%u,framerate=%u/1 ! "
                      "timeoverlay text=\"%s\" font-desc=\"Sans Bold %u\" valignment=bottom halignment=right "
                      "shaded-background=true",
                      r.width * r.height * 6, r.width, r.height, r.fps, r.label.c_str(),
                      std::max(8u, r.height / 28));
        return text;
    }
    const char* pattern = kPatterns[r.pattern % 4];
    uint32_t fontSize = std::max(8u, r.height / 14);
    std::snprintf(text, sizeof text,
                  "videotestsrc num-buffers=%u pattern=%s %s ! "
                  "video/x-raw,format=I420,width=%u,height=%u,framerate=%u/1 ! "
                  "timeoverlay text=\"%s\" font-desc=\"Sans Bold %u\" valignment=top halignment=left "
                  "shaded-background=true",
                  r.seconds * r.fps, pattern, r.pattern % 4 == 2 ? "" : "horizontal-speed=2", r.width,
                  r.height, r.fps, r.label.c_str(), fontSize);
    return text;
}

// Pushes the drawn road's frames into the pipeline's appsrc, then the end of the stream. Stops
// early when the pipeline no longer takes buffers (an error, or it was shut down).
void feedRoad(GstElement* pipeline, const VideoRequest& r) {
    GstElement* src = gst_bin_get_by_name(GST_BIN(pipeline), "src");
    if (!src)
        return;
    static constexpr RoadView kViews[] = {RoadView::Front, RoadView::Rear, RoadView::Side};
    const RoadView view = kViews[static_cast<unsigned>(r.pattern) % 3];
    std::vector<uint8_t> frame;
    const uint32_t count = r.seconds * r.fps;
    for (uint32_t n = 0; n < count; ++n) {
        DrawRoadScene(frame, r.width, r.height, static_cast<double>(n) / r.fps, kDemoSpeedKmh, view);
        GstBuffer* buffer = gst_buffer_new_memdup(frame.data(), frame.size());
        GST_BUFFER_PTS(buffer) = gst_util_uint64_scale(n, GST_SECOND, r.fps);
        GST_BUFFER_DURATION(buffer) = gst_util_uint64_scale(1, GST_SECOND, r.fps);
        if (gst_app_src_push_buffer(GST_APP_SRC(src), buffer) != GST_FLOW_OK)
            break;
    }
    gst_app_src_end_of_stream(GST_APP_SRC(src));
    gst_object_unref(src);
}

std::string x264(const VideoRequest& r) {
    char text[256];
    // One thread keeps the output identical from run to run on small pictures.
    std::snprintf(text, sizeof text,
                  "x264enc speed-preset=ultrafast key-int-max=%u bframes=0 byte-stream=true aud=false "
                  "bitrate=%u threads=%u",
                  r.fps, r.kbps, r.width * r.height > 640 * 360 ? 0u : 1u);
    return text;
}

using Feeder = std::function<void(GstElement* pipeline)>;

EncodedStream pull(const std::string& description, bool wantCodecConfig, const Feeder& feed = {}) {
    EncodedStream out;
    GError* err = nullptr;
    GstElement* pipeline = gst_parse_launch(description.c_str(), &err);
    if (!pipeline) {
        out.error = err ? err->message : "cannot build pipeline";
        if (err)
            g_error_free(err);
        return out;
    }
    if (err) {
        g_error_free(err);
    }
    GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "out");
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    std::thread feeder;
    if (feed)
        feeder = std::thread(feed, pipeline);
    while (GstSample* sample = gst_app_sink_pull_sample(GST_APP_SINK(sink))) {
        GstBuffer* buffer = gst_sample_get_buffer(sample);
        if (wantCodecConfig && out.codecConfig.empty()) {
            GstCaps* caps = gst_sample_get_caps(sample);
            const GstStructure* s = caps ? gst_caps_get_structure(caps, 0) : nullptr;
            const GValue* v = s ? gst_structure_get_value(s, "codec_data") : nullptr;
            if (v && G_VALUE_HOLDS(v, GST_TYPE_BUFFER)) {
                GstBuffer* cd = gst_value_get_buffer(v);
                GstMapInfo m;
                if (gst_buffer_map(cd, &m, GST_MAP_READ)) {
                    out.codecConfig.assign(m.data, m.data + m.size);
                    gst_buffer_unmap(cd, &m);
                }
            }
        }
        GstMapInfo map;
        if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
            EncodedFrame f;
            f.data.assign(map.data, map.data + map.size);
            GstClockTime pts = GST_BUFFER_PTS(buffer);
            f.timeMs = GST_CLOCK_TIME_IS_VALID(pts) ? pts / GST_MSECOND : 0;
            f.keyFrame = !GST_BUFFER_FLAG_IS_SET(buffer, GST_BUFFER_FLAG_DELTA_UNIT);
            out.frames.push_back(std::move(f));
            gst_buffer_unmap(buffer, &map);
        }
        gst_sample_unref(sample);
    }
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* msg = gst_bus_pop_filtered(bus, GST_MESSAGE_ERROR);
    if (msg) {
        GError* e = nullptr;
        gst_message_parse_error(msg, &e, nullptr);
        out.error = e ? e->message : "pipeline error";
        if (e)
            g_error_free(e);
        gst_message_unref(msg);
    }
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL); // a feeder still pushing is refused and stops
    if (feeder.joinable())
        feeder.join();
    gst_object_unref(sink);
    gst_object_unref(pipeline);
    if (out.frames.empty() && out.error.empty())
        out.error = "encoder produced no frames";
    return out;
}

// Boxes whose creation/modification times are zeroed: mvhd, tkhd, mdhd (all under moov).
void zeroMp4Times(std::vector<uint8_t>& d, size_t begin, size_t end, int depth) {
    size_t pos = begin;
    while (pos + 8 <= end && depth < 6) {
        uint32_t size =
            uint32_t(d[pos]) << 24 | uint32_t(d[pos + 1]) << 16 | uint32_t(d[pos + 2]) << 8 | d[pos + 3];
        std::string type(reinterpret_cast<const char*>(&d[pos + 4]), 4);
        if (size < 8 || pos + size > end)
            return;
        if (type == "moov" || type == "trak" || type == "mdia")
            zeroMp4Times(d, pos + 8, pos + size, depth + 1);
        if ((type == "mvhd" || type == "tkhd" || type == "mdhd") && size >= 20) {
            int version = d[pos + 8];
            size_t n = version == 1 ? 16 : 8;
            if (pos + 12 + n <= pos + size)
                std::memset(&d[pos + 12], 0, n);
        }
        pos += size;
    }
}

} // namespace

bool InitMediaEncoder(std::string* error) {
    gst_init(nullptr, nullptr);
    for (const char* name : {"appsrc", "videotestsrc", "timeoverlay", "x264enc", "audiotestsrc", "avenc_aac",
                             "appsink", "mp4mux", "h264parse", "aacparse"}) {
        GstElementFactory* f = gst_element_factory_find(name);
        if (!f) {
            if (error)
                *error = std::string("GStreamer element missing: ") + name;
            return false;
        }
        gst_object_unref(f);
    }
    return true;
}

EncodedStream EncodeVideo(const VideoRequest& r) {
    std::string d = videoSource(r) + " ! " + x264(r) +
                    " ! video/x-h264,stream-format=byte-stream,alignment=au ! appsink name=out sync=false";
    if (r.drawnRoad)
        return pull(d, false, [&r](GstElement* pipeline) { feedRoad(pipeline, r); });
    return pull(d, false);
}

EncodedStream EncodeAac(uint32_t sampleRate, uint32_t channels, uint32_t seconds) {
    uint32_t buffers = (sampleRate * seconds + 1023) / 1024;
    char d[512];
    std::snprintf(d, sizeof d,
                  "audiotestsrc num-buffers=%u samplesperbuffer=1024 wave=ticks volume=0.4 ! "
                  "audio/x-raw,format=S16LE,rate=%u,channels=%u ! audioconvert ! avenc_aac bitrate=64000 ! "
                  "aacparse ! audio/mpeg,stream-format=raw ! appsink name=out sync=false",
                  buffers, sampleRate, channels);
    return pull(d, true);
}

EncodedStream MakePcm(uint32_t sampleRate, uint32_t channels, uint32_t seconds) {
    EncodedStream out;
    const uint32_t total = sampleRate * seconds;
    for (uint32_t start = 0; start < total; start += 1024) {
        uint32_t n = std::min<uint32_t>(1024, total - start);
        EncodedFrame f;
        f.timeMs = uint64_t(start) * 1000 / sampleRate;
        f.keyFrame = true;
        f.data.resize(size_t(n) * channels * 2);
        for (uint32_t i = 0; i < n; ++i) {
            double t = double(start + i) / sampleRate;
            auto v = int16_t(std::lround(6000.0 * std::sin(2 * M_PI * 440.0 * t)));
            for (uint32_t c = 0; c < channels; ++c) {
                size_t at = (size_t(i) * channels + c) * 2;
                f.data[at] = uint8_t(v);
                f.data[at + 1] = uint8_t(uint16_t(v) >> 8);
            }
        }
        out.frames.push_back(std::move(f));
    }
    return out;
}

bool WriteMp4(const std::string& path, const VideoRequest& r, std::string* error) {
    // The muxer writes to the safe writer's temporary file, which takes the name when complete.
    ReplacingWriter out(path, ReplacingWriter::Sync::WhenReplacing);
    if (!out.isOpen()) {
        if (error)
            *error = out.error();
        return false;
    }
    std::string d = videoSource(r) + " ! " + x264(r) +
                    " ! h264parse ! mp4mux name=mux ! fdsink fd=" + std::to_string(out.fd()) +
                    " audiotestsrc num-buffers=" + std::to_string((44100 * r.seconds) / 1024) +
                    " samplesperbuffer=1024 wave=ticks volume=0.4 ! audio/x-raw,rate=44100,channels=1 ! "
                    "audioconvert ! avenc_aac ! aacparse ! mux.";
    GError* err = nullptr;
    GstElement* pipeline = gst_parse_launch(d.c_str(), &err);
    if (!pipeline) {
        if (error)
            *error = err ? err->message : "cannot build pipeline";
        if (err)
            g_error_free(err);
        return false;
    }
    if (err)
        g_error_free(err);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    std::thread feeder;
    if (r.drawnRoad)
        feeder = std::thread([pipeline, &r] { feedRoad(pipeline, r); });
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* msg = gst_bus_timed_pop_filtered(bus, GST_CLOCK_TIME_NONE,
                                                 GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    bool ok = msg && GST_MESSAGE_TYPE(msg) == GST_MESSAGE_EOS;
    if (!ok && error)
        *error = "MP4 pipeline failed";
    if (msg)
        gst_message_unref(msg);
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    if (feeder.joinable())
        feeder.join();
    gst_object_unref(pipeline);
    if (!ok)
        return false;
    std::vector<uint8_t> data;
    uint8_t block[1 << 16];
    for (;;) {
        const ssize_t n = ::pread(out.fd(), block, sizeof block, off_t(data.size()));
        if (n < 0)
            return false;
        if (n == 0)
            break;
        data.insert(data.end(), block, block + n);
    }
    zeroMp4Times(data, 0, data.size(), 0);
    if (!out.writeAt(0, data.data(), data.size()) || !out.commit()) {
        if (error)
            *error = out.error();
        return false;
    }
    return true;
}
