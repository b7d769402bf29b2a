// The recording reader: streams and duration of finished, unfinished and cut recordings, and the
// data records in file order with their time stamps, through the index or by walking the chunks.
#include "core/container/RecordingReader.h"
#include "core/container/RepairedView.h"
#include "core/container/Riff.h"
#include "support/ContainerFixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct Rec {
    std::string text;
    uint32_t time;
    bool operator==(const Rec&) const = default;
};

std::vector<Rec> AllRecords(RecordSource& source, uint32_t capacity = 1024) {
    std::vector<Rec> out;
    uint8_t buf[1024];
    uint32_t size = capacity, time = 0;
    while (source.GetNextRecord(buf, &size, &time) == 0) {
        out.push_back({std::string(reinterpret_cast<char*>(buf), size), time});
        size = capacity;
    }
    return out;
}

std::unique_ptr<RecordingReader> Open(const fs::path& path) {
    std::string error;
    auto r = RecordingReader::open(path, &error);
    EXPECT_TRUE(r) << error;
    return r;
}

} // namespace

TEST(RecordingReader, DescribesStreamsAndDuration) {
    TempDir dir;
    SyntheticOptions o;
    o.channels = 3;
    o.seconds = 4;
    WriteSynthetic(dir / "cam.qmv", RecordingForm::Camera, true, o);
    WriteSynthetic(dir / "u.qmv", RecordingForm::Camera, false, o);
    for (const char* name : {"cam.qmv", "u.qmv"}) {
        auto r = Open(dir / name);
        ASSERT_TRUE(r);
        const RecordingInfo& info = r->info();
        EXPECT_EQ(info.form, ContainerForm::Camera);
        EXPECT_EQ(info.unfinished, std::string(name) == "u.qmv");
        EXPECT_EQ(info.videoChannels, 3);
        EXPECT_EQ(info.audio, AudioKind::Aac);
        EXPECT_TRUE(info.hasDataStream);
        EXPECT_EQ(info.durationMs, 4000u) << name;
        ASSERT_EQ(info.streams.size(), 5u);
        EXPECT_EQ(info.streams[1].width, 80u);
        EXPECT_EQ(info.streams[1].frames, 20u);
        EXPECT_EQ(info.streams[1].codec, "H264");
    }
    o.pcm = true;
    o.channels = 1;
    WriteSynthetic(dir / "pcm.avi", RecordingForm::Standard, true, o);
    auto r = Open(dir / "pcm.avi");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->info().form, ContainerForm::StandardAvi);
    EXPECT_EQ(r->info().audio, AudioKind::Pcm);
    EXPECT_EQ(r->info().streams[1].durationMs, 2000u) << "20 blocks of 1600 bytes at 16000 bytes/s";
}

TEST(RecordingReader, RecordsInFileOrderThroughIndexOrWalk) {
    TempDir dir;
    WriteSynthetic(dir / "cam.qmv", RecordingForm::Camera, true);
    WriteSynthetic(dir / "u.qmv", RecordingForm::Camera, false);
    auto finished = Open(dir / "cam.qmv");
    auto unfinished = Open(dir / "u.qmv");
    ASSERT_TRUE(finished && unfinished);
    const auto records = AllRecords(*finished);
    ASSERT_EQ(records.size(), 6u);
    for (size_t i = 0; i < records.size(); ++i)
        EXPECT_EQ(records[i], (Rec{"R" + std::to_string(i), uint32_t(i * 1000 / 3)}));
    EXPECT_EQ(AllRecords(*unfinished), records);
    // Rewind starts again; a small buffer gets the record's beginning.
    finished->Rewind();
    auto cut = AllRecords(*finished, 1);
    ASSERT_EQ(cut.size(), 6u);
    EXPECT_EQ(cut[4], (Rec{"R", 1333}));
}

TEST(RecordingReader, WrongIndexFallsBackToTheChunks) {
    TempDir dir;
    WriteSynthetic(dir / "cam.qmv", RecordingForm::Camera, true);
    auto good = Open(dir / "cam.qmv");
    const auto expected = AllRecords(*good);
    // Shift every index entry by two bytes: all still inside movi, none on a chunk.
    Bytes bytes = ReadFile(dir / "cam.qmv");
    auto idx = std::search(bytes.begin(), bytes.end(), std::begin("idx1"), std::end("idx1") - 1);
    ASSERT_NE(idx, bytes.end());
    const size_t first = size_t(idx - bytes.begin()) + 8;
    for (size_t e = first + 16; e + 16 <= bytes.size(); e += 16)
        writeLe32(&bytes[e + 8], readLe32(&bytes[e + 8]) + 2);
    WriteFile(dir / "badindex.qmv", bytes);
    auto r = Open(dir / "badindex.qmv");
    ASSERT_TRUE(r);
    EXPECT_EQ(AllRecords(*r), expected);
    r->Rewind();
    EXPECT_EQ(AllRecords(*r), expected);
}

