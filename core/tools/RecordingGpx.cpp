#include "core/tools/RecordingGpx.h"

#include "core/container/RecordingReader.h"
#include "core/tools/FileReplace.h"
#include "core/trackdata/RecordingDataLoader.h"

GpxExportResult ExportRecordingGpx(const std::filesystem::path& recording, const std::filesystem::path& out) {
    GpxExportResult result;
    if (IsSameFile(recording, out)) {
        result.error = "the GPX file must not be the recording itself";
        return result;
    }
    std::string error;
    auto reader = RecordingReader::open(recording, &error);
    if (!reader) {
        result.error = error.empty() ? "cannot open " + recording.string() : error;
        return result;
    }
    // Records are looked for even when the header lost the data stream's description: the
    // chunks themselves still say what they are.
    RecordingDataLoader loader;
    RecordingData data = loader.Load(reader.get());
    if (data.recordsDelivered == 0) {
        result.error = recording.filename().string() + " carries no data records";
        return result;
    }
    return WriteGpx(data.store.gps(), recording.filename().string(), out);
}

GpxExportResult ExportRecordingsGpx(const std::vector<std::filesystem::path>& recordings,
                                    const std::filesystem::path& out) {
    GpxExportResult result;
    std::vector<GpxSegment> segments;
    for (const auto& recording : recordings) {
        if (IsSameFile(recording, out)) {
            result.error = "the GPX file must not be one of the recordings";
            return result;
        }
        std::string error;
        auto reader = RecordingReader::open(recording, &error);
        if (!reader) {
            result.error = error.empty() ? "cannot open " + recording.string() : error;
            return result;
        }
        RecordingDataLoader loader;
        RecordingData data = loader.Load(reader.get());
        segments.push_back({recording.filename().string(), data.store.gps()});
    }
    if (segments.empty()) {
        result.error = "no recordings were chosen";
        return result;
    }
    const std::string name =
        segments.size() == 1 ? segments.front().name : segments.front().name + " .. " + segments.back().name;
    return WriteGpxSegments(segments, name, out);
}
