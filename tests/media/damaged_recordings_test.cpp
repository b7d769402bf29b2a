// Recordings damaged the ways a card damages them (cut, bits flipped in chunk headers, sizes zeroed
// or changed, zeros after an unfinished file, a broken index), run through every quillent-tool
// command, the recording reader, the repaired view and the playback engine: no crash, no hang, no
// partial output on failure, memory bounded, and no exit 0 over an output that ffprobe or ffmpeg
// reject.
//
// The corpus is generated here from the two sample recordings with a fixed seed. CI runs a small
// one; a larger run by hand:
//   QUILLENT_CORPUS_SIZE=600 build/tests/media_tests --gtest_filter="DamagedRecordings*"
// prints the counts of results at the end; QUILLENT_CORPUS_SEED=<n> damages other places.
#include "core/container/AviLayout.h"
#include "core/common/ByteSource.h"
#include "core/container/MoviWalk.h"
#include "core/container/RecordingReader.h"
#include "core/container/RepairedView.h"
#include "core/container/Riff.h"
#include "media/playback/PlaybackEngine.h"
#include "support/MediaSamples.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;

const bool kSilent = samples::silenceSound();

Bytes readBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void writeBytes(const fs::path& p, const Bytes& b) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

struct Outcome {
    int exitCode = -1; // 124: timed out; 128 + n: killed by signal n
    std::string output;
};

// Runs a shell command with bounded time and memory (virtual memory in KiB).
Outcome shell(const std::string& command, int seconds = 60, long memoryKiB = 3000000) {
    Outcome r;
    const std::string line = "ulimit -v " + std::to_string(memoryKiB) + "; timeout -s KILL " +
                             std::to_string(seconds) + " " + command + " 2>&1";
    FILE* p = popen(line.c_str(), "r");
    if (!p)
        return r;
    std::array<char, 4096> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0)
        if (r.output.size() < 65536)
            r.output.append(buf.data(), n);
    int status = pclose(p);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::string quoted(const fs::path& p) {
    return "'" + p.string() + "'";
}

// Offsets of the chunk headers of a recording: top level, inside the header list and inside movi.
std::vector<uint64_t> chunkHeaders(const Bytes& b) {
    std::vector<uint64_t> at;
    MemoryByteSource src(b.data(), b.size());
    AviLayout layout;
    if (!ParseAviLayout(src, layout, nullptr))
        return at;
    at.push_back(0);
    ChunkWalker top(src, 12, b.size(), ChunkWalker::ZeroSize::RestOfRange);
    RiffChunk c;
    while (top.next(c)) {
        at.push_back(c.offset);
        if (c.id == kFccList && c.hasListType && c.listType == kFccHdrl) {
            ChunkWalker inner(src, c.dataOffset() + 4, c.next);
            RiffChunk h;
            while (inner.next(h))
                at.push_back(h.offset);
        }
    }
    WalkMovi(src, layout, [&](const RiffChunk& m) { at.push_back(m.offset); });
    return at;
}

// An output's index, where it has one, lists every chunk of its movi list but filler, in order.
bool indexListsTheChunks(const fs::path& avi) {
    const Bytes b = readBytes(avi);
    MemoryByteSource src(b.data(), b.size());
    AviLayout layout;
    if (!ParseAviLayout(src, layout, nullptr))
        return false;
    if (!layout.hasIdx1)
        return true;
    std::vector<IndexEntry> entries;
    if (!ReadAviIndex(src, layout, entries))
        return false;
    size_t i = 0;
    bool same = true;
    WalkMovi(src, layout, [&](const RiffChunk& c) {
        if (c.id == fourcc("JUNK"))
            return;
        same = same && i < entries.size() && entries[i].id == c.id && entries[i].offset == c.offset &&
               entries[i].size == c.size;
        ++i;
    });
    return same && i == entries.size();
}

struct Input {
    std::string name;
    Bytes bytes;
};