TEST(RecordingReader, CutRecordingDeliversTheRecordsBeforeTheCut) {
    TempDir dir;
    WriteSynthetic(dir / "cam.qmv", RecordingForm::Camera, true);
    auto expected = AllRecords(*Open(dir / "cam.qmv"));
    Bytes bytes = ReadFile(dir / "cam.qmv");
    WriteFile(dir / "cut.qmv", Bytes(bytes.begin(), bytes.begin() + bytes.size() / 2));
    auto r = Open(dir / "cut.qmv");
    ASSERT_TRUE(r);
    EXPECT_TRUE(r->info().truncated);
    auto got = AllRecords(*r);
    ASSERT_GT(got.size(), 0u);
    ASSERT_LT(got.size(), expected.size());
    EXPECT_TRUE(std::equal(got.begin(), got.end(), expected.begin()));
    EXPECT_LT(r->info().durationMs, 2000u);
    EXPECT_GT(r->info().durationMs, 0u);
}

TEST(RecordingReader, RecordsWithoutRoomForATimeStampAreSkipped) {
    Bytes hdrl = List("hdrl", Cat({Chunk("avih", Bytes(56, 0))}));
    Bytes movi =
        Cat({Chunk("02tx", {1, 2}), Chunk("02tx", Cat({Le32(77), Text("$GPRMC")})), Chunk("02TX", Le32(5))});
    Bytes file = Cat({Text("QMV1"), Le32(0), Text("QAVI"), hdrl, List("movi", movi)});
    std::string error;
    auto r = RecordingReader::openMemory(file.data(), file.size(), &error);
    ASSERT_TRUE(r) << error;
    EXPECT_EQ(AllRecords(*r), (std::vector<Rec>{{"$GPRMC", 77}, {"", 5}}));
}

TEST(RecordingReader, TellsWhatIsNoRecording) {
    std::string error;
    Bytes text = Text("hello, this is not a recording");
    EXPECT_FALSE(RecordingReader::openMemory(text.data(), text.size(), &error));
    EXPECT_NE(error.find("not a camera recording"), std::string::npos);
    EXPECT_FALSE(RecordingReader::open("/nonexistent/x.qmv", &error));
    Bytes brokenMp4 =
        Cat({Bytes{0, 0, 0, 16}, Text("ftypisom"), Bytes(4, 0), Bytes{0, 0, 0, 200}, Text("moov")});
    EXPECT_FALSE(RecordingReader::openMemory(brokenMp4.data(), brokenMp4.size(), &error));
    // A 64-bit box size so large that offset + size wraps round to a point inside the file.
    Bytes wrappingMp4 =
        Cat({Bytes{0, 0, 0, 16}, Text("ftypisom"), Bytes(4, 0), Bytes{0, 0, 0, 1}, Text("moov"),
             Bytes(7, 0xff), Bytes{0xf8}, Bytes{0, 0, 0, 16}, Text("mvhd"), Bytes(8, 0)});
    error.clear();
    EXPECT_FALSE(RecordingReader::openMemory(wrappingMp4.data(), wrappingMp4.size(), &error));
    EXPECT_EQ(error, "damaged MP4 file");
}

TEST(RecordingReader, SampleFilesOpenOrExplain) {
    for (const auto& entry : fs::directory_iterator(QUILLENT_TEST_DATA)) {
        const std::string ext = entry.path().extension().string();
        if (!entry.is_regular_file() || (ext != ".qmv" && ext != ".avi" && ext != ".mp4"))
            continue; // the camera's other files share this folder
        std::string error;
        auto r = RecordingReader::open(entry.path(), &error);
        const std::string name = entry.path().filename().string();
        if (name.rfind("broken-", 0) != 0) {
            ASSERT_TRUE(r) << name << ": " << error;
            EXPECT_GT(r->info().durationMs, 0u) << name;
        }
        if (!r) {
            EXPECT_FALSE(error.empty());
            continue;
        }
        uint8_t buf[1024];
        uint32_t size = 1024, time;
        int n = 0;
        while (r->GetNextRecord(buf, &size, &time) == 0 && n < 100000) {
            EXPECT_LE(size, 1024u);
            size = 1024;
            ++n;
        }
    }
}

