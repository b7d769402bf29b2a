// "merge": joins consecutive recordings into one recording per channel.
#include "ToolCommand.h"
#include "core/container/ChannelMerge.h"
#include "core/container/RecordingReader.h"
#include "core/common/FileReplace.h"

#include <cstdio>
#include <filesystem>
#include <set>

namespace fs = std::filesystem;

int RunMerge(const std::vector<std::string>& args) {
    fs::path folder;
    std::set<int> channels;
    std::vector<fs::path> sources;
    bool mp4 = false, force = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--to") {
            if (++i >= args.size())
                return UsageError("merge", "--to needs a folder");
            folder = args[i];
        } else if (a == "--channel") {
            if (++i >= args.size() || args[i].size() != 1 || args[i][0] < '1' || args[i][0] > '4')
                return UsageError("merge", "--channel needs a number from 1 to 4");
            channels.insert(args[i][0] - '0');
        } else if (a == "--mp4") {
            mp4 = true;
        } else if (a == "--force") {
            force = true;
        } else if (!a.empty() && a[0] == '-') {
            return UsageError("merge", "unknown option " + a);
        } else {
            sources.push_back(a);
        }
    }
    if (folder.empty())
        return UsageError("merge", "no target folder (--to <folder>)");
    if (sources.empty())
        return UsageError("merge", "no recording given");
    if (sources.size() > 20)
        return UsageError("merge", "at most 20 recordings can be merged");
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        std::fprintf(stderr, "quillent-tool merge: %s is not a folder\n", folder.c_str());
        return kExitFailed;
    }
    if (channels.empty()) {
        std::string error;
        auto reader = RecordingReader::open(sources.front(), &error);
        if (!reader) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return kExitFailed;
        }
        for (int ch = 1; ch <= reader->info().videoChannels && ch <= 4; ++ch)
            channels.insert(ch);
    }
    int failures = 0;
    for (int ch : channels) {
        const fs::path target = folder / MergedFileName(sources.front().filename().string(), ch);
        const fs::path mp4Target = fs::path(target).replace_extension(".mp4");
        bool clash = false;
        for (const auto& s : sources)
            clash = clash || IsSameFile(s, target) || IsSameFile(s, mp4Target);
        if (clash || (!force && (fs::exists(target, ec) || (mp4 && fs::exists(mp4Target, ec))))) {
            std::fprintf(stderr, "%s: %s\n", target.c_str(),
                         clash ? "the merge would replace one of its recordings"
                               : "already exists (--force replaces it)");
            ++failures;
            continue;
        }
        MergeOutcome r = MergeChannel(target, sources, ch - 1);
        if (!r.ok) {
            std::fprintf(stderr, "channel %d: %s\n", ch, r.error.c_str());
            ++failures;
            continue;
        }
        std::printf("channel %d -> %s (%zu files, %.3f s, %llu records)\n", ch, target.c_str(),
                    sources.size(), r.durationMs / 1000.0, static_cast<unsigned long long>(r.records));
        if (mp4) {
            std::string error;
            if (!ExportMergedMp4(target, mp4Target, &error)) {
                std::fprintf(stderr, "channel %d: %s\n", ch, error.c_str());
                ++failures;
            } else {
                std::printf("channel %d -> %s\n", ch, mp4Target.c_str());
            }
        }
    }
    return failures ? kExitFailed : kExitOk;
}
