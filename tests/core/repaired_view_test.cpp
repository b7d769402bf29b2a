// The repaired view the player reads: equal byte for byte to the standard AVI of the same
// recording whether the camera finished the file or not, reads at any offset and length agree with
// one whole read, and standard files pass unchanged.
#include "core/container/RecordingConverter.h"
#include "core/container/RepairedView.h"
#include "core/container/Riff.h"
#include "support/ContainerFixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
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

namespace {

// A file read through a counter of the bytes it served.
class CountedFile : public ByteSource {
public:
    CountedFile(const fs::path& path, uint64_t* bytes) : m_file(FileByteSource::open(path, nullptr)), m_bytes(bytes) {}
    uint64_t size() const override { return m_file->size(); }
    int64_t readAt(uint64_t offset, void* buf, size_t len) const override {
        const int64_t got = m_file->readAt(offset, buf, len);
        if (got > 0)
            *m_bytes += uint64_t(got);
        return got;
    }

private:
    std::unique_ptr<FileByteSource> m_file;
    uint64_t* m_bytes;
};

// The view of `path` with the bytes its open read; null when it does not open.
std::unique_ptr<RepairedView> OpenCounted(const fs::path& path, uint64_t* bytesRead) {
    *bytesRead = 0;
    std::string error;
    auto view = RepairedView::open(std::make_unique<CountedFile>(path, bytesRead), path.filename().string(), &error);
    EXPECT_TRUE(view) << error;
    return view;
}

} // namespace

// A long finished recording opens from its index, reading a small part of the file; one whose
// index is cut, damaged or does not match its chunks is walked and gets an index that does.
TEST(RepairedViewOpen, FinishedRecordingOpensFromItsIndexOthersAreWalked) {
    TempDir dir;
    SyntheticOptions o;
    o.channels = 3;
    o.seconds = 60;
    o.fps = 10;
    o.frameFiller = 6000;
    WriteSynthetic(dir / "long.avi", RecordingForm::Standard, true, o);
    WriteSynthetic(dir / "long.qmv", RecordingForm::Camera, true, o);
    const Bytes standard = ReadFile(dir / "long.avi");
    const Bytes camera = ReadFile(dir / "long.qmv");
    ASSERT_GT(camera.size(), 10u << 20);

    // Where the index lies, and a copy with one of its entries changed.
    const size_t idx1 = size_t(std::search(camera.begin(), camera.end(), std::begin("idx1"), std::end("idx1") - 1) -
                               camera.begin());
    ASSERT_LT(idx1, camera.size());
    const size_t entries = readLe32(&camera[idx1 + 4]) / 16;
    auto withEntry = [&](size_t entry, size_t field, uint32_t value) {
        Bytes b = camera;
        writeLe32(&b[idx1 + 8 + entry * 16 + field], value);
        return b;
    };
    struct Case {
        const char* name;
        Bytes bytes;
        bool fromIndex;
    };
    const Case cases[] = {
        {"finished", camera, true},
        {"index cut", Bytes(camera.begin(), camera.begin() + idx1 + 8 + entries * 8), false},
        {"an entry's size wrong", withEntry(entries / 3, 12, readLe32(&camera[idx1 + 8 + entries / 3 * 16 + 12]) + 2),
         false},
        {"first entry names another stream", withEntry(0, 0, fourcc("01dc")), false},
        {"last entry names a video channel", withEntry(entries - 1, 0, fourcc("02dc")), false},
        {"index gone", Bytes(camera.begin(), camera.begin() + idx1), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(dir / "case.qmv", c.bytes);
        uint64_t read = 0;
        auto view = OpenCounted(dir / "case.qmv", &read);
        ASSERT_TRUE(view);
        if (c.fromIndex) {
            EXPECT_LT(read, c.bytes.size() / 20) << read << " bytes read of " << c.bytes.size();
            EXPECT_EQ(ReadAll(*view), standard);
            continue;
        }
        EXPECT_GT(read, c.bytes.size() / 20);
        // The movie data as in the standard file, and an index of the chunks that are there.
        const Bytes v = ReadAll(*view);
        EXPECT_EQ(readLe32(v.data() + 4), v.size() - 8);
        const size_t moviData = idx1; // the movi list ends where the index began
        EXPECT_TRUE(std::equal(v.begin() + 12, v.begin() + moviData, standard.begin() + 12));
        ASSERT_EQ(std::string(v.begin() + moviData, v.begin() + moviData + 4), "idx1");
        const size_t moviBase = 12 + readLe32(standard.data() + 16) + 8 + 8;
        size_t checked = 0;
        for (size_t e = moviData + 8; e + 16 <= v.size(); e += 16, ++checked) {
            const size_t at = moviBase + readLe32(&v[e + 8]);
            ASSERT_LT(at + 8, v.size());
            ASSERT_EQ(readLe32(&v[at]), readLe32(&v[e]));
            ASSERT_EQ(readLe32(&v[at + 4]), readLe32(&v[e + 12]));
        }
        EXPECT_EQ(checked, entries);
    }
}
