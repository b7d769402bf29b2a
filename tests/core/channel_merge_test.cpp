// Channel merge over synthetic consecutive recordings (durations, frames, sound and records with
// continued time stamps, refusals, cancel and failures keeping an earlier result) and the tool job that runs
// such work on a worker thread (results per item, cancel, queued signals).
#include "core/container/ChannelMerge.h"
#include "core/container/RecordingReader.h"
#include "core/container/RecordingWriter.h"
#include "core/container/RepairedView.h"
#include "core/container/Riff.h"
#include "core/tools/ToolJob.h"
#include "support/ContainerFixtures.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

#include <gtest/gtest.h>

#include <map>

namespace fs = std::filesystem;

namespace {

struct Record {
    uint32_t ms;
    std::string text;
    bool operator==(const Record& o) const { return ms == o.ms && text == o.text; }
};

std::vector<Record> records(const fs::path& path) {
    std::vector<Record> out;
    auto reader = RecordingReader::open(path, nullptr);
    if (!reader)
        return out;
    uint8_t buf[1024];
    uint32_t size = sizeof buf, ms = 0;
    while (reader->GetNextRecord(buf, &size, &ms) == 0) {
        out.push_back({ms, std::string(reinterpret_cast<char*>(buf), size)});
        size = sizeof buf;
    }
    return out;
}

// Chunk payloads of one stream as the player reads them.
std::vector<Bytes> streamChunks(const fs::path& path, int stream) {
    auto view = RepairedView::open(path, nullptr);
    Bytes bytes(view ? view->size() : 0);
    if (view)
        view->read(0, bytes.data(), bytes.size());
    MemoryByteSource src(bytes.data(), bytes.size());
    AviLayout layout;
    std::vector<Bytes> out;
    if (ParseAviLayout(src, layout, nullptr))
        WalkMovi(src, layout, [&](const RiffChunk& c) {
            if (chunkStreamNumber(c.id) == stream)
                out.emplace_back(bytes.begin() + long(c.dataOffset()),
                                 bytes.begin() + long(c.dataOffset() + c.size));
        });
    return out;
}

} // namespace

TEST(ChannelMerge, JoinsEveryChannelWithContinuedTimeStamps) {
    TempDir dir;
    std::vector<fs::path> sources;
    for (int i = 0; i < 3; ++i) {
        sources.push_back(dir / ("RTC20261207_08000" + std::to_string(2 * i) + ".qmv"));
        // The second one unfinished, the third a standard AVI: the camera leaves both kinds.
        WriteSynthetic(sources.back(), i == 2 ? RecordingForm::Standard : RecordingForm::Camera, i != 1);
    }
    for (int ch = 1; ch <= 2; ++ch) {
        const fs::path target = dir / MergedFileName(sources[0].filename().string(), ch);
        EXPECT_EQ(target.filename(), "RTC20261207_080000_CH" + std::to_string(ch) + ".qmv");
        uint64_t lastDone = 0, reports = 0;
        MergeOutcome r = MergeChannel(target, sources, ch - 1, [&](uint64_t total, uint64_t done) {
            EXPECT_LE(done, total);
            EXPECT_GE(done, lastDone);
            lastDone = done;
            ++reports;
            return true;
        });
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_GT(reports, 0u);
        EXPECT_EQ(r.durationMs, 6000u);
        EXPECT_EQ(r.frames, 30u);

        auto reader = RecordingReader::open(target, nullptr);
        ASSERT_TRUE(reader);
        EXPECT_EQ(reader->info().form, ContainerForm::Camera);
        EXPECT_EQ(reader->info().videoChannels, 1);
        EXPECT_EQ(reader->info().durationMs, 6000u);
        EXPECT_TRUE(reader->info().hasIndex);

        // Pictures and sound: the sources' chunks one after the other.
        std::vector<Bytes> video, sound;
        std::vector<Record> expected;
        for (size_t i = 0; i < sources.size(); ++i) {
            for (auto& f : streamChunks(sources[i], ch - 1))
                video.push_back(f);
            for (auto& a : streamChunks(sources[i], 2))
                sound.push_back(a);
            for (auto rec : records(sources[i])) {
                rec.ms += uint32_t(2000 * i);
                expected.push_back(rec);
            }
        }
        EXPECT_EQ(streamChunks(target, 0), video);
        EXPECT_EQ(streamChunks(target, 1), sound);
        EXPECT_EQ(records(target), expected);
        EXPECT_EQ(r.records, expected.size());
    }
}

