// "snapshot": the full-size picture of one channel of a recording at a position, saved as JPEG.
#include "ToolCommand.h"
#include "core/common/FileReplace.h"
#include "media/playback/FrameJpeg.h"
#include "media/playback/PlaybackEngine.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

bool parseNumber(const std::string& text, long long min, long long max, long long* out) {
    char* end = nullptr;
    long long value = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || *end || value < min || value > max)
        return false;
    *out = value;
    return true;
}

} // namespace

int RunSnapshot(const std::vector<std::string>& args) {
    std::filesystem::path recording, output;
    long long at = -1, channel = 1;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--at" || a == "--channel") {
            if (i + 1 >= args.size())
                return UsageError("snapshot", a + " needs a value");
            const std::string& value = args[++i];
            bool ok =
                a == "--at" ? parseNumber(value, 0, 1LL << 40, &at) : parseNumber(value, 1, 4, &channel);
            if (!ok)
                return UsageError("snapshot", "bad value for " + a + ": " + value);
        } else if (!a.empty() && a[0] == '-') {
            return UsageError("snapshot", "unknown option " + a);
        } else if (recording.empty()) {
            recording = a;
        } else if (output.empty()) {
            output = a;
        } else {
            return UsageError("snapshot", "too many arguments");
        }
    }
    if (recording.empty() || output.empty())
        return UsageError("snapshot", "a recording and an output file are needed");
    if (at < 0)
        return UsageError("snapshot", "--at <ms> is needed");
    if (IsSameFile(recording, output))
        return UsageError("snapshot", "the JPEG file must not be the recording itself");

    // No sound is played: the clock of a fake sink is enough to cue the pictures.
    setenv("QUILLENT_AUDIO_SINK", "fakesink", 0);
    PlaybackEngine engine;
    engine.setViews({}); // nothing is drawn; the pictures are only captured
    if (!engine.open(recording)) {
        std::fprintf(stderr, "quillent-tool snapshot: cannot play %s: %s\n", recording.c_str(),
                     engine.lastError().c_str());
        return kExitFailed;
    }
    if (channel > engine.channelCount()) {
        std::fprintf(stderr, "quillent-tool snapshot: %s has %d channel(s), not %lld\n", recording.c_str(),
                     engine.channelCount(), channel);
        return kExitFailed;
    }
    engine.seekTo(static_cast<uint64_t>(at));
    VideoFramePtr picture = engine.captureImage(static_cast<int>(channel));
    if (!picture) {
        std::fprintf(stderr, "quillent-tool snapshot: no picture at %lld ms\n", at);
        return kExitFailed;
    }
    std::string error;
    if (!saveFrameAsJpeg(*picture, output, &error)) {
        std::fprintf(stderr, "quillent-tool snapshot: %s\n", error.c_str());
        return kExitFailed;
    }
    std::printf("%s: channel %lld, picture of %lld ms, %dx%d\n", output.c_str(), channel,
                static_cast<long long>(picture->timestampMs), picture->width, picture->height);
    return kExitOk;
}
