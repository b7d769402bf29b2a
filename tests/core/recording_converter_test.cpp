// Conversion to AVI and the unchanged copy: byte-for-byte agreement with the designed algorithm on
// well-formed recordings, the size repairs, and the repairs made where that algorithm loses data.
#include "core/container/AviLayout.h"
#include "core/container/RecordingConverter.h"
#include "core/container/RecordingReader.h"
#include "core/container/Riff.h"
#include "support/ContainerFixtures.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>

namespace fs = std::filesystem;

namespace {

// The conversion exactly as designed: a sequential walk copying in 1 KiB pieces. It is the oracle
// for files where the designed walk is sound.
struct Reference {
    FILE* in;
    FILE* out;
    void copy(int64_t len) {
        uint8_t buf[1024];
        while (len > 0) {
            size_t n = fread(buf, 1, size_t(std::min<int64_t>(len, 1024)), in);
            if (n == 0)
                return;
            fwrite(buf, 1, n, out);
            len -= int64_t(n);
        }
    }
    void restore(int64_t length) {
        int64_t consumed = 0;
        while (consumed < length) {
            uint8_t h[8];
            if (fread(h, 1, 8, in) != 8)
                return;
            fwrite(h, 1, 8, out);
            int64_t a = (int64_t(readLe32(h + 4)) + 1) & ~int64_t(1);
            if (isVideoChunkId(readLe32(h))) {
                uint8_t skip[4];
                if (fread(skip, 1, 4, in) != 4)
                    return;
                const uint8_t code[4] = {0, 0, 0, 1};
                fwrite(code, 1, 4, out);
                copy(a - 4);
                consumed += 12 + a - 4;
            } else {
                copy(a);
                consumed += 8 + a;
            }
        }
    }
};

int ReferenceConvert(const fs::path& folder, const fs::path& source, bool toAvi) {
    const int64_t S = int64_t(fs::file_size(source));
    FILE* in = fopen(source.c_str(), "rb");
    if (!in)
        return -1;
    uint8_t head[12];
    if (fread(head, 1, 12, in) != 12) {
        fclose(in);
        return -2;
    }
    FILE* out = fopen(ConvertedPath(folder, source, toAvi).c_str(), "wb");
    if (toAvi) {
        memcpy(head, "RIFF", 4);
        memcpy(head + 8, "AVI ", 4);
    }
    if (readLe32(head + 4) == 0)
        writeLe32(head + 4, uint32_t(S - 8));
    fwrite(head, 1, 12, out);
    Reference r{in, out};
    int result = 0;
    int64_t patch = -1, d = 12;
    while (S > 12 && d < S) {
        fseek(in, long(d), SEEK_SET);
        uint8_t h[8];
        if (fread(h, 1, 8, in) != 8)
            break;
        int64_t size = readLe32(h + 4);
        if (size == 0) {
            size = S - d - 8;
            writeLe32(h + 4, uint32_t(size));
            patch = d;
        }
        fwrite(h, 1, 8, out);
        int64_t len = (size + 1) & ~int64_t(1);
        const int64_t next = d + 8 + len;
        if (next > S)
            break;
        const uint32_t id = readLe32(h);
        if (id == kFccList) {
            uint8_t type[4];
            if (fread(type, 1, 4, in) != 4) {
                result = -4;
                break;
            }
            fwrite(type, 1, 4, out);
            if (len != 0)
                len -= 4;
            if (readLe32(type) == kFccMovi) {
                toAvi ? r.restore(len) : r.copy(len);
                patch = d + 4;
            } else {
                r.copy(len);
            }
        } else if (id == kFccIdx1) {
            result = 1;
            r.copy(len);
            if (patch >= 0) {
                fflush(out);
                long end = ftell(out);
                fseek(out, long(patch), SEEK_SET);
                uint8_t v[4];
                writeLe32(v, uint32_t(d - patch - 4));
                fwrite(v, 1, 4, out);
                fseek(out, end, SEEK_SET);
            }
        } else {
            r.copy(len);
        }
        d = next;
    }
    fclose(in);
    fclose(out);
    return result;
}

// Stream headers with the values a camera writes (a time base, H.264 pictures, PCM sound): the
// converter leaves out a stream whose header players would reject.
Bytes Strl(const std::string& type) {
    Bytes format(40, 0);
    if (type == "vids") {
        writeLe32(format.data(), 40);
        writeLe32(format.data() + 4, 320);
        writeLe32(format.data() + 8, 240);
        writeLe32(format.data() + 16, fourcc("H264"));
    } else if (type == "auds") {
        format.assign(18, 0);
        writeLe16(format.data(), 1);          // PCM
        writeLe16(format.data() + 2, 1);      // channels
        writeLe32(format.data() + 4, 8000);   // sample rate
        writeLe32(format.data() + 8, 16000);  // bytes per second
        writeLe16(format.data() + 12, 2);     // block align
        writeLe16(format.data() + 14, 16);    // bits per sample
    }
    return List("strl", Cat({Chunk("strh", Cat({Text(type), type == "vids" ? Text("H264") : Bytes(4, 0),
                                                 Bytes(12, 0), Le32(1), Le32(10), Bytes(28, 0)})),
                             Chunk("strf", format)}));
}

// Streams 0 and 1 video, 2 records, 3 sound.
Bytes Hdrl() {
    return List("hdrl",
                Cat({Chunk("avih", Bytes(56, 0)), Strl("vids"), Strl("vids"), Strl("txts"), Strl("auds")}));
}

Bytes Frame(const std::string& id, Bytes data) {
    return Chunk(id, data);
}

// The idx1 chunk that lists the chunks of `movi` (the list's data after its type), offsets counted
// from the "movi" identifier.
Bytes IndexFor(const Bytes& movi) {
    Bytes entries;
    for (size_t at = 0; at + 8 <= movi.size();) {
        const uint32_t size = readLe32(movi.data() + at + 4);
        entries = Cat({entries, Bytes(movi.begin() + ptrdiff_t(at), movi.begin() + ptrdiff_t(at + 4)),
                       Le32(kAviIndexKeyFrame), Le32(uint32_t(at + 4)), Le32(size)});
        at += 8 + paddedSize(size);
    }
    return Chunk("idx1", entries);
}

class ConverterTest : public ::testing::Test {
protected:
    TempDir dir;
    fs::path out() { return dir / "out"; }
    void SetUp() override { fs::create_directories(out()); }

