// The scrambled copy and the way back over synthetic recordings of every form: stream-for-stream
// round trips, the scrambled payloads, the digest catching a changed byte, the converter turning a
// copy into the clear AVI, cancel and refusals leaving nothing behind.
#include "core/container/AviLayout.h"
#include "core/container/FrameScrambler.h"
#include "core/container/RecordingConverter.h"
#include "core/container/RecordingReader.h"
#include "core/container/RepairedView.h"
#include "core/container/Riff.h"
#include "core/container/ScrambledCopy.h"
#include "core/container/ScrambledFrames.h"
#include "support/ContainerFixtures.h"

#include <QCryptographicHash>

#include <gtest/gtest.h>

#include <map>
#include <random>

namespace fs = std::filesystem;

namespace {

using Streams = std::map<int, std::vector<Bytes>>;

// Every chunk of the movi list per stream number, as the player reads the recording.
Streams playerStreams(const fs::path& path) {
    std::string error;
    auto view = RepairedView::open(path, &error);
    EXPECT_TRUE(view) << error;
    if (!view)
        return {};
    Bytes bytes(view->size());
    EXPECT_EQ(view->read(0, bytes.data(), bytes.size()), int64_t(bytes.size()));
    MemoryByteSource src(bytes.data(), bytes.size());
    AviLayout layout;
    EXPECT_TRUE(ParseAviLayout(src, layout, &error)) << error;
    Streams streams;
    WalkMovi(src, layout, [&](const RiffChunk& c) {
        Bytes data(c.size);
        src.readExact(c.dataOffset(), data.data(), data.size());
        streams[chunkStreamNumber(c.id)].push_back(std::move(data));
    });
    return streams;
}

// Video payloads after the 4-byte prefix, straight from the file.
std::vector<Bytes> rawVideoPayloads(const fs::path& path) {
    Bytes bytes = ReadFile(path);
    MemoryByteSource src(bytes.data(), bytes.size());
    AviLayout layout;
    std::vector<Bytes> out;
    if (!ParseAviLayout(src, layout, nullptr))
        return out;
    WalkMovi(src, layout, [&](const RiffChunk& c) {
        if (isVideoChunkId(c.id) && c.size > 4)
            out.emplace_back(bytes.begin() + long(c.dataOffset() + 4),
                             bytes.begin() + long(c.dataOffset() + c.size));
    });
    return out;
}

struct Case {
    const char* name;
    RecordingForm form;
    bool finished;
    bool pcm;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

class ScrambledCopyTest : public ::testing::TestWithParam<Case> {
protected:
    TempDir dir;
};

} // namespace

TEST_P(ScrambledCopyTest, RoundTripKeepsEveryStreamAndScramblesThePictures) {
    const Case& c = GetParam();
    SyntheticOptions o;
    o.pcm = c.pcm;
    const fs::path source = dir / "RTC20261207_080000.qmv";
    WriteSynthetic(source, c.form, c.finished, o);
    const Streams original = playerStreams(source);
    ASSERT_EQ(original.size(), 4u); // two channels, sound, records

    const fs::path copy = dir / "copy.qmv";
    CopyOutcome r = ScrambledCopy(copy, source);
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_TRUE(IsScrambledRecording(copy));
    EXPECT_FALSE(IsScrambledRecording(source));
    EXPECT_EQ(VerifyScrambledCopy(copy).code, kConvertDone);

    // The player sees the clear recording; the file itself holds no clear picture payload.
    EXPECT_EQ(playerStreams(copy), original);
    const auto scrambled = rawVideoPayloads(copy);
    const auto sourcePayloads = rawVideoPayloads(source);
    ASSERT_EQ(scrambled.size(), sourcePayloads.size());
    for (size_t i = 0; i < scrambled.size(); ++i)
        EXPECT_NE(scrambled[i], sourcePayloads[i]) << "frame " << i;
    // Records and sound stay readable by the reader as they were.
    auto reader = RecordingReader::open(copy, nullptr);
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->info().videoChannels, 2);
    EXPECT_TRUE(reader->info().hasIndex);