// One damaged copy of `base`; `kind` picks the damage.
Input damage(const std::string& baseName, const Bytes& base, const std::vector<uint64_t>& headers,
             std::mt19937& rng, int kind) {
    auto pick = [&](uint64_t n) { return n ? uint64_t(rng() % n) : 0; };
    Bytes b = base;
    std::string what;
    const uint64_t header = headers.empty() ? 0 : headers[pick(headers.size())];
    switch (kind) {
    case 0: { // cut anywhere
        const uint64_t at = 12 + pick(b.size() - 12);
        b.resize(at);
        what = "cut" + std::to_string(at);
        break;
    }
    case 1: { // one bit of a chunk identifier or size
        const uint64_t at = std::min<uint64_t>(header + pick(8), b.size() - 1);
        b[at] ^= uint8_t(1u << pick(8));
        what = "flip" + std::to_string(at);
        break;
    }
    case 2: // a size zeroed
        if (header + 8 <= b.size())
            writeLe32(b.data() + header + 4, 0);
        what = "zero" + std::to_string(header);
        break;
    case 3: { // a size changed to something else
        static const uint32_t kSizes[] = {1, 2, 3, 7, 0xFFFFFFFF, 0x7FFFFFFF, 0x10000};
        const uint32_t size = rng() % 2 ? kSizes[pick(std::size(kSizes))] : uint32_t(pick(b.size() * 2));
        if (header + 8 <= b.size())
            writeLe32(b.data() + header + 4, size);
        what = "size" + std::to_string(header) + "-" + std::to_string(size);
        break;
    }
    case 4: { // unfinished (sizes 0, index gone) with zeros after the last chunk
        MemoryByteSource src(base.data(), base.size());
        AviLayout layout;
        ParseAviLayout(src, layout, nullptr);
        if (layout.hasIdx1)
            b.resize(layout.idx1Offset);
        writeLe32(b.data() + 4, 0);
        writeLe32(b.data() + layout.moviOffset + 4, 0);
        b.resize(b.size() + 4096 * (1 + pick(64)), 0);
        what = "padded";
        break;
    }
    default: { // 4 KB of zeros over the index (or over the end of an unfinished file)
        MemoryByteSource src(base.data(), base.size());
        AviLayout layout;
        ParseAviLayout(src, layout, nullptr);
        const uint64_t at = layout.hasIdx1 ? layout.idx1Offset + 8 + pick(layout.idx1Size) : b.size() - 4096;
        const uint64_t n = std::min<uint64_t>(4096, b.size() - at);
        std::fill(b.begin() + ptrdiff_t(at), b.begin() + ptrdiff_t(at + n), 0);
        what = "zeros" + std::to_string(at);
        break;
    }
    }
    return {baseName + "-" + what, b};
}

class DamagedRecordings : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(kSilent);
        ASSERT_TRUE(fs::exists(fs::path(QUILLENT_BIN_DIR) / "quillent-tool")) << "quillent-tool is needed";
        ASSERT_EQ(std::system("ffprobe -version >/dev/null 2>&1 && ffmpeg -version >/dev/null 2>&1"), 0)
            << "ffmpeg and ffprobe are needed";
        dir = fs::temp_directory_path() / ("quillent-damaged-" + std::to_string(::getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override {
        // QUILLENT_CORPUS_KEEP=1 keeps the inputs of a failing run to look at.
        std::error_code ec;
        if (!std::getenv("QUILLENT_CORPUS_KEEP") || !HasFailure())
            fs::remove_all(dir, ec);
        else
            std::printf("inputs kept in %s\n", dir.c_str());
    }
    fs::path dir;
};

} // namespace

