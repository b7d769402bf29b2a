// Outputs under hostile input: every writer goes through the one safe writer (no link planted at
// its temporary name followed, no device or pipe replaced), a scrambled copy whose announcement
// was changed is never taken for a clear recording, and a stream header players would reject is
// left out of a conversion.
#include "core/camera/CWBCIniLoader.h"
#include "core/camera/SetupRecord.h"
#include "core/common/ByteSource.h"
#include "core/common/FileReplace.h"
#include "core/common/ReplacingWriter.h"
#include "core/container/AviLayout.h"
#include "core/container/ChannelMerge.h"
#include "core/container/RecordingConverter.h"
#include "core/container/RecordingReader.h"
#include "core/container/RepairedView.h"
#include "core/container/Riff.h"
#include "core/container/ScrambledCopy.h"
#include "core/tools/EventLog.h"
#include "core/tools/RecordingTrash.h"
#include "support/ContainerFixtures.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Where a scrambled copy's announcement chunk starts.
size_t announcementAt(const Bytes& b) {
    for (size_t i = 12; i + 4 <= b.size(); ++i)
        if (readLe32(b.data() + i) == fourcc("qscr"))
            return i;
    return 0;
}

struct Writer {
    const char* name;
    std::function<bool(const fs::path& target)> write; // true when it says it wrote
};

// The project's writers of output files, each writing `target` from the sources in `dir`.
std::vector<Writer> writers(const TempDir& dir) {
    const fs::path recording = dir / "a.qmv", copy = dir / "copy.qmv", log = dir / "event.bin";
    return {
        {"scrambled copy", [=](const fs::path& t) { return ScrambledCopy(t, recording).ok(); }},
        {"clear copy", [=](const fs::path& t) { return UnscrambledCopy(t, copy, ClearForm::Camera).ok(); }},
        {"clear AVI copy", [=](const fs::path& t) { return UnscrambledCopy(t, copy, ClearForm::StandardAvi).ok(); }},
        {"merge", [=](const fs::path& t) { return MergeChannel(t, {recording}, 0).ok; }},
        {"event log CSV", [=](const fs::path& t) { return ExportEventLog(log, t).ok; }},
        {"setup file", [=](const fs::path& t) { return SaveSetupFile(t, DefaultSetupRecord()).ok; }},
        {"setup.ini",
         [=](const fs::path& t) {
             CWBCIniLoader ini;
             RegisterQuickSettingItems(ini);
             return ini.Save(t);
         }},
        {"whole file", [=](const fs::path& t) { return ReplaceFileContents(t, "bytes").empty(); }},
    };
}

// The converter names its output after the source: it is checked apart.
fs::path convertedTarget(const TempDir& dir) {
    return dir / "out" / "copy.qmv.avi";
}

class SafeWriters : public ::testing::Test {
protected:
    void SetUp() override {
        WriteSynthetic(dir / "a.qmv", RecordingForm::Camera, true);
        ASSERT_TRUE(ScrambledCopy(dir / "copy.qmv", dir / "a.qmv").ok());
        EventLogRecord e;
        e.ordering = 1;
        e.year = 26, e.month = 12, e.day = 7, e.hour = 8;
        const auto bytes = EncodeEventLogRecord(e);
        WriteFile(dir / "event.bin", Bytes(bytes.begin(), bytes.end()));
        WriteFile(dir / "victim", Bytes{'k', 'e', 'e', 'p'});
        fs::create_directories(dir / "out");
    }
    // Links at every name a writer may use for its temporary file, all to the victim.
    void plantLinks(const fs::path& target) {
        for (const fs::path& temp :
             {target.parent_path() / ("." + target.filename().string() + ".part"),
              fs::path(target.string() + ".part"), fs::path(target.string() + ".part" + std::to_string(::getpid()))}) {
            std::error_code ec;
            fs::remove(temp, ec);
            fs::create_symlink(dir / "victim", temp);
        }
    }
    TempDir dir;
};

} // namespace

