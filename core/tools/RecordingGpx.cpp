#include "core/tools/RecordingGpx.h"

#include "core/container/RecordingReader.h"
#include "core/common/FileReplace.h"
#include "core/trackdata/RecordingDataLoader.h"

namespace {
struct LoadedRecording {
    RecordingData data;
    std::string error; // empty when read
};

// The data records of `recording`, which is to go into the GPX file `out`; `sameFileError` says
// why a recording that is the output file itself is refused.
LoadedRecording loadRecording(const std::filesystem::path& recording, const std::filesystem::path& out,
                              const char* sameFileError) {
    LoadedRecording loaded;
    if (IsSameFile(recording, out)) {
        loaded.error = sameFileError;
        return loaded;
    }
    std::string error;
    auto reader = RecordingReader::open(recording, &error);
    if (!reader) {
        loaded.error = error.empty() ? "cannot open " + recording.string() : error;
        return loaded;
    }
    // Records are looked for even when the header lost the data stream's description: the
    // chunks themselves still say what they are.
    RecordingDataLoader loader;
    loaded.data = loader.Load(reader.get());
    return loaded;
}
} // namespace

GpxExportResult ExportRecordingGpx(const std::filesystem::path& recording, const std::filesystem::path& out) {
    GpxExportResult result;
    const LoadedRecording loaded =
        loadRecording(recording, out, "the GPX file must not be the recording itself");
    if (!loaded.error.empty()) {
        result.error = loaded.error;
        return result;
    }
    if (loaded.data.recordsDelivered == 0) {
        result.error = recording.filename().string() + " carries no data records";
        return result;
    }
    return WriteGpx(loaded.data.store.gps(), recording.filename().string(), out);
}

GpxExportResult ExportRecordingsGpx(const std::vector<std::filesystem::path>& recordings,
                                    const std::filesystem::path& out) {
    GpxExportResult result;
    std::vector<GpxSegment> segments;
    for (const auto& recording : recordings) {
        const LoadedRecording loaded =
            loadRecording(recording, out, "the GPX file must not be one of the recordings");
        if (!loaded.error.empty()) {
            result.error = loaded.error;
            return result;
        }
        segments.push_back({recording.filename().string(), loaded.data.store.gps()});
    }
    if (segments.empty()) {
        result.error = "no recordings were chosen";
        return result;
    }
    const std::string name =
        segments.size() == 1 ? segments.front().name : segments.front().name + " .. " + segments.back().name;
    return WriteGpxSegments(segments, name, out);
}
