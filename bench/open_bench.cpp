// Open time against recording length, run by hand: writes a recording of N minutes (default 45) by
// repeating the frames, sound and records of a one-minute recording (the realistic sample card's),
// then opens the long one and the short one alternately in the engine and prints, for each, the
// time from the open to the first picture of every channel and the bytes the process read meanwhile
// (/proc/self/io, page cache included). The long recording is written beside the short one's copy
// in the temporary folder and deleted at the end.
// Run: build/bench/open_bench <one-minute recording> [minutes, default 45] [opens each, default 5]
#include "core/common/ByteSource.h"
#include "core/container/AviLayout.h"
#include "core/container/MoviWalk.h"
#include "core/container/RecordingReader.h"
#include "core/container/RecordingWriter.h"
#include "core/container/Riff.h"
#include "media/playback/PlaybackEngine.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

class FirstPictureView : public ChannelView {
public:
    void presentFrame(VideoFramePtr) override { ++pictures; }
    void clearFrame() override {}
    std::pair<int, int> frameSizeHint() const override { return {640, 360}; }
    std::atomic<int> pictures{0};
};

uint64_t bytesRead() {
    std::ifstream io("/proc/self/io");
    std::string key;
    uint64_t value = 0;
    while (io >> key >> value)
        if (key == "rchar:")
            return value;
    return 0;
}

// The recording `source` repeated `times` times into `target` (records shifted by a minute each).
bool writeRepeated(const fs::path& source, const fs::path& target, int times) {
    std::string error;
    auto file = FileByteSource::open(source, &error);
    auto reader = RecordingReader::open(source, &error);
    AviLayout layout;
    if (!file || !reader || !ParseAviLayout(*file, layout, &error)) {
        std::fprintf(stderr, "cannot read %s: %s\n", source.c_str(), error.c_str());
        return false;
    }
    RecordingLayout out;
    int audioStream = -1, channels = 0;
    for (size_t i = 0; i < layout.streams.size(); ++i) {
        const AviStreamHeader& s = layout.streams[i];
        if (s.type == kFccVids) {
            const StreamDescription& d = reader->info().streams[i];
            out.video.push_back({d.width, d.height, 30, 1});
            ++channels;
        } else if (s.type == kFccAuds && s.format.size() >= 18) {
            AudioTrackSpec audio;
            audio.sampleRate = readLe32(s.format.data() + 4);
            audio.channels = readLe16(s.format.data() + 2);
            audio.codecConfig.assign(s.format.begin() + 18, s.format.end());
            out.audio = audio;
            audioStream = int(i);
        }
    }
    struct Chunk {
        uint64_t offset;
        uint32_t id, size;
    };
    std::vector<Chunk> chunks;
    WalkMovi(*file, layout, [&](const RiffChunk& c) { chunks.push_back({c.offset, c.id, uint32_t(c.size)}); });
    std::vector<std::pair<uint32_t, std::vector<uint8_t>>> records;
    std::vector<uint8_t> record(4096);
    uint32_t size = 0, ms = 0;
    while (size = uint32_t(record.size()), reader->GetNextRecord(record.data(), &size, &ms) == 0)
        records.push_back({ms, std::vector<uint8_t>(record.begin(), record.begin() + size)});
    auto writer = RecordingWriter::create(target, out, RecordingForm::Camera, &error);
    if (!writer) {
        std::fprintf(stderr, "cannot write %s: %s\n", target.c_str(), error.c_str());
        return false;
    }
    std::vector<uint8_t> data;
    for (int r = 0; r < times; ++r) {
        size_t nextRecord = 0;
        for (const Chunk& c : chunks) {
            const int stream = chunkStreamNumber(c.id);
            bool ok = true;
            if (stream >= 0 && stream < channels) {
                uint8_t first[5] = {};
                file->readExact(c.offset + 8, first, 5);
                const int nal = first[4] & 0x1f;
                ok = writer->copyVideoChunk(stream, *file, c.offset, c.id, c.size, nal == 5 || nal == 7) ==
                     RecordingWriter::CopyResult::Copied;
            } else if (stream == audioStream) {
                data.resize(c.size);
                ok = file->readExact(c.offset + 8, data.data(), c.size) &&
                     writer->writeAudioFrame(data.data(), data.size());
            } else if (stream >= 0 && nextRecord < records.size()) {
                const auto& [at, bytes] = records[nextRecord++];
                ok = writer->writeRecord(at + uint32_t(r) * 60000u, bytes.data(), bytes.size());
            }
            if (!ok) {
                std::fprintf(stderr, "writing failed: %s\n", writer->error().c_str());
                return false;
            }
        }
    }
    return writer->finish();
}

