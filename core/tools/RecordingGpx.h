// GPX export of a recording file: reads its data records through the record loop and writes the
// GPS track. Used by quillent-tool "gpx".
#pragma once

#include "core/tools/GpxExport.h"

#include <filesystem>

GpxExportResult ExportRecordingGpx(const std::filesystem::path& recording, const std::filesystem::path& out);