    // Converts with both implementations and returns ours after checking they agree.
    Bytes ConvertBoth(const fs::path& source, bool toAvi, int expectedResult) {
        fs::path refFolder = dir / "ref";
        fs::create_directories(refFolder);
        EXPECT_EQ(ReferenceConvert(refFolder, source, toAvi), expectedResult);
        EXPECT_EQ(ConvertRecording(out(), source, toAvi), expectedResult);
        Bytes ours = ReadFile(ConvertedPath(out(), source, toAvi));
        EXPECT_EQ(ours, ReadFile(ConvertedPath(refFolder, source, toAvi))) << source;
        return ours;
    }
};

} // namespace

TEST_F(ConverterTest, AgreesWithTheDesignedWalkOnWellFormedRecordings) {
    for (bool kernel : {true, false})
        for (bool finish : {true, false})
            for (bool pcm : {false, true}) {
                SyntheticOptions o;
                o.pcm = pcm;
                o.channels = pcm ? 1 : 3;
                UseKernelCopy(kernel);
                fs::path src = dir / ("rec" + std::to_string(finish) + std::to_string(pcm) + ".qmv");
                WriteSynthetic(src, RecordingForm::Camera, finish, o);
                Bytes bytes = ReadFile(src);
                if (!finish && (bytes.size() & 1)) {
                    bytes.push_back(0); // keep the rest of an unfinished file even, as the design assumes
                    WriteFile(src, bytes);
                }
                Bytes avi = ConvertBoth(src, true, finish ? 1 : 0);
                EXPECT_EQ(Bytes(avi.begin(), avi.begin() + 4), Text("RIFF"));
                EXPECT_EQ(Bytes(avi.begin() + 8, avi.begin() + 12), Text("AVI "));
                ConvertBoth(src, false, finish ? 1 : 0);
                EXPECT_EQ(CopyRecording(out(), src), kConvertDone);
                EXPECT_EQ(ReadFile(out() / src.filename()), bytes);
                UseKernelCopy(true);
            }
}

