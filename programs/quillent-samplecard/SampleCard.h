// Writes a sample SD card: the configured recording folders with recordings of every kind and name
// form, broken ones included, and a plain MP4. Sample-card generator only.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

enum class SampleProfile {
    Small,     // 3 s clips of 320x180 at 10 fps: fast, for tests
    Demo,      // 30 s of 1280x720 + 2 x 640x360 at 30 fps along real streets: what a newcomer watches
    Realistic, // 60 s of 1920x1080 + 2 x 1280x720 at 30 fps: for benchmarks
};

struct SampleCardOptions {
    SampleProfile profile = SampleProfile::Small;
    std::filesystem::path configFile; // viewerconfig.cfg with the folder names; defaults when absent
    int drives = -1;               // drives of consecutive recordings (DriveCard.h); -1: 3 on the demo card
    uint32_t driveClipSeconds = 0; // length of a drive's recordings; 0: the profile's clip length
};

struct SampleCardResult {
    bool ok = false;
    std::string error;
    std::vector<std::string> lines; // one summary line per file written
};

SampleCardResult WriteSampleCard(const std::filesystem::path& card, const SampleCardOptions& options);