// One damaged chunk header loses that chunk only: a zeroed record size, a flipped bit in a frame's
// size and zeros after the last chunk, in a finished and an unfinished recording.
TEST(RecordingReader, OneDamagedHeaderLosesOnlyItsChunk) {
    TempDir dir;
    for (bool finished : {true, false}) {
        SyntheticOptions o;
        o.seconds = 4;
        WriteSynthetic(dir / "a.qmv", RecordingForm::Camera, finished, o);
        const Bytes original = ReadFile(dir / "a.qmv");
        const auto all = AllRecords(*Open(dir / "a.qmv"));
        ASSERT_GE(all.size(), 10u);
        auto find = [&](const std::string& id, int nth) {
            auto it = original.begin();
            for (int i = 0; i <= nth && it != original.end(); ++i)
                it = std::search(it + (i ? 1 : 0), original.end(), id.begin(), id.end());
            return size_t(it - original.begin());
        };
        // Two video channels and sound: the records are stream 3.
        const size_t firstRecord = find("03tx", 0), earlyFrame = find("00dc", 2);
        ASSERT_LT(firstRecord + 8, original.size());
        ASSERT_LT(earlyFrame + 8, original.size());
        struct Case {
            std::string name;
            size_t at;     // byte changed
            uint8_t value; // xor mask
            size_t lost;   // records lost
        };
        for (const Case& c : {Case{"zeroed record size", firstRecord + 4, 0, 1},
                              Case{"flipped frame size", earlyFrame + 5, 0x10, 0},
                              Case{"flipped frame size, low bit", earlyFrame + 4, 0x01, 0}}) {
            SCOPED_TRACE(c.name + (finished ? ", finished" : ", unfinished"));
            Bytes damaged = original;
            if (c.value == 0)
                std::fill(damaged.begin() + ptrdiff_t(c.at), damaged.begin() + ptrdiff_t(c.at + 4), 0);
            else
                damaged[c.at] ^= c.value;
            if (!finished)
                damaged.resize(damaged.size() + 65536, 0); // zeros after the last chunk
            WriteFile(dir / "d.qmv", damaged);
            auto reader = Open(dir / "d.qmv");
            ASSERT_TRUE(reader);
            auto records = AllRecords(*reader);
            EXPECT_EQ(records.size(), all.size() - c.lost);
            EXPECT_EQ(records.back(), all.back());
            // At most the damaged frame (200 ms at 5 fps) is missing from the counted length.
            EXPECT_GE(reader->info().durationMs + 200, Open(dir / "a.qmv")->info().durationMs);
        }
    }
}

// The one format check the reader, the converter and the player share.
TEST(RecordingReader, SniffsTheContainerFromTheFirstBytes) {
    struct Case {
        std::string head;
        RecordingFormat expected;
    };
    const std::string zeros4(4, '\0');
    const Case cases[] = {
        {"RIFF" + zeros4 + "AVI LIST", RecordingFormat::Avi},
        {zeros4 + "ftypisom", RecordingFormat::Mp4},
        {zeros4 + "ftyp", RecordingFormat::Mp4},              // the box type is enough
        {std::string(12, '\0'), RecordingFormat::Unknown},    // camera form: no signatures
        {"RIFF" + zeros4 + "WAVE", RecordingFormat::Unknown}, // another RIFF form
        {"RIFF" + zeros4 + "AV", RecordingFormat::Unknown},   // cut before the form type
        {zeros4 + "moov", RecordingFormat::Unknown},
        {"", RecordingFormat::Unknown},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.head);
        EXPECT_EQ(SniffRecordingFormat(c.head.data(), c.head.size()), c.expected);
        MemoryByteSource source(c.head.data(), c.head.size());
        EXPECT_EQ(SniffRecordingFormat(source), c.expected);
    }
}

// The writer stops before the 32-bit sizes run out (a small limit stands in for 4 GiB) and what it
// wrote finishes as a whole recording; a file past the real limit (a sparse one here) is neither
// finished nor indexed for the reader, and the player's view refuses it with the reason.
TEST(RecordingReader, RecordingsStopAtTheSizeLimitAndLargerOnesAreRefused) {
    TempDir dir;
    RecordingLayout layout;
    layout.video.push_back({64, 48, 30, 1});
    std::string error;
    auto w = RecordingWriter::create(dir / "full.qmv", layout, RecordingForm::Camera, &error);
    ASSERT_TRUE(w) << error;
    const uint64_t limit = 300000;
    w->setSizeLimit(limit);
    Bytes frame(5000, 0x41);
    frame[0] = frame[1] = frame[2] = 0, frame[3] = 1;
    int written = 0;
    while (w->writeVideoFrame(0, frame.data(), frame.size(), written % 30 == 0) && written < 1000)
        ++written;
    EXPECT_TRUE(w->full());
    EXPECT_EQ(w->error(), RecordingWriter::kRecordingFull);
    ASSERT_TRUE(w->finish()) << w->error();
    EXPECT_LE(fs::file_size(dir / "full.qmv"), limit);
    EXPECT_GT(fs::file_size(dir / "full.qmv"), limit - 2 * frame.size());
    auto reader = Open(dir / "full.qmv");
    ASSERT_TRUE(reader);
    EXPECT_FALSE(reader->info().unfinished);
    EXPECT_TRUE(reader->info().hasIndex);
    EXPECT_FALSE(reader->info().beyondSizeLimit);
    EXPECT_EQ(reader->info().streams[0].frames, uint64_t(written));
    EXPECT_TRUE(RepairedView::open(dir / "full.qmv", &error)) << error;

    // The same bytes in a file grown past 4 GiB without writing it (its RIFF size wrapped).
    fs::copy_file(dir / "full.qmv", dir / "huge.qmv");
    ASSERT_EQ(::truncate((dir / "huge.qmv").c_str(), off_t(kMaxRecordingSize + 4096)), 0);
    auto huge = Open(dir / "huge.qmv");
    ASSERT_TRUE(huge);
    EXPECT_TRUE(huge->info().beyondSizeLimit);
    error.clear();
    EXPECT_FALSE(RepairedView::open(dir / "huge.qmv", &error));
    EXPECT_NE(error.find("larger than 4 GiB"), std::string::npos) << error;
}
