#include "MediaSamples.h"

#include <gst/gst.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <unistd.h>

namespace samples {
namespace {

const char* kEncoder = "x264enc speed-preset=ultrafast tune=zerolatency key-int-max=10 bitrate=400";

// Test processes run in parallel and share the samples: each is written under a name of its own
// and renamed into place, so a reader never sees half a file.
std::filesystem::path partName(const std::filesystem::path& path) {
    return path.string() + ".part" + std::to_string(getpid());
}

std::filesystem::path make(const std::string& name, const std::string& description) {
    std::filesystem::path path = folder() / name;
    if (std::filesystem::exists(path))
        return path;
    std::string error;
    std::string full = description;
    std::string::size_type at = full.find("@OUT@");
    std::filesystem::path part = partName(path);
    full.replace(at, 5, part.string());
    if (!runPipeline(full, &error)) {
        std::fprintf(stderr, "sample %s failed: %s\n", name.c_str(), error.c_str());
        std::filesystem::remove(part);
        return {};
    }
    std::filesystem::rename(part, path);
    return path;
}

std::string video(const std::string& pattern, int w, int h, bool overlay) {
    return "videotestsrc num-buffers=20 pattern=" + pattern +
           " ! video/x-raw,format=I420,width=" + std::to_string(w) + ",height=" + std::to_string(h) +
           ",framerate=10/1 ! " + (overlay ? "timeoverlay font-desc=\"Sans 24\" ! " : "") + kEncoder +
           " ! h264parse ! ";
}

} // namespace

std::filesystem::path folder() {
    static std::filesystem::path dir = [] {
        std::filesystem::path d =
            std::filesystem::temp_directory_path() / ("quillent-media-samples-" + std::to_string(getuid()));
        std::filesystem::create_directories(d);
        gst_init(nullptr, nullptr);
        return d;
    }();
    return dir;
}

bool runPipeline(const std::string& description, std::string* error) {
    folder();
    GError* parseError = nullptr;
    GstElement* pipeline = gst_parse_launch(description.c_str(), &parseError);
    if (!pipeline || parseError) {
        if (error)
            *error = parseError ? parseError->message : "cannot parse";
        g_clear_error(&parseError);
        if (pipeline)
            gst_object_unref(pipeline);
        return false;
    }
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* message =
        gst_bus_timed_pop_filtered(bus, 60 * GST_SECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    bool ok = message && GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS;
    if (!ok && error) {
        *error = "timed out";
        if (message) {
            GError* e = nullptr;
            gst_message_parse_error(message, &e, nullptr);
            *error = e ? e->message : "error";
            g_clear_error(&e);
        }
    }
    if (message)
        gst_message_unref(message);
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    return ok;
}

std::filesystem::path threeChannelAvi() {
    // GStreamer's AVI muxer takes one video stream only; ffmpeg's writes several, with an index.
    std::filesystem::path path = folder() / "three.avi";
    if (std::filesystem::exists(path))
        return path;
    std::filesystem::path part = partName(path);
    std::string cmd = "ffmpeg -v error -y -f lavfi -i testsrc=size=320x240:rate=10 "
                      "-f lavfi -i testsrc2=size=160x120:rate=10 -f lavfi -i mandelbrot=size=176x144:rate=10 "
                      "-f lavfi -i sine=frequency=440:sample_rate=44100 -map 0 -map 1 -map 2 -map 3 -t 1.95 "
                      "-c:v libx264 -preset ultrafast -tune zerolatency -g 10 -pix_fmt yuv420p "
                      "-c:a aac -ac 1 -f avi '" +
                      part.string() + "'";
    if (std::system(cmd.c_str()) != 0) {
        std::filesystem::remove(part);
        return {};
    }
    std::filesystem::rename(part, path);
    return path;
}

std::filesystem::path sampleCard() {
    static const std::filesystem::path card = [] {
        const std::filesystem::path dir = folder() / "card";
        if (std::filesystem::exists(dir))
            return dir;
        const std::filesystem::path part = partName(dir);
        const std::string cmd =
            std::string("'") + QUILLENT_BIN_DIR + "/quillent-samplecard' '" + part.string() + "' > /dev/null";
        if (std::system(cmd.c_str()) != 0) {
            std::filesystem::remove_all(part);
            return std::filesystem::path();
        }
        std::error_code ec;
        std::filesystem::rename(part, dir, ec); // another process may have put its card there first
        if (ec)
            std::filesystem::remove_all(part);
        return dir;
    }();
    return card;
}

std::filesystem::path oneChannelMp4() {
    return make("one.mp4", "mp4mux name=m ! filesink location=@OUT@ " + video("smpte", 320, 240, true) +
                               "m. audiotestsrc num-buffers=43 samplesperbuffer=2048 ! "
                               "audio/x-raw,rate=44100,channels=1 ! avenc_aac ! aacparse ! m.");
}

std::filesystem::path pcmAvi() {
    return make("pcm.avi", "avimux name=m ! filesink location=@OUT@ " + video("smpte", 320, 240, true) +
                               "m. audiotestsrc num-buffers=20 samplesperbuffer=1600 ! "
                               "audio/x-raw,format=S16LE,rate=16000,channels=1 ! m.");
}

std::filesystem::path audioOnlyAvi() {
    return make("sound.avi", "avimux name=m ! filesink location=@OUT@ audiotestsrc num-buffers=20 "
                             "samplesperbuffer=1600 ! audio/x-raw,format=S16LE,rate=16000,channels=1 ! m.");
}

std::filesystem::path writeFile(const std::string& name, const std::string& bytes) {
    std::filesystem::path path = folder() / name;
    std::filesystem::path part = partName(path);
    std::ofstream(part, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    std::filesystem::rename(part, path);
    return path;
}

double meanLuma(const VideoFrame& frame) {
    double sum = 0;
    for (int y = 0; y < frame.height; ++y) {
        const uint8_t* p = frame.row(y);
        for (int x = 0; x < frame.width; ++x, p += 4)
            sum += 0.114 * p[0] + 0.587 * p[1] + 0.299 * p[2];
    }
    return sum / (double(frame.width) * frame.height);
}

double psnr(const VideoFrame& a, const VideoFrame& b) {
    if (a.width != b.width || a.height != b.height)
        return 0;
    double sse = 0;
    for (int y = 0; y < a.height; ++y) {
        const uint8_t* p = a.row(y);
        const uint8_t* q = b.row(y);
        for (int x = 0; x < a.width * 4; ++x) {
            if (x % 4 == 3)
                continue;
            double d = double(p[x]) - double(q[x]);
            sse += d * d;
        }
    }
    double mse = sse / (3.0 * a.width * a.height);
    return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

VideoFramePtr ffmpegFrame(const std::filesystem::path& file, int stream, int64_t ms) {
    std::filesystem::path out =
        partName(folder() / ("ffmpeg-" + std::to_string(stream) + "-" + std::to_string(ms) + ".raw"));
    std::string probe = "ffprobe -v error -select_streams v:" + std::to_string(stream) +
                        " -show_entries stream=width,height -of csv=p=0 '" + file.string() + "'";
    int w = 0, h = 0;
    if (FILE* p = popen(probe.c_str(), "r")) {
        if (std::fscanf(p, "%d,%d", &w, &h) != 2)
            w = h = 0;
        pclose(p);
    }
    if (w <= 0 || h <= 0)
        return nullptr;
    // Every picture of the half second up to `ms`; the last one is on screen at `ms`.
    char window[96];
    std::snprintf(window, sizeof window, "select=between(t\\,%.3f\\,%.3f)",
                  std::max<int64_t>(ms - 500, 0) / 1000.0, (ms + 1) / 1000.0); // slack for rounded stamps
    std::string cmd = "ffmpeg -v error -y -i '" + file.string() + "' -map 0:v:" + std::to_string(stream) +
                      " -vf '" + window + "' -vsync passthrough -f rawvideo -pix_fmt bgr0 '" + out.string() +
                      "'";
    if (std::system(cmd.c_str()) != 0)
        return nullptr;
    std::ifstream in(out, std::ios::binary);
    std::string all((std::istreambuf_iterator<char>(in)), {});
    in.close();
    std::filesystem::remove(out);
    const size_t frameBytes = size_t(w) * h * 4;
    if (all.size() < frameBytes)
        return nullptr;
    uint8_t* pixels = nullptr;
    auto frame = VideoFrame::allocate(w, h, &pixels);
    std::memcpy(pixels, all.data() + (all.size() / frameBytes - 1) * frameBytes, frameBytes);
    return frame;
}

bool silenceSound() {
    return setenv("QUILLENT_AUDIO_SINK", "fakesink", 1) == 0;
}

} // namespace samples

void RecordingView::presentFrame(VideoFramePtr frame) {
    std::lock_guard lock(m_mutex);
    m_last = std::move(frame);
    ++m_presented;
}

void RecordingView::clearFrame() {
    std::lock_guard lock(m_mutex);
    m_last.reset();
    ++m_cleared;
}

VideoFramePtr RecordingView::last() {
    std::lock_guard lock(m_mutex);
    return m_last;
}

int RecordingView::presented() {
    std::lock_guard lock(m_mutex);
    return m_presented;
}

int RecordingView::cleared() {
    std::lock_guard lock(m_mutex);
    return m_cleared;
}
