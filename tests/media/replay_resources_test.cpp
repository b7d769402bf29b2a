// Replaying recordings to their end again and again, the way Play after the end does it: every
// open releases the previous pipeline whole, so open files and memory stay flat.
#include "media/playback/PlaybackEngine.h"
#include "support/MediaSamples.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <string>

namespace {

const bool kSilentReplays = samples::silenceSound();

int openFiles() {
    int n = 0;
    if (DIR* d = ::opendir("/proc/self/fd")) {
        while (::readdir(d))
            ++n;
        ::closedir(d);
    }
    return n;
}

long residentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}

// One replay as the playback clock does it: open, play to the end, stop and close.
void playToTheEnd(PlaybackEngine& engine, const std::filesystem::path& path) {
    ASSERT_TRUE(engine.open(path)) << engine.lastError();
    ASSERT_TRUE(engine.run());
    const uint64_t duration = engine.durationMs();
    samples::waitFor([&] { return engine.positionMs() + 50 >= duration; });
    engine.stop();
    engine.seekTo(0);
    engine.stop();
    engine.close();
}

} // namespace

TEST(ReplayResources, TenReplaysKeepOpenFilesAndMemoryFlat) {
    ASSERT_TRUE(kSilentReplays);
    RecordingView views[4];
    PlaybackEngine engine;
    engine.setViews({&views[0], &views[1], &views[2], &views[3]});
    const std::filesystem::path recording =
        std::filesystem::path(QUILLENT_TEST_DATA) / "camera-3ch-unfinished.qmv";
    // The first runs load the plug-ins and fill the allocators' pools.
    for (int i = 0; i < 2; ++i)
        playToTheEnd(engine, recording);
    const int filesBefore = openFiles();
    const long memoryBefore = residentKiB();
    for (int i = 0; i < 10; ++i)
        playToTheEnd(engine, recording);
    const int filesAfter = openFiles();
    const long memoryAfter = residentKiB();
    std::printf("open files %d -> %d, resident memory %ld -> %ld KiB\n", filesBefore, filesAfter, memoryBefore,
                memoryAfter);
    EXPECT_LE(std::abs(filesAfter - filesBefore), 2);
    EXPECT_LE(std::abs(memoryAfter - memoryBefore), 10 * 1024);
}
