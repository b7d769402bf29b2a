// Evidence clip encoding on realistic recordings: a 30-s three-channel clip at 720p across the
// join of two recordings with every overlay item; encode speed against real time, peak memory and
// how fast a cancel ends the run. Run by hand:
//   build/bench/clip_bench [card folder]
// Without a folder it writes a realistic sample card first (several minutes).
#include "core/clips/ClipLayout.h"
#include "core/clips/ClipRange.h"
#include "core/clips/ClipTrack.h"
#include "core/container/RecordingReader.h"
#include "media/clips/ClipEncoder.h"
#include "ui/render/ClipOverlayRenderer.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sys/resource.h>
#include <thread>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

fs::path find(const fs::path& card, const std::string& name) {
    for (const auto& e : fs::recursive_directory_iterator(card))
        if (e.path().filename() == name)
            return e.path();
    return {};
}

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

long peakKiB() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTemporaryDir work;
    fs::path card = argc > 1 ? fs::path(argv[1]) : fs::path(work.path().toStdString()) / "card";
    if (argc <= 1) {
        std::printf("writing a realistic sample card ...\n");
        const std::string cmd = std::string(QUILLENT_BIN_DIR) + "/quillent-samplecard '" + card.string() +
                                "' --realistic > /dev/null";
        if (std::system(cmd.c_str()) != 0) {
            std::fprintf(stderr, "quillent-samplecard failed\n");
            return 1;
        }
    }
    const fs::path first = find(card, "RTC20261207_080000.qmv");
    const fs::path second = find(card, "EVENT_RTC20261207_080130.qmv");
    if (first.empty() || second.empty()) {
        std::fprintf(stderr, "the card has no realistic recordings\n");
        return 1;
    }
    std::vector<ClipSource> sources;
    for (const fs::path& p : {first, second}) {
        auto reader = RecordingReader::open(p, nullptr);
        sources.push_back({p, int64_t(reader->info().durationMs), reader->info().truncated});
    }
    const int64_t join = sources[0].durationMs;
    const ClipPlan plan = PlanClip(sources, {join - 15000, join + 15000});
    if (!plan.ok()) {
        std::fprintf(stderr, "%s\n", plan.error.c_str());
        return 1;
    }
    const ClipTrack track = ClipTrack::load(plan);
    ClipOverlayRenderer renderer;
    renderer.setItems(kOverlayTime | kOverlaySpeed | kOverlayPosition | kOverlayGsensor | kOverlayMap);
    ClipEncodeJob job;
    job.pieces = plan.pieces;
    job.geometry = LayoutClip(ClipLayoutKind::Grid, {0, 1, 2}, 720);
    job.framesPerSecond = RecordingFrameRate(first);
    job.target = fs::path(work.path().toStdString()) / "clip.mp4";
    job.overlay = [&](uint8_t* bgra, int w, int h, int stride, int64_t ms) {
        QImage image(bgra, w, h, stride, QImage::Format_ARGB32_Premultiplied);
        QPainter p(&image);
        renderer.paint(p, image.size(), track.momentAt(ms));
    };

    const long before = peakKiB();
    const double cpuBefore = cpuSeconds();
    const auto start = Clock::now();
    const ClipEncodeResult r = EncodeClip(job, [](int64_t, int64_t) { return true; });
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (!r.ok) {
        std::fprintf(stderr, "encoding failed: %s\n", r.error.c_str());
        return 1;
    }
    std::printf("clip: %.3f s, %lld pictures %dx%d, %.1f MB\n", r.durationMs / 1000.0, (long long)r.frames,
                r.width, r.height, fs::file_size(job.target) / 1e6);
    // On a shared machine the wall time says more about the others' load than about the encoder:
    // the CPU time spent, spread over two cores, is what an idle two-core machine would take.
    const double cpu = cpuSeconds() - cpuBefore;
    std::printf("encode: %.2f s wall, %.2fx real time; %.2f s CPU time, %.2fx real time on two idle cores\n",
                seconds, plan.durationMs() / 1000.0 / seconds, cpu, plan.durationMs() / 1000.0 / (cpu / 2));
    std::printf("peak memory: %.1f MB (%.1f MB before encoding)\n", peakKiB() / 1024.0, before / 1024.0);

    // Cancels at 1, 2.5 and 4 s into runs: time from the request to the return.
    for (double at : {1.0, 2.5, 4.0}) {
        std::atomic<bool> cancel{false};
        std::atomic<int64_t> asked{0};
        ClipEncodeJob again = job;
        again.target = fs::path(work.path().toStdString()) / "cancelled.mp4";
        std::thread stopper([&] {
            std::this_thread::sleep_for(std::chrono::duration<double>(at));
            asked = Clock::now().time_since_epoch().count();
            cancel = true;
        });
        const ClipEncodeResult c = EncodeClip(again, [&](int64_t, int64_t) { return !cancel; });
        const auto returned = Clock::now().time_since_epoch().count();
        bool left = false;
        for (const auto& e : fs::directory_iterator(work.path().toStdString())) {
            const std::string name = e.path().filename().string();
            left = left || name[0] == '.' || name.find("cancelled") != std::string::npos;
        }
        stopper.join();
        WaitForClipTeardown();
        std::printf("cancel at %.1f s: returned after %.1f ms, cancelled=%d, files left behind: %s\n", at,
                    (returned - asked) / 1e6, int(c.cancelled), left ? "yes" : "no");
    }
    return 0;
}