TEST_F(SafeWriters, NoWriterFollowsALinkAtItsTemporaryName) {
    std::vector<std::pair<std::string, std::function<bool(const fs::path&)>>> all;
    for (const Writer& w : writers(dir))
        all.emplace_back(w.name, w.write);
    all.emplace_back("conversion", [&](const fs::path&) {
        return ConvertRecording(dir / "out", dir / "copy.qmv", true) >= 0;
    });
    all.emplace_back("plain conversion", [&](const fs::path&) {
        return ConvertRecording(dir / "out", dir / "a.qmv", true) >= 0;
    });
    all.emplace_back("copy to a folder", [&](const fs::path&) {
        return CopyRecording(dir / "out", dir / "a.qmv") >= 0;
    });
    for (const auto& [name, write] : all) {
        SCOPED_TRACE(name);
        const fs::path target = name == "conversion"         ? convertedTarget(dir)
                                : name == "plain conversion" ? dir / "out" / "a.qmv.avi"
                                : name == "copy to a folder" ? dir / "out" / "a.qmv"
                                                             : dir / "out" / "target";
        std::error_code ec;
        fs::remove(target, ec);
        plantLinks(target);
        EXPECT_TRUE(write(target));
        EXPECT_EQ(ReadText(dir / "victim"), "keep") << "the file a planted link names is untouched";
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(target)));
    }
}