TEST(ChannelMerge, SoundKeepsToThePicturesOfEachRecording) {
    // PCM sound shorter than the pictures is filled up with silence; AAC sound longer than the
    // pictures is cut to whole frames covering them, so the next recording's sound starts with its
    // pictures.
    TempDir dir;
    SyntheticOptions pcm;
    pcm.pcm = true; // 1600 bytes (0.1 s) per 0.2 s picture
    SyntheticOptions aac;
    aac.fps = 50; // one 64 ms AAC frame per 20 ms picture
    for (int i = 0; i < 3; ++i) {
        WriteSynthetic(dir / ("p" + std::to_string(i) + ".qmv"), RecordingForm::Camera, true, pcm);
        WriteSynthetic(dir / ("a" + std::to_string(i) + ".qmv"), RecordingForm::Camera, true, aac);
    }
    ASSERT_TRUE(MergeChannel(dir / "p.qmv", {dir / "p0.qmv", dir / "p1.qmv", dir / "p2.qmv"}, 0).ok);
    size_t bytes = 0;
    for (const auto& chunk : streamChunks(dir / "p.qmv", 1))
        bytes += chunk.size();
    EXPECT_EQ(bytes, 3u * 2 * 8000 * 2);
    ASSERT_TRUE(MergeChannel(dir / "a.qmv", {dir / "a0.qmv", dir / "a1.qmv", dir / "a2.qmv"}, 0).ok);
    EXPECT_EQ(streamChunks(dir / "a.qmv", 1).size(), 3u * 32) << "ceil(2 s * 16000 / 1024) frames each";
    EXPECT_EQ(streamChunks(dir / "a.qmv", 0).size(), 300u);
}

TEST(ChannelMerge, RefusalsCancelAndFailuresKeepAnEarlierResult) {
    TempDir dir;
    SyntheticOptions one;
    one.channels = 1;
    SyntheticOptions fast;
    fast.fps = 10;
    SyntheticOptions pcm;
    pcm.pcm = true;
    WriteSynthetic(dir / "a.qmv", RecordingForm::Camera, true);
    WriteSynthetic(dir / "b.qmv", RecordingForm::Camera, true);
    WriteSynthetic(dir / "one.qmv", RecordingForm::Camera, true, one);
    WriteSynthetic(dir / "fast.qmv", RecordingForm::Camera, true, fast);
    WriteSynthetic(dir / "pcm.qmv", RecordingForm::Camera, true, pcm);
    // A good result of an earlier merge: nothing below may destroy it.
    ASSERT_TRUE(MergeChannel(dir / "out.qmv", {dir / "a.qmv"}, 0).ok);
    const Bytes earlier = ReadFile(dir / "out.qmv");
    const struct {
        std::vector<std::string> names;
        int channel;
        const char* why;
    } cases[] = {
        {{"a.qmv", "one.qmv"}, 1, "has no channel 2"},
        {{"a.qmv", "fast.qmv"}, 0, "frame rate"},
        {{"a.qmv", "pcm.qmv"}, 0, "sound differs"},
        {{"a.qmv", "missing.qmv"}, 0, "missing.qmv"},
        {{}, 0, "no recording"},
    };
    for (const auto& c : cases) {
        std::vector<fs::path> sources;
        for (const auto& n : c.names)
            sources.push_back(dir / n);
        MergeOutcome r = MergeChannel(dir / "out.qmv", sources, c.channel);
        EXPECT_FALSE(r.ok);
        EXPECT_NE(r.error.find(c.why), std::string::npos) << r.error;
        EXPECT_EQ(ReadFile(dir / "out.qmv"), earlier) << c.why;
        // The run of one form ends at the change: the first file alone (none when it is missing).
        std::string why;
        EXPECT_EQ(SameFormRun(sources, c.channel, &why), sources.empty() ? 0u : 1u) << c.why;
        if (!sources.empty())
            EXPECT_NE(why.find(c.why), std::string::npos) << why;
    }
    // A drive as a camera writes it, then another form: the run is the drive.
    std::string why = "unchanged?";
    EXPECT_EQ(SameFormRun({dir / "a.qmv", dir / "b.qmv", dir / "a.qmv", dir / "one.qmv", dir / "b.qmv"}, 1, &why),
              3u);
    EXPECT_NE(why.find("one.qmv has no channel 2"), std::string::npos) << why;
    why.clear();
    EXPECT_EQ(SameFormRun({dir / "a.qmv", dir / "b.qmv"}, 0, &why), 2u);
    EXPECT_TRUE(why.empty());
    EXPECT_EQ(SameFormRun({dir / "one.qmv", dir / "a.qmv"}, 1), 0u); // the first lacks the channel
    MergeOutcome r = MergeChannel(dir / "out.qmv", {dir / "a.qmv", dir / "a.qmv"}, 0,
                                  [](uint64_t, uint64_t) { return false; });
    EXPECT_TRUE(r.cancelled);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(ReadFile(dir / "out.qmv"), earlier) << "cancelled";

    // A source that shrinks while it is read (a card pulled out): a read error half-way through
    // the output, reported as such, and the earlier result stays.
    fs::copy_file(dir / "b.qmv", dir / "shrinks.qmv");
    r = MergeChannel(dir / "out.qmv", {dir / "shrinks.qmv", dir / "b.qmv"}, 0, [&](uint64_t, uint64_t done) {
        if (done > 0 && fs::file_size(dir / "shrinks.qmv") == fs::file_size(dir / "b.qmv"))
            fs::resize_file(dir / "shrinks.qmv", fs::file_size(dir / "b.qmv") / 2);
        return true;
    });
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("shrinks.qmv: read error"), std::string::npos) << r.error;
    EXPECT_EQ(ReadFile(dir / "out.qmv"), earlier) << "failed";
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 7)
        << "only the sources and the earlier result: no temporary file";

    {
        // The writer on its own: dropped before it finishes, it leaves the earlier file.
        RecordingLayout layout;
        layout.video = {{64, 48, 30, 1}};
        auto w = RecordingWriter::create(dir / "out.qmv", layout, RecordingForm::Camera, nullptr);
        ASSERT_TRUE(w);
        const uint8_t frame[] = {0, 0, 0, 1, 0x65, 1, 2, 3};
        EXPECT_TRUE(w->writeVideoFrame(0, frame, sizeof frame, true));
    }
    EXPECT_EQ(ReadFile(dir / "out.qmv"), earlier) << "writer dropped";

    // A finished merge replaces it.
    EXPECT_TRUE(MergeChannel(dir / "out.qmv", {dir / "a.qmv", dir / "b.qmv"}, 0).ok);
    EXPECT_GT(fs::file_size(dir / "out.qmv"), earlier.size());
}