TEST_F(DamagedRecordings, EveryCommandFailsCleanlyOrGivesAReadableResult) {
    const char* sizeText = std::getenv("QUILLENT_CORPUS_SIZE");
    const int size = sizeText ? std::max(1, std::atoi(sizeText)) : 24;
    const fs::path data = QUILLENT_TEST_DATA;
    const fs::path tool = fs::path(QUILLENT_BIN_DIR) / "quillent-tool";
    std::vector<std::pair<std::string, Bytes>> bases = {
        {"1ch", readBytes(data / "camera-1ch.qmv")}, {"3ch", readBytes(data / "camera-3ch-unfinished.qmv")}};
    std::vector<std::vector<uint64_t>> headers;
    for (const auto& [name, bytes] : bases) {
        ASSERT_FALSE(bytes.empty()) << name;
        headers.push_back(chunkHeaders(bytes));
    }

    const char* seedText = std::getenv("QUILLENT_CORPUS_SEED");
    std::mt19937 rng(seedText ? uint32_t(std::strtoul(seedText, nullptr, 10)) : 20140101u);
    std::map<std::string, int> counts;
    RecordingView views[4];
    PlaybackEngine engine;
    engine.setViews({&views[0], &views[1], &views[2], &views[3]});
    for (int i = 0; i < size; ++i) {
        const size_t base = size_t(i) % bases.size();
        const Input input = damage(bases[base].first, bases[base].second, headers[base], rng, (i / 2) % 6);
        SCOPED_TRACE(input.name);
        const fs::path file = dir / (input.name + ".qmv");
        const fs::path out = dir / "out";
        fs::remove_all(out);
        fs::create_directories(out);
        writeBytes(file, input.bytes);

        // convert: exit 0 only over a file ffprobe reads and ffmpeg decodes without an error.
        Outcome convert = shell(quoted(tool) + " convert --to " + quoted(out) + " " + quoted(file));
        const fs::path avi = out / (file.filename().string() + ".avi");
        ASSERT_TRUE(convert.exitCode == 0 || convert.exitCode == 1 || convert.exitCode == 3)
            << convert.exitCode << "\n"
            << convert.output;
        counts["convert exit " + std::to_string(convert.exitCode)] += 1;
        if (convert.exitCode == 1) {
            EXPECT_FALSE(fs::exists(avi)) << "no output on failure";
            EXPECT_NE(convert.output.find("quillent-tool convert: "), std::string::npos) << convert.output;
        } else {
            ASSERT_TRUE(fs::exists(avi));
            Outcome probe =
                shell("ffprobe -v error -show_entries stream=codec_type -of csv=p=0 " + quoted(avi));
            EXPECT_EQ(probe.exitCode, 0) << probe.output;
            EXPECT_NE(probe.output.find("video"), std::string::npos) << probe.output;
            EXPECT_TRUE(indexListsTheChunks(avi));
            if (convert.exitCode == 0) {
                Outcome decode = shell("ffmpeg -nostdin -v error -i " + quoted(avi) + " -f null -");
                EXPECT_EQ(decode.exitCode, 0) << decode.output;
                EXPECT_EQ(decode.output, "") << "convert exited 0 over a file ffmpeg complains about";
                counts[decode.output.empty() && decode.exitCode == 0 ? "exit 0 outputs clean"
                                                                     : "exit 0 outputs FAULTY"] += 1;
            } else {
                EXPECT_NE(convert.output.find("warning: "), std::string::npos) << convert.output;
            }
        }
        for (const auto& e : fs::directory_iterator(out))
            EXPECT_EQ(e.path().string().find(".part"), std::string::npos) << "temporary file left";

        // The other commands: known exit codes only, and no output file when they fail.
        const std::vector<std::pair<std::string, fs::path>> commands = {
            {"info " + quoted(file), {}},
            {"records " + quoted(file), {}},
            {"gpx " + quoted(file) + " " + quoted(out / "track.gpx"), out / "track.gpx"},
            {"export-log " + quoted(file) + " " + quoted(out / "log.csv"), out / "log.csv"},
        };
        for (const auto& [command, output] : commands) {
            Outcome r = shell(quoted(tool) + " " + command);
            EXPECT_TRUE(r.exitCode == 0 || r.exitCode == 1 || r.exitCode == 3)
                << command << ": " << r.exitCode;
            if (r.exitCode == 1 && !output.empty()) {
                EXPECT_FALSE(fs::exists(output)) << command;
            }
            counts[command.substr(0, command.find(' ')) + " exit " + std::to_string(r.exitCode)] += 1;
        }

        // In-process: the reader's record loop and the whole repaired view.
        std::string error;
        if (auto reader = RecordingReader::open(file, &error)) {
            uint8_t buffer[1024];
            uint32_t n = sizeof buffer, time = 0;
            int records = 0;
            while (reader->GetNextRecord(buffer, &n, &time) == 0 && ++records < 100000)
                n = sizeof buffer;
            counts["reader opens"] += 1;
        }
        if (auto view = RepairedView::open(file, &error)) {
            std::vector<uint8_t> block(1 << 16);
            for (uint64_t at = 0; at < view->size();) {
                const int64_t got = view->read(at, block.data(), block.size());
                ASSERT_GT(got, 0) << "the view reads to its end";
                at += uint64_t(got);
            }
            counts["view opens"] += 1;
        }
        // The engine: every fourth input (each takes about a second).
        if (i % 4 == 0) {
            const bool opened = engine.open(file);
            counts[opened ? "engine plays" : "engine refuses"] += 1;
            if (!opened) {
                EXPECT_FALSE(engine.lastError().empty());
            }
        }
    }
    std::string summary;
    for (const auto& [what, n] : counts)
        summary += "  " + what + ": " + std::to_string(n) + "\n";
    std::printf("%d damaged inputs\n%s", size, summary.c_str());
}

