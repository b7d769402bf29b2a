// quillent-tool's side of the picture commands: the process becomes quillent-tool-media, found
// beside the program (the build's bin folder, or lib/quillent once installed).
#include "ToolCommand.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;

int RunMediaCommand(const char* name, const std::vector<std::string>& args) {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (ec || !self.is_absolute()) {
        // Never a program of that name found relative to the current folder (a card's, say).
        std::fprintf(stderr, "quillent-tool %s: cannot tell where quillent-tool is installed: %s\n", name,
                     ec ? ec.message().c_str() : "no absolute path");
        return kExitFailed;
    }
    const fs::path helper = self.parent_path() / "quillent-tool-media";
    std::vector<std::string> words = {"quillent-tool", name};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    std::fflush(nullptr);
    ::execv(helper.c_str(), argv.data());
    std::fprintf(stderr, "quillent-tool %s: cannot start %s: %s (install the program again)\n", name,
                 helper.c_str(), std::strerror(errno));
    return kExitFailed;
}

bool ExportMergedMp4(const std::string&, const std::string&, std::string* error) {
    *error = "MP4 export is done by quillent-tool-media"; // merge --mp4 is handed over before this
    return false;
}