TEST_F(ConverterTest, ConvertedCameraRecordingEqualsTheStandardFormOfTheSameRecording) {
    WriteSynthetic(dir / "cam.qmv", RecordingForm::Camera, true);
    WriteSynthetic(dir / "std.avi", RecordingForm::Standard, true);
    ASSERT_EQ(ConvertRecording(out(), dir / "cam.qmv", true), kConvertDoneWithIndex);
    EXPECT_EQ(ReadFile(out() / "cam.qmv.avi"), ReadFile(dir / "std.avi"));
}

TEST_F(ConverterTest, HandMadeChunks) {
    // Upper-case "01DC", an odd-sized frame with its pad byte, a nested list inside movi whose
    // frame keeps its bytes, a text chunk, an unknown top-level chunk, and an idx1.
    Bytes movi = Cat({Frame("00dc", {9, 9, 9, 9, 0x65, 1, 2}), Frame("01DC", {8, 8, 8, 8, 0x41}),
                      List("rec ", Frame("00dc", {7, 7, 7, 7, 0x41, 0})), Frame("02tx", {1, 0, 0, 0, 'R'}),
                      Frame("03wb", {5, 5, 5, 5})});
    Bytes file = Cat({Text("QMV1"), Le32(0), Text("QAVI"), Hdrl(), Chunk("JUNK", Bytes(5, 0xEE)),
                      List("movi", movi), IndexFor(movi)});
    WriteFile(dir / "hand.qmv", file);
    Bytes avi = ConvertBoth(dir / "hand.qmv", true, 1);
    ASSERT_EQ(avi.size(), file.size());
    EXPECT_EQ(readLe32(avi.data() + 4), file.size() - 8) << "RIFF size 0 becomes the file size - 8";
    auto at = [&](const std::string& needle) {
        auto it = std::search(avi.begin(), avi.end(), needle.begin(), needle.end());
        return size_t(it - avi.begin());
    };
    EXPECT_EQ(Bytes(avi.begin() + at("00dc") + 8, avi.begin() + at("00dc") + 13), (Bytes{0, 0, 0, 1, 0x65}));
    EXPECT_EQ(Bytes(avi.begin() + at("01DC") + 8, avi.begin() + at("01DC") + 12), (Bytes{0, 0, 0, 1}));
    const size_t nested = at("rec ") + 4;
    EXPECT_EQ(Bytes(avi.begin() + nested + 8, avi.begin() + nested + 12), (Bytes{7, 7, 7, 7}));
    EXPECT_EQ(Bytes(avi.begin() + at("03wb") + 8, avi.begin() + at("03wb") + 12), (Bytes{5, 5, 5, 5}));

    // Without conversion only the sizes change.
    Bytes copy = ConvertBoth(dir / "hand.qmv", false, 1);
    Bytes expected = file;
    writeLe32(expected.data() + 4, uint32_t(file.size() - 8));
    EXPECT_EQ(copy, expected);
}

TEST_F(ConverterTest, ZeroSizedMoviGetsItsSizeFromTheIndexThatFollows) {
    Bytes movi = Cat({Frame("00dc", {1, 1, 1, 1, 0x65, 0}), Frame("02tx", {0, 0, 0, 0, 'A'})});
    Bytes index = IndexFor(movi);
    Bytes file = Cat({Text("RIFF"), Le32(0), Text("AVI "), Hdrl(), List("movi", movi, 0), index});
    WriteFile(dir / "u.qmv", file);
    ASSERT_EQ(ConvertRecording(out(), dir / "u.qmv", true), kConvertDoneWithIndex);
    Bytes avi = ReadFile(out() / "u.qmv.avi");
    ASSERT_EQ(avi.size(), file.size());
    const size_t moviAt = 12 + Hdrl().size();
    EXPECT_EQ(readLe32(avi.data() + moviAt + 4), 4 + movi.size());
    EXPECT_EQ(Bytes(avi.end() - index.size(), avi.end()), index) << "the index stays a chunk of its own";
}