// Valid recordings the player must start: more than four video streams and sound after them (the
// first four play), as a plain AVI and in the camera's form, and many data records before the
// first video chunk or one before every video chunk.
TEST_F(DamagedRecordings, UnusualButValidRecordingsPlay) {
    const fs::path five = dir / "five.avi";
    Outcome made = shell("ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=160x120:rate=10:duration=2 "
                         "-f lavfi -i sine=duration=2 -map 0:v -map 0:v -map 0:v -map 0:v -map 0:v -map 1:a "
                         "-c:v libx264 -pix_fmt yuv420p -g 10 -c:a aac " +
                         quoted(five));
    ASSERT_EQ(made.exitCode, 0) << made.output;
    // The same in the camera's form: its signatures and frame prefixes, finished and unfinished.
    Bytes camera = readBytes(five);
    {
        MemoryByteSource src(camera.data(), camera.size());
        AviLayout layout;
        ASSERT_TRUE(ParseAviLayout(src, layout, nullptr));
        std::copy_n("QMV1", 4, camera.begin());
        std::copy_n("QAVI", 4, camera.begin() + 8);
        WalkMovi(src, layout, [&](const RiffChunk& c) {
            const uint32_t rest = uint32_t(c.size - 4);
            if (isVideoChunkId(c.id) && c.size >= 4)
                for (int k = 0; k < 4; ++k)
                    camera[c.dataOffset() + k] = uint8_t(rest >> (24 - 8 * k));
        });
        camera.resize(layout.idx1Offset);
        writeLe32(camera.data() + 4, 0);
        writeLe32(camera.data() + layout.moviOffset + 4, 0);
    }
    const fs::path fiveCamera = dir / "five-unfinished.qmv";
    writeBytes(fiveCamera, camera);
    const fs::path fiveConverted = dir / (fiveCamera.filename().string() + ".avi");
    Outcome converted = shell(quoted(fs::path(QUILLENT_BIN_DIR) / "quillent-tool") + " convert --to " +
                              quoted(dir) + " " + quoted(fiveCamera));
    ASSERT_EQ(converted.exitCode, 0) << converted.output;

    // 300 records in front of the first video chunk of the sample recording (its index dropped).
    Bytes b = readBytes(fs::path(QUILLENT_TEST_DATA) / "camera-1ch.qmv");
    MemoryByteSource src(b.data(), b.size());
    AviLayout layout;
    ASSERT_TRUE(ParseAviLayout(src, layout, nullptr));
    Bytes records;
    for (int i = 0; i < 300; ++i) {
        const std::string text = "$GPRMC,,V*00";
        Bytes chunk = {'0', '2', 't', 'x', 0, 0, 0, 0, 0, 0, 0, 0};
        writeLe32(chunk.data() + 4, uint32_t(4 + text.size()));
        chunk.insert(chunk.end(), text.begin(), text.end());
        records.insert(records.end(), chunk.begin(), chunk.end());
    }
    Bytes front(b.begin(), b.begin() + ptrdiff_t(layout.moviDataStart));
    front.insert(front.end(), records.begin(), records.end());
    front.insert(front.end(), b.begin() + ptrdiff_t(layout.moviDataStart),
                 b.begin() + ptrdiff_t(layout.moviEnd));
    writeLe32(front.data() + 4, uint32_t(front.size() - 8));
    writeLe32(front.data() + layout.moviOffset + 4, uint32_t(front.size() - layout.moviOffset - 8));
    const fs::path recordsFirst = dir / "records-first.qmv";
    writeBytes(recordsFirst, front);

    // One record in front of every video chunk.
    Bytes interleaved(b.begin(), b.begin() + ptrdiff_t(layout.moviDataStart));
    WalkMovi(src, layout, [&](const RiffChunk& c) {
        if (isVideoChunkId(c.id))
            interleaved.insert(interleaved.end(), records.begin(), records.begin() + 24);
        interleaved.insert(interleaved.end(), b.begin() + ptrdiff_t(c.offset), b.begin() + ptrdiff_t(c.next));
    });
    writeLe32(interleaved.data() + 4, uint32_t(interleaved.size() - 8));
    writeLe32(interleaved.data() + layout.moviOffset + 4,
              uint32_t(interleaved.size() - layout.moviOffset - 8));
    const fs::path recordEachFrame = dir / "record-each-frame.qmv";
    writeBytes(recordEachFrame, interleaved);

    RecordingView views[4];
    PlaybackEngine engine;
    engine.setViews({&views[0], &views[1], &views[2], &views[3]});
    for (const fs::path& file : {five, fiveCamera, fiveConverted, recordsFirst, recordEachFrame}) {
        SCOPED_TRACE(file.filename().string());
        ASSERT_TRUE(engine.open(file)) << engine.lastError();
        EXPECT_EQ(engine.channelCount(), file.string().find("five") != std::string::npos ? 4 : 1);
        int before[4];
        for (int k = 0; k < 4; ++k)
            before[k] = views[k].presented();
        ASSERT_TRUE(engine.run());
        EXPECT_TRUE(samples::waitFor([&] { return engine.positionMs() > 300; }));
        for (int k = 0; k < engine.channelCount(); ++k)
            EXPECT_TRUE(samples::waitFor([&] { return views[k].presented() > before[k] + 2; }))
                << "channel " << k + 1 << " shows pictures";
    }
}

// A snapshot that cannot be written in full (a file size limit standing in for a full disk) keeps
// the picture that was there and leaves no temporary file.
TEST_F(DamagedRecordings, AFailedSnapshotKeepsThePreviousPicture) {
    const fs::path jpeg = dir / "picture.jpg";
    writeBytes(jpeg, Bytes{'o', 'l', 'd'});
    const fs::path tool = fs::path(QUILLENT_BIN_DIR) / "quillent-tool";
    // Ignored in the shell, SIGXFSZ stays ignored in the tool: the write fails instead.
    Outcome r = shell("sh -c \"trap '' XFSZ; ulimit -f 1; " + quoted(tool) + " snapshot --at 500 " +
                      quoted(fs::path(QUILLENT_TEST_DATA) / "camera-1ch.qmv") + " " + quoted(jpeg) + "\"");
    EXPECT_EQ(r.exitCode, 1) << r.output;
    EXPECT_EQ(readBytes(jpeg), (Bytes{'o', 'l', 'd'}));
    for (const auto& e : fs::directory_iterator(dir))
        EXPECT_EQ(e.path().string().find(".part"), std::string::npos) << e.path();
}