TEST(ToolJob, RunsItemsOnAWorkerAndReportsEachResult) {
    int argc = 0;
    QCoreApplication app(argc, nullptr);
    ToolJob job;
    std::atomic<bool> onWorker{true};
    const QThread* ui = QThread::currentThread();
    job.addItem("a", [&](const ToolJob::Control& c) {
        onWorker = onWorker && QThread::currentThread() != ui;
        for (int i = 0; i <= 10; ++i)
            c.report(uint64_t(i), 10);
        return ToolItemResult{true, false, {}};
    });
    job.addItem("b", [](const ToolJob::Control&) { return ToolItemResult{false, false, "disk full"}; });
    job.addItem("c", [](const ToolJob::Control&) { return ToolItemResult{true, false, {}}; });
    std::vector<int> percents;
    std::vector<std::pair<int, bool>> items;
    int failures = -1;
    bool cancelled = true;
    bool receivedOnUi = true;
    QEventLoop loop;
    QObject::connect(&job, &ToolJob::progressChanged, &app, [&](int index, int p) {
        receivedOnUi = receivedOnUi && QThread::currentThread() == ui;
        if (index == 0)
            percents.push_back(p);
    });
    QObject::connect(&job, &ToolJob::itemFinished, &app, [&](int index, bool ok, const QString&) {
        items.push_back({index, ok});
    });
    QObject::connect(&job, &ToolJob::finished, &app, [&](int f, bool c) {
        failures = f;
        cancelled = c;
        loop.quit();
    });
    job.start();
    loop.exec();
    EXPECT_TRUE(onWorker);
    EXPECT_TRUE(receivedOnUi);
    EXPECT_EQ(failures, 1);
    EXPECT_FALSE(cancelled);
    EXPECT_EQ(percents.size(), 11u);
    EXPECT_EQ(items, (std::vector<std::pair<int, bool>>{{0, true}, {1, false}, {2, true}}));
    EXPECT_EQ(job.results()[1].message, "disk full");

    // Cancel: the running item sees it through report(), the items after it do not run.
    ToolJob second;
    std::atomic<bool> started{false}, laterRan{false};
    second.addItem("long", [&](const ToolJob::Control& c) {
        started = true;
        while (c.report(1, 2))
            QThread::msleep(1);
        return ToolItemResult{false, true, "cancelled"};
    });
    second.addItem("later", [&](const ToolJob::Control&) {
        laterRan = true;
        return ToolItemResult{true, false, {}};
    });
    QObject::connect(&second, &ToolJob::finished, &app, [&](int f, bool c) {
        failures = f;
        cancelled = c;
        loop.quit();
    });
    second.start();
    while (!started)
        QThread::msleep(1);
    second.cancel();
    loop.exec();
    EXPECT_TRUE(cancelled);
    EXPECT_EQ(failures, 0) << "cancelled items are not failures";
    EXPECT_FALSE(laterRan);
    EXPECT_TRUE(second.results()[1].cancelled);
}