TEST_F(ConverterTest, UnfinishedRecordingWithOddRemainderKeepsItsFrames) {
    // The last frame has an odd size and no pad byte: the data is complete and must not be lost.
    Bytes movi = Cat({Frame("00dc", {1, 1, 1, 1, 0x65, 0}), Text("00dc"), Le32(5), Bytes{2, 2, 2, 2, 0x41}});
    Bytes file =
        Cat({Text("QMV1"), Le32(0), Text("QAVI"), Hdrl(), Text("LIST"), Le32(0), Text("movi"), movi});
    WriteFile(dir / "odd.qmv", file);
    ASSERT_EQ(ConvertRecording(out(), dir / "odd.qmv", true), kConvertDone);
    Bytes avi = ReadFile(out() / "odd.qmv.avi");
    ASSERT_EQ(avi.size(), file.size());
    EXPECT_EQ(Bytes(avi.end() - 5, avi.end()), (Bytes{0, 0, 0, 1, 0x41}));
    EXPECT_EQ(readLe32(avi.data() + 12 + Hdrl().size() + 4), 4 + movi.size());
}

TEST_F(ConverterTest, TruncatedRecordingKeepsItsCompleteFrames) {
    SyntheticOptions big;
    big.seconds = 60; // several blocks of the buffered copy
    WriteSynthetic(dir / "full.qmv", RecordingForm::Camera, true, big);
    Bytes full = ReadFile(dir / "full.qmv");
    Bytes cut(full.begin(), full.begin() + full.size() / 2 + 3);
    WriteFile(dir / "cut.qmv", cut);
    ASSERT_EQ(ConvertRecording(out(), dir / "cut.qmv", true), kConvertRepaired) << "the cut is reported";
    Bytes avi = ReadFile(out() / "cut.qmv.avi");
    ASSERT_GT(avi.size(), cut.size() / 2);
    ASSERT_LE(avi.size(), cut.size());
    EXPECT_EQ(readLe32(avi.data() + 4), avi.size() - 8);
    // The output is a prefix of the converted complete file, apart from the two sizes.
    ConvertRecording(out(), dir / "full.qmv", true);
    Bytes whole = ReadFile(out() / "full.qmv.avi");
    const size_t moviSizeAt =
        size_t(std::search(whole.begin(), whole.end(), std::begin("movi"), std::end("movi") - 1) -
               whole.begin()) -
        4;
    Bytes a = avi, b(whole.begin(), whole.begin() + avi.size());
    for (size_t at : {size_t(4), moviSizeAt})
        for (size_t k = 0; k < 4; ++k)
            a[at + k] = b[at + k] = 0;
    EXPECT_EQ(a, b);
    EXPECT_EQ(readLe32(avi.data() + moviSizeAt), avi.size() - moviSizeAt - 4);
}

TEST_F(ConverterTest, ResultCodesAndNames) {
    EXPECT_EQ(ConvertedPath("/out", "/card/NORMAL/RTC20140101_120000.qmv", true),
              fs::path("/out/RTC20140101_120000.qmv.avi"));
    EXPECT_EQ(ConvertedPath("/out", "/card/x.qmv", false), fs::path("/out/x.qmv"));
    EXPECT_EQ(ConvertRecording(out(), dir / "missing.qmv", true), kConvertNoSource);
    WriteFile(dir / "short.qmv", Bytes(11, 0));
    EXPECT_EQ(ConvertRecording(out(), dir / "short.qmv", true), kConvertTooShort);
    // Twelve bytes hold no recording: refused, where the designed walk wrote a 12-byte ".avi".
    WriteFile(dir / "twelve.qmv", Cat({Text("QMV1"), Le32(0), Text("QAVI")}));
    EXPECT_EQ(ConvertRecording(out(), dir / "twelve.qmv", true), kConvertShortHeader);
    EXPECT_FALSE(fs::exists(out() / "twelve.qmv.avi"));
    WriteSynthetic(dir / "a.qmv", RecordingForm::Camera, true);
    EXPECT_EQ(ConvertRecording(dir / "no" / "such" / "folder", dir / "a.qmv", true), kConvertNoOutput);
}

TEST_F(ConverterTest, CopyNeverReplacesItsOwnSource) {
    WriteSynthetic(dir / "a.qmv", RecordingForm::Camera, true);
    const Bytes before = ReadFile(dir / "a.qmv");
    EXPECT_EQ(CopyRecording(dir.path(), dir / "a.qmv"), kConvertNoOutput);
    EXPECT_EQ(ConvertRecording(dir.path(), dir / "a.qmv", false), kConvertNoOutput);
    EXPECT_EQ(ReadFile(dir / "a.qmv"), before);
    EXPECT_EQ(CopyRecording(out(), dir / "a.qmv"), kConvertDone);
    EXPECT_EQ(ReadFile(out() / "a.qmv"), before);
}

