// The JSON file that goes beside a clip for whoever receives it: the source recordings with their
// SHA-256, the range, the camera settings of note, the program's version and the clip's own
// SHA-256, so that the clip can be traced back to the card and checked for changes.
#pragma once

#include "core/clips/ClipRange.h"
#include "core/clips/ClipTrack.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

struct ClipManifestInput {
    ClipPlan plan;
    std::vector<ClipSource> sources;
    std::filesystem::path clip;
    int64_t clipDurationMs = 0; // as read back from the written file
    int width = 0, height = 0;
    double framesPerSecond = 0;
    std::string layout;          // "grid", ...
    std::vector<int> channels;   // 1-based
    std::string overlay;         // "time,speed,..."
    std::string speedUnit;       // "Km/h", ...
    std::string stoppedAtDamage; // why the clip ends before the range does; empty when it does not
    const ClipTrack* track = nullptr;
};

// Lower-case hex SHA-256 of a file's bytes; nullopt with *error when it cannot be read.
std::optional<std::string> FileSha256(const std::filesystem::path& path, std::string* error = nullptr);

// The manifest's path for a clip: the clip's name with ".json" in place of its extension.
std::filesystem::path ClipManifestPath(const std::filesystem::path& clip);

// Hashes the sources and the clip and returns the JSON text; empty with *error when a file cannot
// be read.
std::string MakeClipManifest(const ClipManifestInput& input, std::string* error);
