// Tool benchmarks, run by hand: merging channel 1 of 20 one-minute recordings with the realistic
// card's sizes and chunk pattern (1920x1080 at 6 Mbit/s, two 1280x720 at 3 Mbit/s, AAC, records)
// against "cp" of the same bytes; how soon a cancel stops a running merge; and the longest pause
// of a 10 ms UI-thread timer while the tool job works. Files are made in the temporary folder and
// deleted at the end. Run: build/bench/tools_bench [recordings, default 20]
#include "core/container/ChannelMerge.h"
#include "core/container/RecordingWriter.h"
#include "core/container/ScrambledCopy.h"
#include "core/tools/ToolJob.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

void writeMinute(const fs::path& path, uint32_t seed) {
    RecordingLayout layout;
    layout.video = {{1920, 1080, 30, 1}, {1280, 720, 30, 1}, {1280, 720, 30, 1}};
    AudioTrackSpec audio;
    audio.codecConfig = {0x12, 0x08};
    layout.audio = audio;
    auto w = RecordingWriter::create(path, layout, RecordingForm::Camera, nullptr);
    std::mt19937 rng(seed);
    std::vector<uint8_t> payload(400000);
    for (auto& b : payload)
        b = uint8_t(rng());
    // 6 Mbit/s at 30 fps: 25 KB a frame on average, a key frame each second of 5 times that.
    const size_t kBytes[3] = {25000, 12500, 12500};
    uint32_t audioFrames = 0, records = 0;
    for (int f = 0; f < 60 * 30; ++f) {
        const uint32_t ms = uint32_t(f * 1000 / 30);
        for (int ch = 0; ch < 3; ++ch) {
            const bool key = f % 30 == 0;
            const size_t n = key ? kBytes[ch] * 5 : kBytes[ch] * 29 / 33 + rng() % 64;
            payload[4] = key ? 0x67 : 0x41;
            w->writeVideoFrame(ch, payload.data(), n, key);
        }
        while (audioFrames * 1024ull * 1000 / 44100 <= ms) {
            w->writeAudioFrame(payload.data() + 100, 180 + rng() % 60);
            ++audioFrames;
        }
        while (records * 100 <= ms) {
            const uint8_t g[4] = {'M', 128, 130, 144};
            w->writeRecord(records * 100, g, sizeof g);
            ++records;
        }
    }
    w->finish();
}

