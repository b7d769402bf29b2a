// "copy": the scrambled copy of a recording, the way back and the check of a copy's digest.
#include "ToolCommand.h"
#include "core/container/ScrambledCopy.h"

#include <cstdio>
#include <filesystem>

namespace fs = std::filesystem;

int RunCopy(const std::vector<std::string>& args) {
    enum class Mode { None, Scrambled, Clear, Verify } mode = Mode::None;
    bool avi = false, force = false;
    std::vector<fs::path> paths;
    for (const auto& a : args) {
        Mode m = a == "--scrambled" ? Mode::Scrambled
                 : a == "--clear"   ? Mode::Clear
                 : a == "--verify"  ? Mode::Verify
                                    : Mode::None;
        if (m != Mode::None) {
            if (mode != Mode::None && mode != m)
                return UsageError("copy", "choose one of --scrambled, --clear and --verify");
            mode = m;
        } else if (a == "--avi") {
            avi = true;
        } else if (a == "--force") {
            force = true;
        } else if (!a.empty() && a[0] == '-') {
            return UsageError("copy", "unknown option " + a);
        } else {
            paths.push_back(a);
        }
    }
    if (mode == Mode::None)
        return UsageError("copy", "choose one of --scrambled, --clear and --verify");
    if (avi && mode != Mode::Clear)
        return UsageError("copy", "--avi goes with --clear");
    if (mode == Mode::Verify) {
        if (paths.empty())
            return UsageError("copy", "no copy given");
        int failures = 0;
        for (const auto& p : paths) {
            CopyOutcome r = VerifyScrambledCopy(p);
            if (r.ok())
                std::printf("%s: intact\n", p.c_str());
            else
                std::fprintf(stderr, "%s: %s\n", p.c_str(), r.error.c_str());
            failures += r.ok() ? 0 : 1;
        }
        return failures ? kExitFailed : kExitOk;
    }
    if (paths.size() != 2)
        return UsageError("copy", "give the recording and the target file");
    std::error_code ec;
    if (!force && fs::exists(paths[1], ec)) {
        std::fprintf(stderr, "%s: already exists (--force replaces it)\n", paths[1].c_str());
        return kExitFailed;
    }
    CopyOutcome r =
        mode == Mode::Scrambled
            ? ScrambledCopy(paths[1], paths[0])
            : UnscrambledCopy(paths[1], paths[0], avi ? ClearForm::StandardAvi : ClearForm::Camera);
    if (!r.ok()) {
        std::fprintf(stderr, "%s: %s\n", paths[0].c_str(), r.error.c_str());
        return kExitFailed;
    }
    std::printf("%s -> %s\n", paths[0].c_str(), paths[1].c_str());
    return kExitOk;
}