struct Open {
    double ms = 0;
    uint64_t bytes = 0;
};

Open openOnce(PlaybackEngine& engine, FirstPictureView* views, const fs::path& path) {
    engine.close();
    for (int c = 0; c < 4; ++c)
        views[c].pictures = 0;
    const uint64_t before = bytesRead();
    const auto start = std::chrono::steady_clock::now();
    if (!engine.open(path.string())) {
        std::fprintf(stderr, "cannot open %s: %s\n", path.c_str(), engine.lastError().c_str());
        std::exit(1);
    }
    Open o;
    o.ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    o.bytes = bytesRead() - before;
    for (int c = 0; c < engine.channelCount(); ++c)
        if (views[c].pictures == 0)
            std::printf("%s: channel %d has no first picture after the open\n", path.filename().c_str(), c + 1);
    return o;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: open_bench <one-minute recording> [minutes, default 45] [opens each, default 5]\n");
        return 2;
    }
    const int minutes = argc > 2 ? std::atoi(argv[2]) : 45;
    const int opens = argc > 3 ? std::atoi(argv[3]) : 5;
    std::string folder = (fs::temp_directory_path() / "quillent-open-bench-XXXXXX").string();
    if (!mkdtemp(folder.data()))
        return 1;
    const fs::path shortOne = fs::path(folder) / "short.qmv", longOne = fs::path(folder) / "long.qmv";
    std::fprintf(stderr, "writing a %d-minute recording to %s ...\n", minutes, folder.c_str());
    if (!writeRepeated(argv[1], shortOne, 1) || !writeRepeated(argv[1], longOne, minutes)) {
        fs::remove_all(folder);
        return 1;
    }
    std::printf("short %.0f MB, long %.0f MB\n", fs::file_size(shortOne) / 1e6, fs::file_size(longOne) / 1e6);

    FirstPictureView views[4];
    PlaybackEngine engine;
    engine.setViews({&views[0], &views[1], &views[2], &views[3]});
    openOnce(engine, views, shortOne); // the first open loads the decoders
    std::vector<double> shortMs, longMs, shortRead, longRead;
    for (int i = 0; i < opens; ++i) {
        for (const fs::path& p : {shortOne, longOne}) {
            const Open o = openOnce(engine, views, p);
            const double share = 100.0 * double(o.bytes) / double(fs::file_size(p));
            (p == shortOne ? shortMs : longMs).push_back(o.ms);
            (p == shortOne ? shortRead : longRead).push_back(share);
            std::printf("%-6s open to first pictures %6.0f ms, read %6.2f MB (%.2f %% of the file)\n",
                        p == shortOne ? "short" : "long", o.ms, o.bytes / 1e6, share);
        }
    }
    engine.close();
    std::printf("median: short %.0f ms (%.2f %% read), long %.0f ms (%.2f %% read): long / short = %.2f\n",
                median(shortMs), median(shortRead), median(longMs), median(longRead),
                median(longMs) / std::max(1.0, median(shortMs)));
    std::printf("targets: long / short <= 1.5, long reads < 5 %% of the file\n");
    fs::remove_all(folder);
    return 0;
}
