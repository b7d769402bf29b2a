// Opening outside files for reading without ever blocking: a FIFO, a device or a folder given where
// a recording, a log or a setup file is expected is refused with a reason instead of hanging in
// open() or reading without end. Used by every core reader of files chosen by the user.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

struct RegularFile {
    int fd = -1;       // open read-only, blocking reads; -1 on failure
    uint64_t size = 0; // size when opened
    std::string error; // why it failed, empty on success
};

// Opens `path` read-only when it names a regular file (symbolic links are followed). The caller
// closes fd.
RegularFile OpenRegularFile(const std::filesystem::path& path);

// Reads at most `limit` bytes from the start of a regular file into `bytes` (a camera file has a
// fixed small size; a huge or endless input is not read to its end). False with *error set when the
// file cannot be opened or read.
bool ReadFileStart(const std::filesystem::path& path, size_t limit, std::string& bytes, std::string* error);

// Reads a whole regular file (the one helper for reading a file at once). Empty when the file cannot
// be opened or read, with *error (when given) set to why.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& path, std::string* error = nullptr);
