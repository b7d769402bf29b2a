// GPX export of a recording file: reads its data records through the record loop and writes the
// GPS track. Used by quillent-tool "gpx".
#pragma once

#include "core/tools/GpxExport.h"

#include <filesystem>
#include <vector>

GpxExportResult ExportRecordingGpx(const std::filesystem::path& recording, const std::filesystem::path& out);

// One GPX of several recordings, a track segment per recording in the given order. A recording
// that cannot be read fails the whole export (nothing is written) and the error names it.
GpxExportResult ExportRecordingsGpx(const std::vector<std::filesystem::path>& recordings,
                                    const std::filesystem::path& out);
