#include "SnapshotCommand.h"

#include "media/playback/FrameJpeg.h"
#include "media/playback/PlaybackEngine.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

void snapshotUsage(FILE* to) {
    std::fputs("usage: quillent-tool snapshot <recording> --at <ms> [--channel N] <out.jpg>\n"
               "Saves the full-size picture of channel N (1 to 4, default 1) shown at <ms>\n"
               "milliseconds into the recording as a JPEG file.\n",
               to);
}

bool parseNumber(const char* text, long long min, long long max, long long* out) {
    char* end = nullptr;
    long long value = std::strtoll(text, &end, 10);
    if (!text[0] || *end || value < min || value > max)
        return false;
    *out = value;
    return true;
}

} // namespace

int runSnapshotCommand(int argc, char** argv) {
    std::filesystem::path recording, output;
    long long at = -1, channel = 1;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            snapshotUsage(stdout);
            return 0;
        }
        if ((a == "--at" || a == "--channel") && i + 1 < argc) {
            bool ok = a == "--at" ? parseNumber(argv[++i], 0, 1LL << 40, &at)
                                  : parseNumber(argv[++i], 1, 4, &channel);
            if (!ok) {
                std::fprintf(stderr, "quillent-tool snapshot: bad value for %s: %s\n", a.c_str(), argv[i]);
                return 2;
            }
        } else if (!a.empty() && a[0] == '-') {
            std::fprintf(stderr, "quillent-tool snapshot: unknown option %s\n", a.c_str());
            snapshotUsage(stderr);
            return 2;
        } else if (recording.empty()) {
            recording = a;
        } else if (output.empty()) {
            output = a;
        } else {
            snapshotUsage(stderr);
            return 2;
        }
    }
    if (recording.empty() || output.empty() || at < 0) {
        snapshotUsage(stderr);
        return 2;
    }

    PlaybackEngineHolder holder;
    holder.AttachWindows({}); // nothing is drawn; the pictures are only captured
    if (!holder.OpenRecording(recording)) {
        std::fprintf(stderr, "quillent-tool snapshot: cannot play %s: %s\n", recording.c_str(),
                     holder.lastError().c_str());
        return 1;
    }
    if (channel > holder.GetChannelCount()) {
        std::fprintf(stderr, "quillent-tool snapshot: %s has %d channel(s), not %lld\n", recording.c_str(),
                     holder.GetChannelCount(), channel);
        return 1;
    }
    holder.SeekTo(static_cast<uint64_t>(at));
    VideoFramePtr picture = holder.CaptureImage(static_cast<int>(channel));
    if (!picture) {
        std::fprintf(stderr, "quillent-tool snapshot: no picture at %lld ms\n", at);
        return 1;
    }
    std::string error;
    if (!saveFrameAsJpeg(*picture, output, &error)) {
        std::fprintf(stderr, "quillent-tool snapshot: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s: channel %lld at %lld ms, %dx%d\n", output.c_str(), channel,
                static_cast<long long>(picture->timestampMs), picture->width, picture->height);
    return 0;
}
