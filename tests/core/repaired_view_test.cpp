// The repaired view the player reads: equal byte for byte to the standard AVI of the same
// recording whether the camera finished the file or not, reads at any offset and length agree with
// one whole read, and standard files pass unchanged.
#include "core/container/RecordingConverter.h"
#include "core/container/RepairedView.h"
#include "core/container/Riff.h"
#include "support/ContainerFixtures.h"

#include <gtest/gtest.h>

#include <random>
#include <thread>

namespace fs = std::filesystem;

namespace {

Bytes ReadAll(RepairedView& view) {
    Bytes out(size_t(view.size()));
    EXPECT_EQ(view.read(0, out.data(), out.size()), int64_t(out.size()));
    return out;
}

std::unique_ptr<RepairedView> Open(const fs::path& path) {
    std::string error;
    auto view = RepairedView::open(path, &error);
    EXPECT_TRUE(view) << error;
    return view;
}

} // namespace

TEST(RepairedView, CameraFormEqualsStandardFormFinishedOrNot) {
    TempDir dir;
    for (bool pcm : {false, true}) {
        SyntheticOptions o;
        o.pcm = pcm;
        o.channels = pcm ? 1 : 3;
        WriteSynthetic(dir / "std.avi", RecordingForm::Standard, true, o);
        WriteSynthetic(dir / "cam.qmv", RecordingForm::Camera, true, o);
        WriteSynthetic(dir / "unfinished.qmv", RecordingForm::Camera, false, o);
        const Bytes standard = ReadFile(dir / "std.avi");
        for (const char* name : {"cam.qmv", "unfinished.qmv"}) {
            auto view = Open(dir / name);
            ASSERT_TRUE(view);
            EXPECT_TRUE(view->isRepaired());
            EXPECT_EQ(view->size(), standard.size()) << name;
            EXPECT_EQ(ReadAll(*view), standard) << name << (pcm ? " pcm" : " aac");
        }
        auto plain = Open(dir / "std.avi");
        ASSERT_TRUE(plain);
        EXPECT_FALSE(plain->isRepaired());
        EXPECT_EQ(ReadAll(*plain), standard);
    }
}

TEST(RepairedView, EqualsTheConverterOutputOfAFinishedRecording) {
    TempDir dir;
    WriteSynthetic(dir / "cam.qmv", RecordingForm::Camera, true);
    ASSERT_EQ(ConvertRecording(dir.path(), dir / "cam.qmv", true), kConvertDoneWithIndex);
    auto view = Open(dir / "cam.qmv");
    ASSERT_TRUE(view);
    EXPECT_EQ(ReadAll(*view), ReadFile(dir / "cam.qmv.avi"));
}

TEST(RepairedView, PiecewiseReadsFromManyThreadsAgreeWithOneRead) {
    TempDir dir;
    WriteSynthetic(dir / "u.qmv", RecordingForm::Camera, false);
    auto view = Open(dir / "u.qmv");
    ASSERT_TRUE(view);
    const Bytes whole = ReadAll(*view);
    auto worker = [&](unsigned seed, bool* ok) {
        std::mt19937 rng(seed);
        for (int i = 0; i < 400; ++i) {
            uint64_t offset = rng() % (whole.size() + 10);
            size_t len = 1 + rng() % (i % 2 ? 7 : 5000);
            Bytes part(len);
            int64_t got = view->read(offset, part.data(), len);
            size_t expected = offset >= whole.size() ? 0 : std::min<size_t>(len, whole.size() - offset);
            if (got != int64_t(expected) ||
                !std::equal(part.begin(), part.begin() + expected,
                            whole.begin() + std::min<size_t>(offset, whole.size())))
                *ok = false;
        }
    };
    bool ok[3] = {true, true, true};
    std::thread a(worker, 1, &ok[0]), b(worker, 2, &ok[1]), c(worker, 3, &ok[2]);
    a.join();
    b.join();
    c.join();
    EXPECT_TRUE(ok[0] && ok[1] && ok[2]);
}

TEST(RepairedView, TruncatedRecordingServesItsCompleteChunksWithANewIndex) {
    TempDir dir;
    WriteSynthetic(dir / "full.avi", RecordingForm::Standard, true);
    WriteSynthetic(dir / "full.qmv", RecordingForm::Camera, true);
    Bytes full = ReadFile(dir / "full.qmv");
    WriteFile(dir / "cut.qmv", Bytes(full.begin(), full.begin() + full.size() * 3 / 5 + 1));
    auto view = Open(dir / "cut.qmv");
    ASSERT_TRUE(view);
    const Bytes v = ReadAll(*view);
    const Bytes standard = ReadFile(dir / "full.avi");
    EXPECT_EQ(readLe32(v.data() + 4), v.size() - 8);
    const auto idx = std::search(v.begin(), v.end(), std::begin("idx1"), std::end("idx1") - 1);
    ASSERT_NE(idx, v.end());
    const size_t moviEnd = size_t(idx - v.begin());
    EXPECT_EQ(readLe32(&*idx + 4) % 16, 0u);
    // The movie data is the standard file's, cut at a chunk boundary.
    const size_t moviData = 12 + readLe32(standard.data() + 16) + 8 + 12;
    EXPECT_TRUE(std::equal(v.begin() + moviData, v.begin() + moviEnd, standard.begin() + moviData));
    // Every index entry points at a chunk with its identifier.
    for (size_t e = moviEnd + 8; e + 16 <= v.size(); e += 16) {
        const size_t at = moviData - 4 + readLe32(&v[e + 8]);
        ASSERT_LT(at + 8, v.size());
        EXPECT_EQ(readLe32(&v[at]), readLe32(&v[e]));
    }
}

TEST(RepairedView, RefusesWhatIsNoRecording) {
    TempDir dir;
    std::string error;
    EXPECT_FALSE(RepairedView::open(dir / "missing.qmv", &error));
    EXPECT_FALSE(error.empty());
    WriteFile(dir / "text.qmv", Text("this is not a recording at all, just text"));
    error.clear();
    EXPECT_FALSE(RepairedView::open(dir / "text.qmv", &error));
    EXPECT_NE(error.find("not a camera recording"), std::string::npos) << error;
    // A header list and no movie data.
    Bytes noMovi = Cat({Text("RIFF"), Le32(0), Text("AVI "), List("hdrl", Chunk("avih", Bytes(56, 0)))});
    WriteFile(dir / "nomovi.qmv", noMovi);
    EXPECT_FALSE(RepairedView::open(dir / "nomovi.qmv", &error));
}

TEST(RepairedView, BrokenSamplesNeverCrashAndReadConsistently) {
    for (const auto& entry : fs::directory_iterator(QUILLENT_TEST_DATA)) {
        const auto ext = entry.path().extension();
        if (ext != ".qmv" && ext != ".avi")
            continue;
        std::string error;
        auto view = RepairedView::open(entry.path(), &error);
        if (!view) {
            EXPECT_FALSE(error.empty()) << entry.path();
            continue;
        }
        Bytes whole(size_t(view->size()));
        EXPECT_EQ(view->read(0, whole.data(), whole.size()), int64_t(whole.size())) << entry.path();
        EXPECT_EQ(Bytes(whole.begin(), whole.begin() + 4), Text("RIFF"));
        EXPECT_EQ(readLe32(whole.data() + 4), whole.size() - 8) << entry.path();
    }
}