    for (ClearForm form : {ClearForm::Camera, ClearForm::StandardAvi}) {
        const fs::path back = dir / (form == ClearForm::Camera ? "back.qmv" : "back.avi");
        r = UnscrambledCopy(back, copy, form);
        ASSERT_TRUE(r.ok()) << r.error;
        EXPECT_FALSE(IsScrambledRecording(back));
        EXPECT_EQ(playerStreams(back), original);
        const Bytes head = ReadFile(back);
        EXPECT_EQ(readLe32(head.data()) == kFccRiff, form == ClearForm::StandardAvi);
    }
    // The converter turns the copy into the clear AVI; of a finished camera recording that is the
    // very file the conversion of the source gives.
    fs::create_directories(dir / "a");
    fs::create_directories(dir / "b");
    EXPECT_GE(ConvertRecording(dir / "a", copy, true), 0);
    EXPECT_GE(ConvertRecording(dir / "b", source, true), 0);
    EXPECT_EQ(playerStreams(dir / "a" / "copy.qmv.avi"), original);
    if (c.form == RecordingForm::Camera && c.finished) {
        EXPECT_EQ(ReadFile(dir / "a" / "copy.qmv.avi"), ReadFile(dir / "b" / "RTC20261207_080000.qmv.avi"));
    }
}

