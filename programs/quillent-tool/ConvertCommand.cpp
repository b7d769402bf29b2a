// "convert": conversion to AVI or unchanged copy of recordings into a folder.
#include "ToolCommand.h"
#include "core/container/RecordingConverter.h"

#include <cstdio>
#include <filesystem>

namespace fs = std::filesystem;

int RunConvert(const std::vector<std::string>& args) {
    bool copy = false;
    fs::path folder;
    std::vector<fs::path> sources;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--copy") {
            copy = true;
        } else if (args[i] == "--to") {
            if (++i >= args.size())
                return UsageError("convert", "--to needs a folder");
            folder = args[i];
        } else if (!args[i].empty() && args[i][0] == '-') {
            return UsageError("convert", "unknown option " + args[i]);
        } else {
            sources.push_back(args[i]);
        }
    }
    if (folder.empty())
        return UsageError("convert", "no target folder (--to <folder>)");
    if (sources.empty())
        return UsageError("convert", "no recording given");
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        std::fprintf(stderr, "quillent-tool convert: %s is not a folder\n", folder.c_str());
        return kExitFailed;
    }
    int failures = 0, repaired = 0;
    for (const auto& source : sources) {
        const fs::path target = ConvertedPath(folder, source, !copy);
        std::string why;
        const int result =
            copy ? CopyRecording(folder, source, {}, &why) : ConvertRecording(folder, source, true, {}, &why);
        if (why.empty())
            why = source.string() + ": " + ConvertResultText(result);
        if (result < 0) {
            std::fprintf(stderr, "quillent-tool convert: %s\n", why.c_str());
            ++failures;
            continue;
        }
        if (result == kConvertRepaired) {
            std::fprintf(stderr, "quillent-tool convert: warning: %s\n", why.c_str());
            ++repaired;
        }
        std::printf("%s -> %s\n", source.c_str(), target.c_str());
    }
    return failures ? kExitFailed : repaired ? kExitRepaired : kExitOk;
}
