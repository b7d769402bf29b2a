// Runs a shell command line for the tests that drive the built programs and ffmpeg: its output
// (standard error included) and its exit code, -1 when it could not start or was killed.
#pragma once

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>

struct ShellResult {
    int exitCode = -1;
    std::string output;
};

inline ShellResult runShell(const std::string& command) {
    ShellResult r;
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (!p)
        return r;
    std::array<char, 4096> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0)
        r.output.append(buf.data(), n);
    const int status = pclose(p);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

// `p` in single quotes for the shell (test paths hold no quote).
inline std::string shellQuoted(const std::filesystem::path& p) {
    return "'" + p.string() + "'";
}

// One of the built programs, quoted for the shell.
inline std::string builtProgram(const char* name) {
    return shellQuoted(std::filesystem::path(QUILLENT_BIN_DIR) / name);
}

inline bool haveFfmpeg() {
    return runShell("ffprobe -version").exitCode == 0 && runShell("ffmpeg -version").exitCode == 0;
}