TEST_F(ConverterTest, CancelRemovesThePartialOutput) {
    WriteSynthetic(dir / "a.qmv", RecordingForm::Camera, true);
    int calls = 0;
    auto stop = [&](uint64_t, uint64_t) { return ++calls < 1; };
    EXPECT_EQ(ConvertRecording(out(), dir / "a.qmv", true, stop), kConvertCancelled);
    EXPECT_FALSE(fs::exists(out() / "a.qmv.avi"));
    EXPECT_EQ(CopyRecording(out(), dir / "a.qmv", stop), kConvertCancelled);
    EXPECT_FALSE(fs::exists(out() / "a.qmv"));
    uint64_t last = 0, total = 0;
    EXPECT_EQ(ConvertRecording(out(), dir / "a.qmv", true,
                               [&](uint64_t d, uint64_t t) {
                                   last = d;
                                   total = t;
                                   return true;
                               }),
              kConvertDoneWithIndex);
    EXPECT_EQ(total, fs::file_size(dir / "a.qmv"));
    EXPECT_GT(last, 0u);
}

TEST_F(ConverterTest, LargeFileGivesTheSameBytesThroughKernelAndBufferedCopy) {
    // 17 MB: start codes fall on both sides of the 4 MiB buffer and 16 MiB kernel-copy steps.
    SyntheticOptions o;
    o.channels = 3;
    o.seconds = 60;
    o.fps = 30;
    o.frameFiller = 3200;
    WriteSynthetic(dir / "big.qmv", RecordingForm::Camera, true, o);
    WriteSynthetic(dir / "big.avi", RecordingForm::Standard, true, o);
    const Bytes standard = ReadFile(dir / "big.avi");
    ASSERT_GT(standard.size(), 17u << 20);
    for (bool kernel : {true, false}) {
        UseKernelCopy(kernel);
        ASSERT_EQ(ConvertRecording(out(), dir / "big.qmv", true), kConvertDoneWithIndex);
        EXPECT_TRUE(ReadFile(out() / "big.qmv.avi") == standard) << (kernel ? "kernel" : "buffered");
    }
    UseKernelCopy(true);
}

namespace {

// The sample recording and where its parts lie.
struct Sample {
    Bytes bytes = ReadFile(fs::path(QUILLENT_TEST_DATA) / "camera-1ch.qmv");
    AviLayout layout;
    Sample() {
        MemoryByteSource src(bytes.data(), bytes.size());
        EXPECT_TRUE(ParseAviLayout(src, layout, nullptr));
        EXPECT_TRUE(layout.hasIdx1);
    }
    size_t movi() const { return size_t(layout.moviOffset); }
    size_t idx1() const { return size_t(layout.idx1Offset); }
};

Bytes Insert(Bytes b, size_t at, const Bytes& what) {
    b.insert(b.begin() + ptrdiff_t(at), what.begin(), what.end());
    writeLe32(b.data() + 4, uint32_t(b.size() - 8));
    return b;
}

AviLayout LayoutOf(const Bytes& b, bool* ok) {
    MemoryByteSource src(b.data(), b.size());
    AviLayout layout;
    std::string error;
    *ok = ParseAviLayout(src, layout, &error);
    return layout;
}

} // namespace