TEST_F(SafeWriters, NoWriterReplacesADeviceOrAPipe) {
    const fs::path fifo = dir / "out" / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // A device node where the system lets this user make one (as root, as CI runs).
    const fs::path device = dir / "out" / "null";
    const bool haveDevice = ::mknod(device.c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0;
    std::vector<fs::path> targets = {fifo};
    if (haveDevice)
        targets.push_back(device);
    for (const fs::path& target : targets) {
        for (const Writer& w : writers(dir)) {
            SCOPED_TRACE(std::string(w.name) + " onto " + target.filename().string());
            EXPECT_FALSE(w.write(target));
            struct stat st {};
            ASSERT_EQ(::lstat(target.c_str(), &st), 0);
            EXPECT_TRUE(target == fifo ? S_ISFIFO(st.st_mode) : S_ISCHR(st.st_mode)) << "never replaced";
        }
    }
    // The conversion's target name made a pipe.
    const fs::path converted = convertedTarget(dir), plain = dir / "out" / "a.qmv.avi";
    ASSERT_EQ(::mkfifo(converted.c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(plain.c_str(), 0600), 0);
    EXPECT_LT(ConvertRecording(dir / "out", dir / "copy.qmv", true), 0);
    EXPECT_LT(ConvertRecording(dir / "out", dir / "a.qmv", true), 0);
    EXPECT_TRUE(fs::is_fifo(converted));
    EXPECT_TRUE(fs::is_fifo(plain));
    for (const auto& e : fs::directory_iterator(dir / "out"))
        EXPECT_EQ(e.path().string().find(".part"), std::string::npos) << "no temporary left";
}

TEST(SafeWriter, ANewFileNeverReplacesOneThatAppeared) {
    TempDir dir;
    ReplacingWriter w(dir / "a.qmv", ReplacingWriter::Sync::Always, ReplacingWriter::Mode::NewFile);
    ASSERT_TRUE(w.isOpen());
    ASSERT_TRUE(w.write("new"));
    WriteFile(dir / "a.qmv", Bytes{'o', 'l', 'd'});
    EXPECT_FALSE(w.commit());
    EXPECT_TRUE(w.targetTaken());
    EXPECT_EQ(ReadText(dir / "a.qmv"), "old");

    ReplacingWriter again(dir / "b.qmv", ReplacingWriter::Sync::Always, ReplacingWriter::Mode::NewFile);
    again.setChooseAgain([&](const fs::path&) { return dir / "b (2).qmv"; });
    ASSERT_TRUE(again.write("new"));
    WriteFile(dir / "b.qmv", Bytes{'o', 'l', 'd'});
    ASSERT_TRUE(again.commit()) << again.error();
    EXPECT_EQ(again.target(), dir / "b (2).qmv");
    EXPECT_EQ(ReadText(dir / "b.qmv"), "old");
    EXPECT_EQ(ReadText(dir / "b (2).qmv"), "new");
}

// One bit of the announcement's chunk id, magic, version or key id changed: every reader says the
// copy was changed, and nothing takes it for a clear recording.
TEST(ChangedAnnouncement, EveryReaderReportsAChangedCopy) {
    TempDir dir;
    WriteSynthetic(dir / "a.qmv", RecordingForm::Camera, true);
    ASSERT_TRUE(ScrambledCopy(dir / "copy.qmv", dir / "a.qmv").ok());
    const Bytes good = ReadFile(dir / "copy.qmv");
    const size_t chunk = announcementAt(good);
    ASSERT_GT(chunk, 0u);
    const struct {
        const char* field;
        size_t offset; // from the chunk header
    } fields[] = {{"id", 0}, {"id", 3}, {"magic", 8}, {"magic", 11}, {"version", 12}, {"key id", 16}};
    for (const auto& f : fields) {
        for (int bit : {0, 5}) {
            SCOPED_TRACE(std::string(f.field) + " byte " + std::to_string(f.offset) + " bit " + std::to_string(bit));
            Bytes bad = good;
            bad[chunk + f.offset] ^= uint8_t(1u << bit);
            const fs::path file = dir / "changed.qmv";
            WriteFile(file, bad);

            EXPECT_TRUE(IsScrambledRecording(file));
            CopyOutcome verified = VerifyScrambledCopy(file);
            EXPECT_EQ(verified.code, kConvertDamaged);
            EXPECT_NE(verified.error.find("changed"), std::string::npos) << verified.error;
            EXPECT_EQ(UnscrambledCopy(dir / "back.qmv", file, ClearForm::Camera).code, kConvertDamaged);
            fs::create_directories(dir / "out");
            std::string why;
            EXPECT_EQ(ConvertRecording(dir / "out", file, true, {}, &why), kConvertDamaged);
            EXPECT_NE(why.find("changed"), std::string::npos) << why;
            EXPECT_EQ(ConvertRecording(dir / "out", file, false), kConvertDamaged);
            EXPECT_TRUE(fs::is_empty(dir / "out"));
            MergeOutcome merged = MergeChannel(dir / "merged.qmv", {file}, 0);
            EXPECT_FALSE(merged.ok);
            EXPECT_NE(merged.error.find("changed"), std::string::npos) << merged.error;
            std::string error;
            EXPECT_FALSE(RepairedView::open(file, &error)) << "the player never serves it as clear";
            EXPECT_NE(error.find("changed"), std::string::npos) << error;
            auto reader = RecordingReader::open(file, &error);
            ASSERT_TRUE(reader) << error;
            EXPECT_TRUE(reader->info().changedScrambledCopy);
            EXPECT_FALSE(fs::exists(dir / "back.qmv"));
            EXPECT_FALSE(fs::exists(dir / "merged.qmv"));
        }
    }
    // The intact copy and a clear recording are what they are.
    auto intact = RecordingReader::open(dir / "copy.qmv", nullptr);
    ASSERT_TRUE(intact);
    EXPECT_FALSE(intact->info().changedScrambledCopy);
    EXPECT_EQ(VerifyScrambledCopy(dir / "copy.qmv").code, kConvertDone);
    EXPECT_FALSE(IsScrambledRecording(dir / "a.qmv"));
}

// Stream headers of values players reject: such a stream is left out (exit 3 through the tool) and
// the streams after it keep their chunks; without a usable video stream nothing is converted.
TEST(StreamHeaders, AStreamPlayersRejectIsLeftOut) {
    TempDir dir;
    WriteSynthetic(dir / "a.qmv", RecordingForm::Camera, true, SyntheticOptions{.channels = 1});
    const Bytes good = ReadFile(dir / "a.qmv");
    MemoryByteSource src(good.data(), good.size());
    AviLayout layout;
    ASSERT_TRUE(ParseAviLayout(src, layout, nullptr));
    ASSERT_EQ(layout.streams.size(), 3u); // video, sound, records
    const AviStreamHeader video = layout.streams[0], sound = layout.streams[1];
    const uint64_t videoStrf = video.strhDataOffset + 56 + 8, soundStrf = sound.strhDataOffset + 56 + 8;
    const struct {
        const char* name;
        std::function<void(Bytes&)> damage;
        bool converts; // false: refused
    } cases[] = {
        {"65535 sound channels", [&](Bytes& b) { writeLe16(b.data() + soundStrf + 2, 0xFFFF); }, true},
        {"sample rate 0", [&](Bytes& b) { writeLe32(b.data() + soundStrf + 4, 0); }, true},
        {"huge sample rate", [&](Bytes& b) { writeLe32(b.data() + soundStrf + 4, 0x7FFFFFFF); }, true},
        {"sound codec tag 0", [&](Bytes& b) { writeLe16(b.data() + soundStrf, 0); }, true},
        {"sound strh of 2 bytes", [&](Bytes& b) { writeLe32(b.data() + sound.strhDataOffset - 4, 2); }, true},
        {"video codec MJPG", [&](Bytes& b) { writeLe32(b.data() + videoStrf + 16, fourcc("MJPG")); }, false},
        {"video codec tag 0", [&](Bytes& b) { writeLe32(b.data() + videoStrf + 16, 0); }, false},
        {"video rate 0", [&](Bytes& b) { writeLe32(b.data() + video.strhDataOffset + 24, 0); }, false},
        {"video strh huge", [&](Bytes& b) { writeLe32(b.data() + video.strhDataOffset - 4, 0x7FFFFFF0); }, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes bad = good;
        c.damage(bad);
        const fs::path file = dir / "bad.qmv";
        WriteFile(file, bad);
        const fs::path out = dir / "out";
        fs::remove_all(out);
        fs::create_directories(out);
        std::string why;
        const int result = ConvertRecording(out, file, true, {}, &why);
        if (!c.converts) {
            EXPECT_LT(result, 0) << why;
            EXPECT_TRUE(fs::is_empty(out));
            continue;
        }
        ASSERT_EQ(result, kConvertRepaired) << why;
        EXPECT_NE(why.find("stream 1 left out"), std::string::npos) << why;
        const Bytes converted = ReadFile(out / "bad.qmv.avi");
        MemoryByteSource o(converted.data(), converted.size());
        AviLayout l;
        ASSERT_TRUE(ParseAviLayout(o, l, nullptr));
        ASSERT_EQ(l.streams.size(), 2u) << "the sound's header list became filler";
        EXPECT_EQ(l.streams[1].type, kFccTxts);
        int records = 0, sounds = 0;
        WalkMovi(o, l, [&](const RiffChunk& k) {
            records += k.id == fourcc("01tx");
            sounds += k.id == fourcc("01wb") || k.id == fourcc("02tx");
        });
        EXPECT_GT(records, 0) << "the records are numbered on";
        EXPECT_EQ(sounds, 0);
        std::vector<IndexEntry> index;
        ASSERT_TRUE(ReadAviIndex(o, l, index));
        for (const IndexEntry& e : index)
            EXPECT_NE(e.id, fourcc("01wb"));
    }
    // Every tag the player reads as AAC is sound the conversion keeps, not damage.
    for (uint16_t tag : {0x00FF, 0x1600, 0x1610, 0x706D}) {
        SCOPED_TRACE(tag);
        Bytes other = good;
        writeLe16(other.data() + soundStrf, tag);
        WriteFile(dir / "tag.qmv", other);
        fs::remove_all(dir / "out");
        fs::create_directories(dir / "out");
        std::string why;
        EXPECT_EQ(ConvertRecording(dir / "out", dir / "tag.qmv", true, {}, &why), kConvertDoneWithIndex) << why;
    }
}

namespace {

// Sets an environment variable for the life of the object (unset when `value` is null).
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name))
            m_old = old;
        m_had = std::getenv(name) != nullptr;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv() {
        if (m_had)
            ::setenv(m_name.c_str(), m_old.c_str(), 1);
        else
            ::unsetenv(m_name.c_str());
    }

private:
    std::string m_name, m_old;
    bool m_had = false;
};

} // namespace

