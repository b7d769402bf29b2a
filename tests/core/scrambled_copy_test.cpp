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
#include "support/ContainerFixtures.h"

#include <gtest/gtest.h>

#include <map>

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
