// "gpx": a recording's GPS track as a GPX 1.1 file with time and speed per point.
#include "ToolCommand.h"
#include "core/tools/RecordingGpx.h"

#include <cstdio>

int RunGpx(const std::vector<std::string>& args) {
    if (args.size() != 2)
        return UsageError("gpx", "a recording and a GPX file are needed");
    GpxExportResult result = ExportRecordingGpx(args[0], args[1]);
    if (!result.ok) {
        std::fprintf(stderr, "quillent-tool gpx: %s\n", result.error.c_str());
        return kExitFailed;
    }
    std::printf("%s: %d track point(s) written\n", args[1].c_str(), result.points);
    if (result.points == 0)
        std::printf("  (the recording has no valid GPS position)\n");
    return kExitOk;
}