INSTANTIATE_TEST_SUITE_P(Forms, ScrambledCopyTest,
                         ::testing::Values(Case{"CameraFinished", RecordingForm::Camera, true, false},
                                           Case{"CameraUnfinished", RecordingForm::Camera, false, false},
                                           Case{"StandardPcm", RecordingForm::Standard, true, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ScrambledCopy, AChangedByteIsReportedAndNothingIsWritten) {
    TempDir dir;
    WriteSynthetic(dir / "a.qmv", RecordingForm::Camera, true);
    ASSERT_TRUE(ScrambledCopy(dir / "copy.qmv", dir / "a.qmv").ok());
    const Bytes good = ReadFile(dir / "copy.qmv");
    for (size_t at : {size_t(30), good.size() / 2, good.size() - 3}) {
        Bytes bad = good;
        bad[at] ^= 0x01;
        WriteFile(dir / "copy.qmv", bad);
        EXPECT_EQ(VerifyScrambledCopy(dir / "copy.qmv").code, kConvertDamaged) << at;
        CopyOutcome r = UnscrambledCopy(dir / "back.qmv", dir / "copy.qmv", ClearForm::Camera);
        EXPECT_EQ(r.code, kConvertDamaged) << at;
        EXPECT_NE(r.error.find("changed"), std::string::npos);
        EXPECT_FALSE(fs::exists(dir / "back.qmv"));
        fs::create_directories(dir / "out");
        EXPECT_EQ(ConvertRecording(dir / "out", dir / "copy.qmv", true), kConvertDamaged);
        EXPECT_FALSE(fs::exists(dir / "out" / "copy.qmv.avi"));
    }
}

TEST(ScrambledCopy, CancelAndRefusalsLeaveNothingBehind) {
    TempDir dir;
    SyntheticOptions o;
    o.frameFiller = 40000; // several progress steps
    WriteSynthetic(dir / "a.qmv", RecordingForm::Camera, true, o);
    int calls = 0;
    CopyOutcome r =
        ScrambledCopy(dir / "copy.qmv", dir / "a.qmv", [&](uint64_t, uint64_t) { return ++calls < 2; });
    EXPECT_EQ(r.code, kConvertCancelled);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1)
        << "only the source";

    EXPECT_EQ(ScrambledCopy(dir / "a.qmv", dir / "a.qmv").code, kConvertNoOutput);
    EXPECT_EQ(ScrambledCopy(dir / "x.qmv", dir / "missing.qmv").code, kConvertNoSource);
    EXPECT_EQ(VerifyScrambledCopy(dir / "a.qmv").code, kConvertNoSource) << "not a scrambled copy";
    EXPECT_EQ(UnscrambledCopy(dir / "x.qmv", dir / "a.qmv", ClearForm::Camera).code, kConvertNoSource);
    EXPECT_FALSE(fs::exists(dir / "x.qmv"));
}

TEST(ScrambledCopy, KeyStreamIsChaCha20AddressedByFileOffset) {
    // Copies made by earlier versions must stay readable: the key stream is RFC 8439 ChaCha20 with
    // the built-in key, block counter = offset / 64 (values checked against another ChaCha20).
    std::array<uint8_t, 12> nonce;
    for (int i = 0; i < 12; ++i)
        nonce[size_t(i)] = uint8_t(i + 1);
    const FrameScrambler scrambler(nonce);
    const struct {
        uint64_t offset;
        std::array<uint8_t, 8> bytes;
    } cases[] = {
        {0, {0x83, 0x19, 0x84, 0x8a, 0x49, 0x99, 0xdf, 0x5f}},
        {1000, {0xee, 0x9d, 0x81, 0xd7, 0xfe, 0x91, 0x68, 0x6c}},
        {123456789, {0x31, 0x84, 0x45, 0xac, 0x09, 0x6c, 0xd7, 0x42}},
    };
    for (const auto& c : cases) {
        std::array<uint8_t, 8> data{};
        scrambler.apply(c.offset, data.data(), data.size());
        EXPECT_EQ(data, c.bytes) << c.offset;
    }
    // Any split of a range gives the same bytes.
    Bytes whole(1000, 0x5a), parts = whole;
    scrambler.apply(777, whole.data(), whole.size());
    for (size_t at = 0; at < parts.size(); at += 37)
        scrambler.apply(777 + at, parts.data() + at, std::min<size_t>(37, parts.size() - at));
    EXPECT_EQ(whole, parts);
}

namespace {

// The key stream loop earlier versions scrambled with: RFC 8439 ChaCha20, one block at a time,
// counter = offset / 64 kept to 32 bits. Stored copies were written with it.
struct LoopScrambler {
    std::array<uint32_t, 16> state{};
    LoopScrambler(const std::array<uint8_t, 12>& nonce, const uint8_t key[32]) {
        state[0] = 0x61707865, state[1] = 0x3320646e, state[2] = 0x79622d32, state[3] = 0x6b206574;
        for (int i = 0; i < 8; ++i)
            state[size_t(4 + i)] = readLe32(key + 4 * i);
        for (int i = 0; i < 3; ++i)
            state[size_t(13 + i)] = readLe32(nonce.data() + 4 * i);
    }
    static uint32_t rotl(uint32_t v, int c) { return (v << c) | (v >> (32 - c)); }
    void block(uint32_t counter, uint8_t out[64]) const {
        std::array<uint32_t, 16> x = state;
        x[12] = counter;
        const std::array<uint32_t, 16> in = x;
        auto q = [&x](int a, int b, int c, int d) {
            x[a] += x[b], x[d] = rotl(x[d] ^ x[a], 16);
            x[c] += x[d], x[b] = rotl(x[b] ^ x[c], 12);
            x[a] += x[b], x[d] = rotl(x[d] ^ x[a], 8);
            x[c] += x[d], x[b] = rotl(x[b] ^ x[c], 7);
        };
        for (int i = 0; i < 10; ++i) {
            q(0, 4, 8, 12), q(1, 5, 9, 13), q(2, 6, 10, 14), q(3, 7, 11, 15);
            q(0, 5, 10, 15), q(1, 6, 11, 12), q(2, 7, 8, 13), q(3, 4, 9, 14);
        }
        for (int i = 0; i < 16; ++i)
            writeLe32(out + 4 * i, x[size_t(i)] + in[size_t(i)]);
    }
    void apply(uint64_t offset, uint8_t* data, size_t n) const {
        uint8_t ks[64];
        for (size_t i = 0; i < n; ++i) {
            const uint64_t at = offset + i;
            if (i == 0 || at % 64 == 0)
                block(uint32_t(at / 64), ks);
            data[i] ^= ks[at % 64];
        }
    }
};

// The program's built-in key, as FrameScrambler holds it.
constexpr uint8_t kKey[32] = {0x51, 0x75, 0x69, 0x6c, 0x6c, 0x65, 0x6e, 0x74, 0x9e, 0x37, 0x79,
                              0xb9, 0x7f, 0x4a, 0x7c, 0x15, 0xf3, 0x9c, 0xc0, 0x60, 0x5c, 0xed,
                              0xc8, 0x34, 0x10, 0x82, 0x27, 0x6b, 0xf3, 0xa2, 0x72, 0x39};

} // namespace

TEST(ScrambledCopy, LibraryKeyStreamEqualsTheEarlierLoopAtEveryOffsetAndSize) {
    std::array<uint8_t, 12> nonce;
    for (int i = 0; i < 12; ++i)
        nonce[size_t(i)] = uint8_t(0xA0 + 7 * i);
    const FrameScrambler scrambler(nonce);
    const LoopScrambler loop(nonce, kKey);
    constexpr uint64_t kWrap = uint64_t(1) << 38; // where the 32-bit block counter wraps
    const struct {
        uint64_t offset;
        size_t size;
    } cases[] = {
        {0, 0},           {0, 1},         {0, 64},          {0, 65},          {5, 3},
        {63, 2},          {64, 64},       {100, 1000},      {4095, 4097},     {12, 511},
        {1000, 512},      {333, 65536},   {7, 1u << 20},    {123456789, 777}, {(1u << 31) + 61, 200},
        {kWrap - 70, 140}, {kWrap - 64, 64}, {kWrap + 3, 100},
    };
    std::mt19937 random(11);
    for (const auto& c : cases) {
        Bytes plain(c.size);
        for (auto& b : plain)
            b = uint8_t(random());
        Bytes expected = plain, inPlace = plain, apart(c.size);
        loop.apply(c.offset, expected.data(), expected.size());
        scrambler.apply(c.offset, inPlace.data(), inPlace.size());
        scrambler.apply(c.offset, plain.data(), apart.data(), plain.size());
        EXPECT_TRUE(inPlace == expected) << c.offset << " + " << c.size;
        EXPECT_TRUE(apart == expected) << c.offset << " + " << c.size << " (into another buffer)";
    }
}

TEST(ScrambledCopy, DigestIsBlake2b256OfTheFileWithItsFieldReadAsZero) {
    // Earlier versions checked copies with Qt's BLAKE2b-256; the digest a copy carries must be that.
    TempDir dir;
    SyntheticOptions o;
    o.channels = 3;
    o.seconds = 8;
    o.fps = 30;
    o.frameFiller = 3000; // several output buffers and digest steps
    WriteSynthetic(dir / "a.qmv", RecordingForm::Camera, true, o);
    WriteSynthetic(dir / "b.qmv", RecordingForm::Camera, false, o);
    for (const char* name : {"a.qmv", "b.qmv"}) {
        ASSERT_TRUE(ScrambledCopy(dir / "copy.qmv", dir / name).ok()) << name;
        Bytes bytes = ReadFile(dir / "copy.qmv");
        MemoryByteSource src(bytes.data(), bytes.size());
        AviLayout layout;
        ASSERT_TRUE(ParseAviLayout(src, layout, nullptr));
        const auto chunk = FindScrambleChunk(src, layout);
        ASSERT_TRUE(chunk) << name;
        const size_t at = size_t(chunk->offset + 8 + ScrambleHeader::kDigestOffset);
        std::fill(bytes.begin() + long(at), bytes.begin() + long(at + 32), 0);
        const QByteArray digest = QCryptographicHash::hash(
            QByteArrayView(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())),
            QCryptographicHash::Blake2b_256);
        EXPECT_EQ(Bytes(digest.begin(), digest.end()),
                  Bytes(chunk->header.digest.begin(), chunk->header.digest.end()))
            << name;
        EXPECT_EQ(VerifyScrambledCopy(dir / "copy.qmv").code, kConvertDone) << name;
    }
}
