// Playback figures of the engine on one recording, run by hand (bench/playback_bench.sh):
// open-to-first-picture time, seek-to-picture time, and CPU and dropped pictures while playing at
// rate 1.0 and 2.0. Views only take the pictures, as the video screens do before they draw.
#include "media/playback/PlaybackEngine.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <mutex>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Counts the distinct pictures it is given and the gaps between them: a step of more than one
// and a half picture intervals (the smallest step seen) means pictures were skipped to keep up.
class CountingView : public ChannelView {
public:
    void presentFrame(VideoFramePtr frame) override {
        std::lock_guard lock(m_mutex);
        m_frames++;
        int64_t t = frame ? frame->timestampMs : -1;
        if (t == m_last || t < 0)
            return;
        if (m_last >= 0 && t > m_last) {
            int64_t step = t - m_last;
            m_interval = std::min(m_interval, step);
            if (m_counting && step * 2 > m_interval * 3)
                m_missing += int((step + m_interval / 2) / m_interval) - 1;
        }
        if (m_counting)
            m_distinct++;
        m_last = t;
    }
    void clearFrame() override {}
    // A docked video screen of the main window is about this size.
    std::pair<int, int> frameSizeHint() const override { return {m_width, m_width * 9 / 16}; }
    int m_width = 640;
    void restart() {
        std::lock_guard lock(m_mutex);
        m_distinct = 0;
        m_missing = 0;
        m_counting = true;
    }
    // Pictures presented and pictures skipped since restart().
    std::pair<int, int> shownAndMissing() {
        std::lock_guard lock(m_mutex);
        return {m_distinct, m_missing};
    }
    std::atomic<int> m_frames{0};

private:
    std::mutex m_mutex;
    int64_t m_last = -1, m_interval = INT64_MAX;
    int m_distinct = 0, m_missing = 0;
    bool m_counting = false;
};

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: playback_bench <recording> [seconds per rate, default 20] [view width, "
                             "default 640, 0 full size]\n");
        return 2;
    }
    const double seconds = argc > 2 ? std::atof(argv[2]) : 20.0;
    CountingView views[4];
    // Third argument: the width the views draw at (0 = full size pictures).
    for (auto& view : views)
        view.m_width = argc > 3 ? std::atoi(argv[3]) : 640;
    PlaybackEngine holder;
    holder.setViews({&views[0], &views[1], &views[2], &views[3]});

    // Open: the recording is cued when OpenRecording returns, with every channel's first picture.
    std::vector<double> opens;
    for (int i = 0; i < 3; ++i) {
        auto start = Clock::now();
        if (!holder.open(argv[1])) {
            std::fprintf(stderr, "cannot open: %s\n", holder.lastError().c_str());
            return 1;
        }
        opens.push_back(msSince(start));
    }
    const int channels = holder.channelCount();
    for (int c = 0; c < channels; ++c)
        if (views[c].m_frames == 0)
            std::printf("channel %d has no first picture after the open\n", c + 1);
    std::printf("channels %d, duration %llu ms\n", channels, (unsigned long long)holder.durationMs());
    std::printf("open to first picture of every channel: %.0f / %.0f / %.0f ms\n", opens[0], opens[1],
                opens[2]);

    // Seek while paused: from the request until every channel shows the new picture.
    holder.pause();
    const uint64_t duration = holder.durationMs();
    double worst = 0, total = 0;
    int seeks = 0;
    for (uint64_t at = 1700; at + 1000 < duration && seeks < 12; at += duration / 13, ++seeks) {
        auto start = Clock::now();
        holder.seekTo(at);
        holder.waitForPicture(5000);
        double ms = msSince(start);
        worst = std::max(worst, ms);
        total += ms;
    }
    if (seeks)
        std::printf("seek to new picture (%d seeks): mean %.0f ms, worst %.0f ms\n", seeks, total / seeks,
                    worst);

    for (float rate : {1.0f, 2.0f, 2.7f, 3.4f, 4.0f}) {
        holder.seekTo(0);
        holder.waitForPicture(5000);
        holder.setRate(rate);
        for (int c = 0; c < channels; ++c)
            views[c].restart();
        uint64_t dropped0 = holder.droppedFrames();
        uint64_t rendered0 = holder.renderedFrames();
        double cpu0 = cpuSeconds();
        auto start = Clock::now();
        holder.run();
        uint64_t pos0 = holder.positionMs();
        double limit = std::min(seconds, (duration / 1000.0) / rate - 1.0);
        while (msSince(start) < limit * 1000.0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            holder.state(); // the clock's poll
        }
        double wall = msSince(start) / 1000.0;
        double cpu = cpuSeconds() - cpu0;
        uint64_t pos = holder.positionMs();
        uint64_t dropped = holder.droppedFrames() - dropped0;
        uint64_t rendered = holder.renderedFrames() - rendered0;
        holder.pause();
        int shown = 0, missing = 0;
        for (int c = 0; c < channels; ++c) {
            auto [got, skipped] = views[c].shownAndMissing();
            shown += got;
            missing += skipped;
        }
        std::printf("rate %.1f: pictures presented %d, skipped %d (%.2f %%)\n", rate, shown, missing,
                    shown + missing ? 100.0 * missing / (shown + missing) : 0.0);
        std::printf(
            "rate %.1f: %.1f s wall, media advanced %.1f s (%.2fx), CPU %.1f s = %.0f %% of one core, "
            "sinks rendered %llu, late and dropped %llu (%.2f %%)\n",
            rate, wall, (pos - pos0) / 1000.0, (pos - pos0) / 1000.0 / wall, cpu, 100.0 * cpu / wall,
            (unsigned long long)rendered, (unsigned long long)dropped,
            rendered + dropped ? 100.0 * dropped / double(rendered + dropped) : 0.0);
        holder.setRate(1.0f);
    }
    holder.close();
    return 0;
}