// Damage as a card holds it: each case gives the result and what the output must be.
TEST_F(ConverterTest, DamagedRecordingsConvertIntoReadableFilesOrSayWhy) {
    const Sample s;
    const Bytes& b = s.bytes;
    auto zeroSizes = [&](Bytes x, std::initializer_list<size_t> at) {
        for (size_t a : at)
            writeLe32(x.data() + a, 0);
        return x;
    };
    struct Case {
        std::string name;
        Bytes file;
        int result;
        int64_t outputSize;          // -1: the source's size
        bool indexed;                // the output carries a usable index
        const Bytes* same = nullptr; // the output equals the conversion of this intact file
        size_t junkAt = 0;           // a chunk that becomes filler
    };
    Bytes zeroedIndex = b;
    std::fill(zeroedIndex.begin() + ptrdiff_t(s.idx1() + 8), zeroedIndex.end(), 0);
    Bytes unfinishedNoIndex = zeroSizes(Bytes(b.begin(), b.begin() + ptrdiff_t(s.idx1())), {4, s.movi() + 4});
    const Bytes unfinished = zeroSizes(b, {4, s.movi() + 4});
    Bytes padded = unfinishedNoIndex;
    padded.resize(padded.size() + (1 << 20), 0);
    Bytes wrongKind = b;
    const std::string record = "02tx";
    const size_t recordAt = size_t(
        std::search(wrongKind.begin() + ptrdiff_t(s.movi()), wrongKind.end(), record.begin(), record.end()) -
        wrongKind.begin());
    ASSERT_LT(recordAt, s.idx1());
    wrongKind[recordAt + 1] = '0'; // a record chunk that names the video stream

    // Sizes changed so that the chunks still line up and no walk can see it: a chunk grown over
    // the chunk after it (a sound frame, a video frame), a sound frame one byte
    // short. With an index and without one.
    std::vector<RiffChunk> chunks;
    {
        MemoryByteSource src(b.data(), b.size());
        WalkMovi(src, s.layout, [&](const RiffChunk& c) { chunks.push_back(c); });
    }
    auto firstPair = [&](char kind, char nextKind) {
        for (size_t i = 0; i + 1 < chunks.size(); ++i)
            if (char(chunks[i].id >> 16) == kind && char(chunks[i + 1].id >> 16) == nextKind &&
                chunks[i].size % 2 == 0 && chunks[i].size >= 4)
                return i;
        ADD_FAILURE() << "no such chunk pair";
        return size_t(0);
    };
    auto resized = [&](const Bytes& file, size_t chunk, uint32_t size) {
        Bytes x = file;
        writeLe32(x.data() + chunks[chunk].offset + 4, size);
        return x;
    };
    const size_t sound = firstPair('w', 'w'), video = firstPair('d', 'd');
    Bytes uncompressedKind = b; // "00dc" with a bit flipped into "00db": H.264 without its start code
    uncompressedKind[chunks[video].offset + 3] = 'b';
    Bytes indexName = b;
    indexName[s.idx1() + 1] = '`';
    auto grown = [&](size_t i) { return uint32_t(chunks[i + 1].next - chunks[i].offset - 8); };
    const std::vector<Case> cases = {
        // An unfinished file whose index size is 0 too: the index keeps its identifier and gets
        // its real size; the movi list gets its own.
        {"zero sizes", zeroSizes(b, {4, s.movi() + 4, s.idx1() + 4}), kConvertDoneWithIndex, -1, true},
        // Cut inside the index: the index is made anew and the movi size ends where it began.
        {"cut in index", Bytes(unfinished.begin(), unfinished.begin() + ptrdiff_t(s.idx1() + 40)),
         kConvertRepaired, int64_t(b.size()), true, &b},
        // An empty chunk in a finished file is empty, not the rest of the file.
        {"empty chunk", Insert(b, s.movi(), Cat({Text("JUNK"), Le32(0)})), kConvertDoneWithIndex, -1, true},
        // A bare list header at the end: the frames stay, the damage is reported.
        {"list eof", Insert(b, b.size(), Cat({Text("LIST"), Le32(0)})), kConvertRepaired, int64_t(b.size()),
         true},
        // An index that does not list the chunks is made anew from them.
        {"zeroed index", zeroedIndex, kConvertRepaired, -1, true, &b},
        // A chunk whose kind does not fit its stream becomes filler; the index lists the others.
        {"wrong kind", wrongKind, kConvertRepaired, int64_t(b.size() - 16), true, nullptr, recordAt},
        // An index whose identifier is damaged in a file closed with one: a new one follows it.
        {"index name", indexName, kConvertRepaired, int64_t(b.size() + 8 + s.layout.idx1Size), true},
        {"uncompressed kind", uncompressedKind, kConvertRepaired, int64_t(b.size() - 16), true, nullptr,
         size_t(chunks[video].offset)},
        // Zeros after an unfinished recording end it.
        {"zero padding", padded, kConvertDone, int64_t(unfinishedNoIndex.size()), false},
        {"sound grown", resized(b, sound, grown(sound)), kConvertRepaired, -1, true, &b},
        {"video grown", resized(b, video, grown(video)), kConvertRepaired, -1, true, &b},
        {"sound one short", resized(b, sound + 1, chunks[sound + 1].size - 1), kConvertRepaired, -1, true,
         &b},
        {"sound grown, no index", resized(unfinishedNoIndex, sound, grown(sound)), kConvertRepaired, -1,
         false, &unfinishedNoIndex},
        {"video grown, no index", resized(unfinishedNoIndex, video, grown(video)), kConvertRepaired, -1,
         false, &unfinishedNoIndex},
        {"sound one short, no index", resized(unfinishedNoIndex, sound + 1, chunks[sound + 1].size - 1),
         kConvertRepaired, -1, false, &unfinishedNoIndex},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path src = dir / (c.name + ".qmv");
        WriteFile(src, c.file);
        std::string why;
        ASSERT_EQ(ConvertRecording(out(), src, true, {}, &why), c.result) << why;
        if (c.result == kConvertRepaired) {
            EXPECT_NE(why.find("damaged"), std::string::npos) << why;
        }
        const Bytes avi = ReadFile(ConvertedPath(out(), src, true));
        EXPECT_EQ(int64_t(avi.size()), c.outputSize < 0 ? int64_t(c.file.size()) : c.outputSize);
        if (c.same) {
            const fs::path intact = dir / "intact.qmv";
            WriteFile(intact, *c.same);
            ASSERT_GE(ConvertRecording(dir.path(), intact, true), kConvertDone);
            EXPECT_TRUE(ReadFile(ConvertedPath(dir.path(), intact, true)) == avi)
                << "the recording as it was";
        }
        bool ok = false;
        const AviLayout l = LayoutOf(avi, &ok);
        ASSERT_TRUE(ok);
        EXPECT_EQ(readLe32(avi.data() + 4), avi.size() - 8);
        EXPECT_EQ(l.moviEnd, l.moviOffset + 8 + readLe32(avi.data() + l.moviOffset + 4)) << "movi size";
        EXPECT_FALSE(l.moviUnfinished || l.moviTruncated);
        EXPECT_EQ(l.hasIdx1, c.indexed);
        MemoryByteSource view(avi.data(), avi.size());
        std::vector<IndexEntry> entries;
        EXPECT_EQ(ReadAviIndex(view, l, entries), c.indexed);
        // The index lists every chunk of the output but filler, in order.
        size_t i = 0;
        WalkMovi(view, l, [&](const RiffChunk& k) {
            if (k.id == fourcc("JUNK") || !c.indexed)
                return;
            ASSERT_LT(i, entries.size());
            EXPECT_EQ(entries[i].id, k.id);
            EXPECT_EQ(entries[i].offset, k.offset);
            EXPECT_EQ(entries[i].size, k.size);
            ++i;
        });
        EXPECT_EQ(i, entries.size());
        if (c.junkAt) {
            EXPECT_EQ(Bytes(avi.begin() + ptrdiff_t(c.junkAt), avi.begin() + ptrdiff_t(c.junkAt) + 4),
                      Text("JUNK"));
        }
        // The reader of the player finds the movie data of the damaged source too.
        std::string error;
        EXPECT_NE(RecordingReader::open(src, &error), nullptr) << error;
    }
}

