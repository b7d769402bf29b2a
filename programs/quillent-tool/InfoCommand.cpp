// "info": container form, state, streams and duration of a recording, with the information texts
// and protection read by the record loop.
#include "ToolCommand.h"
#include "core/container/RecordingReader.h"
#include "core/trackdata/RecordingDataLoader.h"

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

void printInfo(const std::string& path, RecordingReader& reader) {
    const RecordingInfo& i = reader.info();
    std::string state = i.unfinished ? "unfinished" : "finished";
    if (i.truncated)
        state += ", cut short";
    if (i.form != ContainerForm::Mp4)
        state += i.hasIndex ? ", indexed" : ", no index";
    std::printf("%s\n  container: %s (%s), %llu bytes\n  duration:  %s\n  video:     %d channel(s)\n"
                "  audio:     %s\n",
                path.c_str(), ContainerFormName(i.form), state.c_str(), (unsigned long long)i.fileSize,
                duration(i.durationMs).c_str(), i.videoChannels, audioText(i.audio));
    for (const auto& s : i.streams) {
        std::printf("  stream %d:  %s", s.number, s.codec.c_str());
        if (s.kind == StreamKind::Video && s.width)
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
        return;
    // The record loop of an opened recording supplies the texts and the protection.
    RecordingDataLoader loader;
    RecordingData data = loader.Load(&reader);
    std::printf("  records:   %d (%zu GPS, %zu G-sensor)%s\n", data.recordsDelivered, data.gps.size(),
                data.gsensor.size(), data.hasSetupRecord ? ", setup record" : "");
    std::printf("  company:   %s\n  vehicle:   %s\n  driver:    %s\n  version:   %s\n  serial:    %s\n",
                data.info.company.c_str(), data.info.vehicle.c_str(), data.info.driver.c_str(),
                data.info.version.c_str(), data.info.serialNumber.c_str());
    std::printf("  protected: %s\n", data.isProtected() ? "yes (ID and password asked when opened)" : "no");
    std::string marks;
    for (const EventMark& m : ComputeEventMarks(data.gps))
        marks += (marks.empty() ? "" : " ") + std::to_string(m.x) + ":" + std::string(1, m.type);
    std::printf("  marks:     %s\n", marks.empty() ? "none" : marks.c_str());
}

} // namespace

int RunInfo(const std::vector<std::string>& args) {
    if (args.empty())
        return UsageError("info", "no recording given");
    int failures = 0;
    for (const auto& path : args) {
        std::string error;
        auto reader = RecordingReader::open(path, &error);
        if (!reader) {
            std::fprintf(stderr, "quillent-tool info: %s\n", error.c_str());
            ++failures;
            continue;
        }
        printInfo(path, *reader);
    }
    return failures ? kExitFailed : kExitOk;
}
