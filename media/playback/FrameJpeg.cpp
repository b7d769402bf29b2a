#include "media/playback/FrameJpeg.h"

#include "core/tools/FileReplace.h"
#include "media/playback/GstSupport.h"

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <gst/gst.h>

#include <algorithm>
#include <cstring>

bool saveFrameAsJpeg(const VideoFrame& frame, const std::filesystem::path& path, std::string* error,
                     int quality) {
    auto fail = [&](const std::string& why) {
        if (error)
            *error = why;
        return false;
    };
    if (!frame.isValid())
        return fail("no picture to save");
    if (!ensureGStreamer())
        return fail("GStreamer cannot start");
    GError* parseError = nullptr;
    GstElement* pipeline = gst_parse_launch(
        "appsrc name=in format=time ! videoconvert ! jpegenc name=enc ! appsink name=out sync=false",
        &parseError);
    if (!pipeline) {
        std::string why = parseError ? parseError->message : "no JPEG encoder";
        g_clear_error(&parseError);
        return fail(why);
    }
    g_clear_error(&parseError);
    GstElement* in = gst_bin_get_by_name(GST_BIN(pipeline), "in");
    GstElement* enc = gst_bin_get_by_name(GST_BIN(pipeline), "enc");
    GstElement* out = gst_bin_get_by_name(GST_BIN(pipeline), "out");
    g_object_set(enc, "quality", std::clamp(quality, 1, 100), nullptr);
    GstCaps* caps = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGRx", "width", G_TYPE_INT,
                                        frame.width, "height", G_TYPE_INT, frame.height, "framerate",
                                        GST_TYPE_FRACTION, 0, 1, nullptr);
    g_object_set(in, "caps", caps, nullptr);
    gst_caps_unref(caps);

    // One tightly packed copy: the encoder's input has no notion of the frame's own stride.
    const size_t rowBytes = static_cast<size_t>(frame.width) * VideoFrame::kBytesPerPixel;
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, rowBytes * frame.height, nullptr);
    GstMapInfo map;
    gst_buffer_map(buffer, &map, GST_MAP_WRITE);
    for (int y = 0; y < frame.height; ++y)
        std::memcpy(map.data + rowBytes * y, frame.row(y), rowBytes);
    gst_buffer_unmap(buffer, &map);
    GST_BUFFER_PTS(buffer) = 0;

    bool ok = false;
    std::string why = "the picture could not be encoded";
    if (gst_element_set_state(pipeline, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE) {
        gst_app_src_push_buffer(GST_APP_SRC(in), buffer);
        gst_app_src_end_of_stream(GST_APP_SRC(in));
        if (GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(out), 10 * GST_SECOND)) {
            GstBuffer* jpeg = gst_sample_get_buffer(sample);
            GstMapInfo jpegMap;
            if (jpeg && gst_buffer_map(jpeg, &jpegMap, GST_MAP_READ)) {
                // Written beside the target and renamed over it: a full disk keeps an earlier
                // picture instead of leaving a cut JPEG in its place.
                const std::string_view bytes(reinterpret_cast<const char*>(jpegMap.data), jpegMap.size);
                const std::string writeError = ReplaceFileContents(path, bytes);
                ok = writeError.empty();
                if (!ok)
                    why = writeError;
                gst_buffer_unmap(jpeg, &jpegMap);
            }
            gst_sample_unref(sample);
        }
    } else {
        gst_buffer_unref(buffer);
    }
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(in);
    gst_object_unref(enc);
    gst_object_unref(out);
    gst_object_unref(pipeline);
    return ok || fail(why);
}
