// Tool benchmarks, run by hand: merging channel 1 of 20 one-minute recordings with the realistic
// card's sizes and chunk pattern (1920x1080 at 6 Mbit/s, two 1280x720 at 3 Mbit/s, AAC, records)
// against "cp" of the same bytes; and, in the merge, conversion and scrambled copy windows, how
// soon a click on Cancel ends the work and the longest pause of the UI thread while a tool runs.
// Files are made in the temporary folder and deleted at the end.
// Run: build/bench/tools_bench [recordings, default 20]
#include "core/container/ChannelMerge.h"
#include "core/container/RecordingWriter.h"
#include "core/container/ScrambledCopy.h"
#include "core/config/ViewerConfig.h"
#include "ui/widgets/SkinButton.h"
#include "ui/tools/ScrambledCopyWindow.h"
#include "ui/tools/ConvertCopyWindow.h"
#include "ui/tools/MergeWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPushButton>
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

// The calling thread's time on a processor and waiting in the run queue for one, in ms.
struct ThreadTimes {
    double runMs = 0, queuedMs = 0;
};
ThreadTimes threadTimes() {
    ThreadTimes t;
    if (std::FILE* f = std::fopen("/proc/thread-self/schedstat", "r")) {
        unsigned long long run = 0, queued = 0;
        if (std::fscanf(f, "%llu %llu", &run, &queued) == 2)
            t = {run / 1e6, queued / 1e6};
        std::fclose(f);
    }
    return t;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
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

    // The windows as the user runs them: the merge window joining the three channels of every
    // recording and the conversion window converting them, each cancelled by its button at
    // growing moments and once run to its end. Measured: from the click to the window's end, and
    // the longest delay of a 5 ms timer on the UI thread over the whole run (progress, painting,
    // the final message).
    LoadViewerConfigFile(QUILLENT_BIN_DIR "/viewerconfig.cfg", ViewerConfig::Instance());
    QStringList list;
    for (const auto& s : sources)
        list << QString::fromStdString(s.string());
    struct Measure {
        double cancelMs = 0, longestGapMs = 0, longestGapRunMs = 0, longestGapQueuedMs = 0, runMs = 0;
        bool leftover = false;
        QString outcome;
    };
    auto measureWindow = [&](ToolProgressWindow& window, QAbstractButton* cancel, int cancelAfterMs,
                             const std::function<void()>& start, const fs::path& out) {
        Measure m;
        window.setReporter([&m](QMessageBox::Icon, const QString& text) { m.outcome = text; });
        bool ended = false;
        QObject::connect(&window, &QDialog::finished, [&] { ended = true; });
        QElapsedTimer gap, run;
        QTimer tick;
        // Where the UI thread was during the longest delay: at work, waiting for a processor
        // (the machine busy with other work), or else asleep (blocked).
        ThreadTimes atTick = threadTimes();
        QObject::connect(&tick, &QTimer::timeout, [&] {
            const double delay = gap.nsecsElapsed() / 1e6 - 5;
            const ThreadTimes now = threadTimes();
            if (delay > m.longestGapMs) {
                m.longestGapMs = delay;
                m.longestGapRunMs = now.runMs - atTick.runMs;
                m.longestGapQueuedMs = now.queuedMs - atTick.queuedMs;
            }
            atTick = now;
            gap.restart();
        });
        window.show();
        gap.start();
        run.start();
        tick.start(5);
        start();
        Clock::time_point clicked;
        if (cancelAfterMs >= 0)
            QTimer::singleShot(cancelAfterMs, [&] {
                clicked = Clock::now();
                cancel->click();
            });
        while (!ended && m.outcome.isEmpty())
            app.processEvents(QEventLoop::AllEvents, 5);
        if (cancelAfterMs >= 0)
            m.cancelMs = seconds(clicked) * 1000;
        m.runMs = run.elapsed();
        // Whatever a cancel stopped is removed; finished files may stay.
        for (const auto& e : fs::directory_iterator(out))
            m.leftover = m.leftover || e.path().filename().string().find(".part") != std::string::npos;
        return m;
    };
    double worstCancel = 0, worstGap = 0;
    auto report = [&](const Measure& m, const std::string& what, int cancelAt) {
        worstGap = std::max(worstGap, m.longestGapMs);
        char delay[160];
        std::snprintf(
            delay, sizeof delay,
            "longest UI delay %.1f ms (over that tick: %.1f ms at work, %.1f ms waiting for a processor)",
            m.longestGapMs, m.longestGapRunMs, m.longestGapQueuedMs);
        if (cancelAt < 0) {
            std::printf("%s to the end: %.2f s, %s: \"%s\"\n", what.c_str(), m.runMs / 1000, delay,
                        m.outcome.left(48).toUtf8().constData());
            return;
        }
        worstCancel = std::max(worstCancel, m.cancelMs);
        std::printf("%s, Cancel after %d ms: ended %.1f ms after the click, %s, temporary file %s\n",
                    what.c_str(), cancelAt, m.cancelMs, delay, m.leftover ? "LEFT" : "none");
    };
    for (int run = 0; run < 6; ++run) {
        const fs::path out = dir / ("merged" + std::to_string(run));
        fs::create_directories(out);
        MergeWindow dlg;
        dlg.prepare(list, 0);
        dlg.countCombo()->setCurrentIndex(dlg.countCombo()->count() - 1);
        dlg.setFolderChooser(
            [&](const QString&, const QString&) { return QString::fromStdString(out.string()); });
        dlg.chooseFolder();
        const int cancelAt = run < 5 ? 100 + 300 * run : -1;
        Measure m = measureWindow(
            dlg, dlg.closeButton(), cancelAt, [&] { dlg.start(); }, out);
        report(m,
               "merge window, " + std::to_string(dlg.selectedChannelCount()) + " channels of " +
                   std::to_string(count) + " recordings",
               cancelAt);
        fs::remove_all(out);
    }
    for (int run = 0; run < 4; ++run) {
        const fs::path out = dir / ("converted" + std::to_string(run));
        fs::create_directories(out);
        const int cancelAt = run < 3 ? 100 + 400 * run : -1;
        ConvertCopyWindow dlg(QString::fromStdString(out.string()), list, ConvertCopyWindow::kConvert);
        Measure m = measureWindow(
            dlg, dlg.cancelButton(), cancelAt, [&] { dlg.open(); }, out);
        report(m, "conversion window, " + std::to_string(count) + " recordings", cancelAt);
        fs::remove_all(out);
    }
    {
        // The scrambled copy window has no Cancel: one copy to the end.
        const fs::path out = dir / "copied";
        fs::create_directories(out);
        ScrambledCopyWindow dlg(list.front(), QString::fromStdString((out / "copy.qmv").string()));
        Measure m = measureWindow(
            dlg, nullptr, -1, [&] { dlg.open(); }, out);
        report(m, "scrambled copy window, one recording", -1);
        fs::remove_all(out);
    }
    std::printf("worst cancel %.1f ms (target 200), worst UI delay %.1f ms (target 50)\n", worstCancel,
                worstGap);
    fs::remove_all(dir);
    return 0;
}
