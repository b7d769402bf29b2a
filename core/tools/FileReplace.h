// Writing a whole output file without ever leaving a half-written one behind, and telling whether
// an output path names an input. Used by every core writer of small files (setup record, INI,
// GPX, event-log CSV).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// Writes `bytes` beside `path` under a temporary name and renames it over `path`, so a full card or
// a failed write keeps the previous file as it was (ReplacingWriter: links are followed, devices
// and pipes refused). Returns an empty string on success, otherwise the error text
// ("cannot create <path>: <reason>" / "cannot write <path>: <reason>").
std::string ReplaceFileContents(const std::filesystem::path& path, std::string_view bytes);

// True when both paths name the same existing file (through links or different spellings).
bool IsSameFile(const std::filesystem::path& a, const std::filesystem::path& b);
