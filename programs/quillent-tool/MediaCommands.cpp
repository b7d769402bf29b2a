// quillent-tool-media's side of the picture commands: the command handed over is run here.
#include "ToolCommand.h"
#include "media/playback/Mp4Export.h"

#include <cstdio>
#include <cstring>

bool ExportMergedMp4(const std::string& merged, const std::string& mp4, std::string* error) {
    return ExportMp4(merged, mp4, {}, error);
}

int RunMediaCommand(const char* name, const std::vector<std::string>& args) {
    if (std::strcmp(name, "snapshot") == 0)
        return RunSnapshot(args);
    if (std::strcmp(name, "merge") == 0)
        return RunMerge(args);
    if (std::strcmp(name, "clip") == 0)
        return RunClip(args);
    std::fprintf(stderr, "quillent-tool: no picture command \"%s\"\n", name);
    return kExitUsage;
}
