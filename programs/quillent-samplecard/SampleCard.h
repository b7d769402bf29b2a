// Writes a sample SD card: the configured recording folders with recordings of every kind and name
// form, broken ones included, and a plain MP4. Sample-card generator only.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

struct SampleCardOptions {
    bool realistic = false;           // 60 s of 1920x1080 + 2 x 1280x720 at 30 fps instead of small clips
    std::filesystem::path configFile; // viewerconfig.cfg with the folder names; defaults when absent
};

struct SampleCardResult {
    bool ok = false;
    std::string error;
    std::vector<std::string> lines; // one summary line per file written
};

SampleCardResult WriteSampleCard(const std::filesystem::path& card, const SampleCardOptions& options);
