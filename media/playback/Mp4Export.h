// Writes a recording's first video channel and its AAC sound into a standard MP4 file without
// re-encoding (GStreamer's demuxer, parsers and MP4 muxer). Used by the channel merge for sharing
// a merged channel with any player, and by quillent-tool.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

// Called with the position written so far and the recording's duration, in ms; false cancels.
using Mp4Progress = std::function<bool(uint64_t doneMs, uint64_t totalMs)>;

// Writes `target` (under a temporary name first; nothing is left behind on failure). PCM sound
// cannot go into an MP4 without encoding and is left out. False with *error on failure.
bool ExportMp4(const std::filesystem::path& source, const std::filesystem::path& target,
               const Mp4Progress& progress, std::string* error);