// The target or a temporary file beside it.
bool leftover(const fs::path& dir, const std::string& name) {
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().filename().string().find(name) != std::string::npos)
            return true;
    return false;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    const fs::path dir = fs::temp_directory_path() / ("quillent-tools-bench-" + std::to_string(getpid()));
    fs::create_directories(dir / "out");
    std::vector<fs::path> sources;
    uint64_t inputBytes = 0;
    for (int i = 0; i < count; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "RTC20261207_08%02d00.qmv", i);
        sources.push_back(dir / name);
        writeMinute(sources.back(), uint32_t(i + 1));
        inputBytes += fs::file_size(sources.back());
    }
    std::printf("%d recordings, %.1f MB\n", count, inputBytes / 1e6);

    // Merge of channel 1 against cp of a file of the merged size (both from a warm page cache).
    double best = 1e9;
    uint64_t merged = 0;
    for (int run = 0; run < 3; ++run) {
        fs::remove(dir / "out" / "m.qmv");
        const auto t = Clock::now();
        MergeOutcome r = MergeChannel(dir / "out" / "m.qmv", sources, 0);
        best = std::min(best, seconds(t));
        if (!r.ok) {
            std::printf("merge failed: %s\n", r.error.c_str());
            return 1;
        }
        merged = fs::file_size(dir / "out" / "m.qmv");
    }
    fs::rename(dir / "out" / "m.qmv", dir / "same-bytes.qmv");
    // cp of the recordings the merge reads, and cp of a file of the merged size.
    auto timeCp = [&](const std::string& from, const fs::path& to) {
        double bestCp = 1e9;
        for (int run = 0; run < 3; ++run) {
            fs::remove_all(to);
            fs::create_directories(to);
            const auto t = Clock::now();
            if (std::system(("cp " + from + " '" + to.string() + "/'").c_str()) != 0)
                return -1.0;
            bestCp = std::min(bestCp, seconds(t));
        }
        return bestCp;
    };
    std::string all;
    for (const auto& s : sources)
        all += "'" + s.string() + "' ";
    const double cpInput = timeCp(all, dir / "out" / "cp-in");
    const double cpOutput = timeCp("'" + (dir / "same-bytes.qmv").string() + "'", dir / "out" / "cp-out");
    fs::remove_all(dir / "out" / "cp-in");
    std::printf(
        "merge channel 1: %.1f MB written in %.2f s = %.0f MB/s written, %.0f MB/s of recordings read\n",
        merged / 1e6, best, merged / 1e6 / best, inputBytes / 1e6 / best);
    std::printf("cp of the %d recordings: %.2f s = %.0f MB/s; merge / cp over the recordings = %.0f %%\n",
                count, cpInput, inputBytes / 1e6 / cpInput, 100.0 * cpInput / best);
    std::printf(
        "cp of a file of the merged size: %.2f s = %.0f MB/s; merge / cp over the written bytes = %.0f %%\n",
        cpOutput, merged / 1e6 / cpOutput, 100.0 * cpOutput / best);

    // Scrambled copy of one recording.
    {
        const auto t = Clock::now();
        CopyOutcome r = ScrambledCopy(dir / "out" / "s.qmv", sources[0]);
        const double s = seconds(t);
        std::printf("scrambled copy: %.1f MB in %.2f s = %.0f MB/s%s\n", fs::file_size(sources[0]) / 1e6, s,
                    fs::file_size(sources[0]) / 1e6 / s, r.ok() ? "" : " (failed)");
    }

    // Cancel latency and the UI thread's longest pause while a merge runs on the tool job.
    double worstCancel = 0, worstGap = 0;
    for (int run = 0; run < 5; ++run) {
        ToolJob job;
        job.addItem("merge", [&](const ToolJob::Control& c) {
            MergeOutcome r =
                MergeChannel(dir / "out" / "c.qmv", sources, 0,
                             [&c](uint64_t total, uint64_t done) { return c.report(done, total); });
            return ToolItemResult{r.ok, r.cancelled, QString::fromStdString(r.error)};
        });
        QElapsedTimer gap;
        gap.start();
        double longest = 0;
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, [&] {
            longest = std::max(longest, gap.nsecsElapsed() / 1e6);
            gap.restart();
        });
        int percent = 0;
        QObject::connect(&job, &ToolJob::progressChanged, [&](int, int p) { percent = p; });
        tick.start(10);
        Clock::time_point cancelAt;
        bool done = false;
        QObject::connect(&job, &ToolJob::finished, [&] { done = true; });
        job.start();
        QTimer::singleShot(200 + 100 * run, [&] {
            cancelAt = Clock::now();
            job.cancel();
        });
        while (job.isRunning())
            app.processEvents(QEventLoop::AllEvents, 5);
        const double cancel = seconds(cancelAt) * 1000;
        while (!done)
            app.processEvents(QEventLoop::AllEvents, 5);
        worstCancel = std::max(worstCancel, cancel);
        worstGap = std::max(worstGap, longest - 10);
        std::printf(
            "run %d: cancelled at %d %% after %.1f ms, longest UI timer delay %.1f ms, partial file %s\n",
            run, percent, cancel, longest - 10, leftover(dir / "out", "c.qmv") ? "LEFT" : "none");
    }
    std::printf("worst cancel %.1f ms (target 200), worst UI delay %.1f ms (target 50)\n", worstCancel,
                worstGap);
    fs::remove_all(dir);
    return 0;
}