TEST(RecordingTrash, TheTrashIsMadeWhereTheDesktopLooksOrTheFileStays) {
    TempDir dir;
    fs::create_directories(dir / "home");
    fs::create_directories(dir / "work");
    WriteFile(dir / "work" / "a.qmv", Bytes{'a'});
    WriteFile(dir / "work" / "b.qmv", Bytes{'b'});
    const fs::path before = fs::current_path();
    fs::current_path(dir / "work");
    {
        // A home without ~/.local/share: the home trash is made there.
        ScopedEnv home("HOME", (dir / "home").c_str()), data("XDG_DATA_HOME", nullptr);
        std::string error;
        EXPECT_TRUE(MoveFileToTrash((dir / "work" / "a.qmv").string(), error)) << error;
        const fs::path trash = dir / "home" / ".local" / "share" / "Trash";
        EXPECT_EQ(ReadText(trash / "files" / "a.qmv"), "a");
        const std::string info = ReadText(trash / "info" / "a.qmv.trashinfo");
        EXPECT_EQ(info.rfind("[Trash Info]\nPath=" + (dir / "work" / "a.qmv").string() + "\nDeletionDate=", 0), 0u)
            << info;
        // A second file of the same name takes another name in the trash.
        WriteFile(dir / "work" / "a.qmv", Bytes{'A'});
        EXPECT_TRUE(MoveFileToTrash((dir / "work" / "a.qmv").string(), error)) << error;
        EXPECT_EQ(ReadText(trash / "files" / "a.2.qmv"), "A");
        EXPECT_TRUE(fs::exists(trash / "info" / "a.2.qmv.trashinfo"));
    }
    {
        // No home folder at all: the file stays and the reason is given.
        ScopedEnv home("HOME", nullptr), data("XDG_DATA_HOME", nullptr);
        std::string error;
        EXPECT_FALSE(MoveFileToTrash((dir / "work" / "b.qmv").string(), error));
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(ReadText(dir / "work" / "b.qmv"), "b");
    }
    fs::current_path(before);
    EXPECT_FALSE(fs::exists(dir / "work" / "files")) << "nothing made in the working folder";
    EXPECT_FALSE(fs::exists(dir / "work" / "info"));
}
