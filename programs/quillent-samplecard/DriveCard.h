// Several drives over several days on a sample card: each a run of consecutive one-channel
// recordings along Seoul streets with hard stops at known places, and a "drives.json" beside the
// folders that tells tests where each drive went, how far, and where it braked hard.
// Sample-card generator only.
#pragma once

#include "MediaEncoder.h"
#include "core/container/RecordingWriter.h"

#include <filesystem>
#include <string>
#include <vector>

struct DrivePlanOptions {
    int drives = 0;
    uint32_t clipSeconds = 60; // length of each recording
    bool manifest = true;      // write drives.json
};

// The pictures and sound every drive recording carries (encoded once, `clipSeconds` long).
struct DriveMedia {
    EncodedStream video;
    VideoTrackSpec videoSpec;
    EncodedStream aac;
};

// Writes the drives into `folder` (the card's normal-recording folder); one summary line per
// drive goes to `lines`. False with *error set when a file cannot be written.
bool WriteDrives(const std::filesystem::path& card, const std::string& folder,
                 const DrivePlanOptions& options, const DriveMedia& media, std::vector<std::string>* lines,
                 std::string* error);