// A PCM sound frame one byte short whose lost byte was 0 (silence): the pad byte cannot tell, the
// sound's block length can.
TEST_F(ConverterTest, PcmFrameOneByteShortIsSetRight) {
    SyntheticOptions o;
    o.pcm = true;
    WriteSynthetic(dir / "pcm.qmv", RecordingForm::Camera, false, o);
    Bytes b = ReadFile(dir / "pcm.qmv");
    bool ok = false;
    const AviLayout layout = LayoutOf(b, &ok);
    ASSERT_TRUE(ok);
    MemoryByteSource src(b.data(), b.size());
    std::optional<RiffChunk> silent;
    WalkMovi(src, layout, [&](const RiffChunk& c) {
        if (!silent && char(c.id >> 16) == 'w' && b[c.dataOffset() + c.size - 1] == 0)
            silent = c;
    });
    ASSERT_TRUE(silent);
    ASSERT_GE(ConvertRecording(out(), dir / "pcm.qmv", true), kConvertDone);
    const Bytes intact = ReadFile(ConvertedPath(out(), dir / "pcm.qmv", true));
    writeLe32(b.data() + silent->offset + 4, uint32_t(silent->size - 1));
    WriteFile(dir / "short.qmv", b);
    EXPECT_EQ(ConvertRecording(out(), dir / "short.qmv", true), kConvertRepaired);
    EXPECT_TRUE(ReadFile(ConvertedPath(out(), dir / "short.qmv", true)) == intact);
}

