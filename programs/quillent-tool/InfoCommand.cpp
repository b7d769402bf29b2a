// "info": container form, state, streams and duration of a recording, with the information texts
// and protection read by the record loop.
#include "ToolCommand.h"
#include "core/container/RecordingReader.h"
#include "core/container/Riff.h"
#include "core/container/ScrambledFrames.h"
#include "core/trackdata/RecordingDataLoader.h"
#include "core/trackdata/RecordingSummary.h"

#include <cstdio>

namespace {

std::string duration(uint64_t ms) {
    char b[32];
    std::snprintf(b, sizeof b, "%llu:%02llu.%03llu", (unsigned long long)(ms / 60000),
                  (unsigned long long)(ms / 1000 % 60), (unsigned long long)(ms % 1000));
    return b;
}

const char* audioText(AudioKind k) {
    switch (k) {
    case AudioKind::None:
        return "none";
    case AudioKind::Aac:
        return "AAC";
    case AudioKind::Pcm:
        return "PCM";
    case AudioKind::Other:
        return "other";
    }
    return "?";
}

// Limits of what a camera writes; a header beyond them is damaged and its value is not shown.
constexpr uint64_t kMaxPlausibleMs = 24ull * 3600 * 1000;
constexpr uint32_t kMaxPlausibleSide = 16384;
constexpr int kMaxCameraChannels = 4;

void warn(const std::string& path, const std::string& text) {
    std::fprintf(stderr, "quillent-tool info: warning: %s: %s\n", path.c_str(), text.c_str());
}

// True when a warning was given about the input as a whole.
bool printInfo(const std::string& path, RecordingReader& reader) {
    const RecordingInfo& i = reader.info();
    if (i.changedScrambledCopy)
        warn(path, ChangedCopyText("the file") + " as a recording (its video is not clear)");
    std::string state = i.unfinished ? "unfinished" : "finished";
    if (i.truncated)
        state += ", cut short";
    if (i.form != ContainerForm::Mp4)
        state += i.hasIndex ? ", indexed" : ", no index";
    if (i.beyondSizeLimit) {
        // Its sizes wrapped past 32 bits: what they say about the state means nothing.
        state = "over 4 GiB, cannot be played";
        warn(path, std::string("the recording is ") + kBeyondRiffLimit);
    }
    const bool durationKnown = i.durationMs <= kMaxPlausibleMs;
    if (!durationKnown)
        warn(path, "the header's timing is damaged; the duration is not known");
    if (i.videoChannels > kMaxCameraChannels)
        warn(path, std::to_string(i.videoChannels) +
                       " video streams in the header; the player shows the first " +
                       std::to_string(kMaxCameraChannels));
    std::printf("%s\n  container: %s (%s), %llu bytes\n  duration:  %s\n  video:     %d channel(s)\n"
                "  audio:     %s\n",
                path.c_str(), ContainerFormName(i.form), state.c_str(), (unsigned long long)i.fileSize,
                durationKnown ? duration(i.durationMs).c_str() : "unknown", i.videoChannels,
                audioText(i.audio));
    for (const auto& s : i.streams) {
        std::printf("  stream %d:  %s", s.number, s.codec.c_str());
        const bool sizeKnown =
            s.width > 0 && s.width <= kMaxPlausibleSide && s.height > 0 && s.height <= kMaxPlausibleSide;
        if (s.kind == StreamKind::Video && s.width && !sizeKnown)
            warn(path, "stream " + std::to_string(s.number) + ": the picture size in the header is damaged");
        if (s.kind == StreamKind::Video && sizeKnown)
            std::printf(" %ux%u %.3g fps, %llu frames", s.width, s.height, s.framesPerSecond,
                        (unsigned long long)s.frames);
        else if (s.kind == StreamKind::Audio && s.sampleRate)
            std::printf(" %u Hz, %u channel(s)", s.sampleRate, s.channels);
        else if (s.kind == StreamKind::Data)
            std::printf(", %llu records", (unsigned long long)s.frames);
        if (!s.name.empty())
            std::printf("  \"%s\"", s.name.c_str());
        std::printf("\n");
    }
    if (!i.hasDataStream)
        return i.changedScrambledCopy;
    // The record loop of an opened recording supplies the texts, the protection and the samples.
    RecordingDataLoader loader;
    RecordingData data = loader.Load(&reader);
    std::printf("  records:   %d\n", data.recordsDelivered);
    for (const auto& line : SummariseRecordingData(data))
        std::printf("  %s\n", line.c_str());
    return i.changedScrambledCopy;
}

} // namespace

int RunInfo(const std::vector<std::string>& args) {
    if (args.empty())
        return UsageError("info", "no recording given");
    int failures = 0, warnings = 0;
    for (const auto& path : args) {
        std::string error;
        auto reader = RecordingReader::open(path, &error);
        if (!reader) {
            std::fprintf(stderr, "quillent-tool info: %s\n", error.c_str());
            ++failures;
            continue;
        }
        warnings += printInfo(path, *reader) ? 1 : 0;
    }
    return failures ? kExitFailed : warnings ? kExitRepaired : kExitOk;
}
