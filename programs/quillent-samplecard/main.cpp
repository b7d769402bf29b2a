// quillent-samplecard: writes a sample SD card for tests, demonstrations and benchmarks.
#include "SampleCard.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

void usage(FILE* to) {
    std::fputs("usage: quillent-samplecard <folder> [--demo | --realistic] [--drives N [--clip-seconds S]]\n"
               "Writes a sample camera SD card into <folder>: the configured recording folders with\n"
               "recordings of every kind (normal, event, emergency, parking, motion, manual), one to\n"
               "three H.264 channels, AAC or PCM sound, GPS and G-sensor records, a protected, an\n"
               "unfinished and a truncated recording, and a plain MP4.\n"
               "  --demo       30 s of 1280x720 + 2 x 640x360 at 30 fps, driving through Seoul (to watch)\n"
               "  --realistic  60 s of 1920x1080 + 2 x 1280x720 at 30 fps (for benchmarks)\n"
               "  --drives N   also N drives of 3 or 4 consecutive recordings, two a day from 8 December,\n"
               "               with two hard stops each, and drives.json telling where they went and\n"
               "               braked hard (the demo card has 3 drives without drives.json)\n"
               "  --clip-seconds S  length of each drive recording (default: the card's clip length)\n",
               to);
}

std::filesystem::path programFolder() {
    char buf[4096];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return {};
    buf[n] = 0;
    return std::filesystem::path(buf).parent_path();
}

} // namespace

int main(int argc, char** argv) {
    SampleCardOptions options;
    std::filesystem::path card;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            usage(stdout);
            return 0;
        }
        if (a == "--realistic") {
            options.profile = SampleProfile::Realistic;
        } else if (a == "--demo") {
            options.profile = SampleProfile::Demo;
        } else if ((a == "--drives" || a == "--clip-seconds") && i + 1 < argc) {
            char* end = nullptr;
            const long n = std::strtol(argv[++i], &end, 10);
            if (!end || *end || n < 0 || n > 100000) {
                std::fprintf(stderr, "quillent-samplecard: %s takes a whole number\n", a.c_str());
                return 2;
            }
            if (a == "--drives")
                options.drives = int(n);
            else
                options.driveClipSeconds = uint32_t(n);
        } else if (!a.empty() && a[0] == '-') {
            std::fprintf(stderr, "quillent-samplecard: unknown option %s\n", a.c_str());
            usage(stderr);
            return 2;
        } else if (card.empty()) {
            card = a;
        } else {
            std::fprintf(stderr, "quillent-samplecard: only one folder may be given\n");
            return 2;
        }
    }
    if (card.empty()) {
        usage(stderr);
        return 2;
    }
    options.configFile = programFolder() / "viewerconfig.cfg";
    SampleCardResult result = WriteSampleCard(card, options);
    if (!result.ok) {
        std::fprintf(stderr, "quillent-samplecard: %s\n", result.error.c_str());
        return 1;
    }
    std::printf("Sample card written to %s\n", card.c_str());
    for (const auto& line : result.lines)
        std::printf("  %s\n", line.c_str());
    return 0;
}