TEST_F(ConverterTest, RefusesWhatIsNotARecordingWithoutAnOutput) {
    const fs::path data = QUILLENT_TEST_DATA;
    const Bytes camera = ReadFile(data / "camera-1ch.qmv");
    WriteFile(dir / "twelve.qmv", Cat({Text("RIFF"), Le32(4), Text("AVI ")}));
    // Cut inside the header, and cut before the first frame.
    WriteFile(dir / "cut-header.qmv", Bytes(camera.begin(), camera.begin() + 300));
    WriteFile(dir / "no-frame.qmv", Bytes(camera.begin(), camera.begin() + 470));
    // Sound and records, cut before the first picture.
    const std::string video = "00dc";
    WriteFile(dir / "no-picture.qmv",
              Bytes(camera.begin(), std::search(camera.begin(), camera.end(), video.begin(), video.end())));
    struct Case {
        fs::path source;
        int result;
    };
    for (const Case& c :
         {Case{dir / "twelve.qmv", kConvertShortHeader}, Case{dir / "cut-header.qmv", kConvertShortHeader},
          Case{dir / "no-frame.qmv", kConvertShortHeader}, Case{dir / "no-picture.qmv", kConvertShortHeader},
          Case{data / "eventlog.bin", kConvertShortHeader}, Case{data / "setup.ini", kConvertShortHeader},
          Case{data / "plain.mp4", kConvertIsMp4}, Case{dir.path(), kConvertNoSource}}) {
        std::string why;
        EXPECT_EQ(ConvertRecording(out(), c.source, true, {}, &why), c.result) << c.source;
        EXPECT_FALSE(why.empty());
        EXPECT_FALSE(fs::exists(ConvertedPath(out(), c.source, true))) << c.source;
    }
    std::string why;
    EXPECT_EQ(ConvertRecording(out(), dir / "x" / "missing.qmv", true, {}, &why), kConvertNoSource);
    EXPECT_NE(why.find("No such file"), std::string::npos) << why;
    EXPECT_TRUE(fs::is_empty(out()));
}

TEST_F(ConverterTest, FailureOrCancelKeepsAnEarlierResultAndASourceThatShrinksFails) {
    SyntheticOptions o;
    o.channels = 3;
    o.seconds = 60;
    o.fps = 30;
    o.frameFiller = 3200; // 17 MB: more than one kernel step and buffer
    WriteSynthetic(dir / "big.qmv", RecordingForm::Camera, true, o);
    const Bytes source = ReadFile(dir / "big.qmv");
    const Bytes earlier = Text("an earlier, good result");
    auto stop = [](uint64_t, uint64_t) { return false; };
    for (bool kernel : {true, false}) {
        UseKernelCopy(kernel);
        for (bool toAvi : {true, false}) {
            const fs::path target = ConvertedPath(out(), dir / "big.qmv", toAvi);
            WriteFile(target, earlier);
            EXPECT_EQ(ConvertRecording(out(), dir / "big.qmv", toAvi, stop), kConvertCancelled);
            EXPECT_EQ(ReadFile(target), earlier);
            // The card is pulled half-way: the recording shrinks under the conversion.
            auto shrink = [&](uint64_t, uint64_t) {
                fs::resize_file(dir / "big.qmv", source.size() / 3);
                return true;
            };
            std::string why;
            EXPECT_EQ(ConvertRecording(out(), dir / "big.qmv", toAvi, shrink, &why), kConvertSourceChanged);
            EXPECT_EQ(ReadFile(target), earlier) << why;
            WriteFile(dir / "big.qmv", source);
            WriteFile(out() / "big.qmv", earlier);
            EXPECT_EQ(CopyRecording(out(), dir / "big.qmv", stop), kConvertCancelled);
            EXPECT_EQ(CopyRecording(out(), dir / "big.qmv", shrink), kConvertSourceChanged);
            EXPECT_EQ(ReadFile(out() / "big.qmv"), earlier);
            WriteFile(dir / "big.qmv", source);
        }
    }
    UseKernelCopy(true);
    for (const auto& e : fs::directory_iterator(out()))
        EXPECT_EQ(e.path().string().find(".part"), std::string::npos) << "no temporary file is left";
}
