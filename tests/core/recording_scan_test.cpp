// Scan of generated cards and folders: which files are found, recursion, extensions, found folders,
// the order of the list, the report list texts and safe access by index.
#include "core/recordings/ListText.h"
#include "core/recordings/RecordingScanner.h"
#include "core/recordings/ReportList.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

namespace fs = std::filesystem;

namespace {
class TempTree {
public:
    TempTree() {
        m_root = fs::temp_directory_path() /
                 ("quillent-scan-" + std::to_string(::getpid()) + "-" + std::to_string(s_counter++));
        fs::remove_all(m_root);
        fs::create_directories(m_root);
    }
    ~TempTree() { fs::remove_all(m_root); }
    const fs::path& root() const { return m_root; }
    // Writes `kib` KiB (plus `extra` bytes) at root/relative.
    void file(const std::string& relative, int64_t kib = 1, int extra = 0) const {
        const fs::path p = m_root / relative;
        fs::create_directories(p.parent_path());
        std::ofstream out(p, std::ios::binary);
        out.seekp(kib * 1024 + extra - 1);
        out.put('\0');
    }

private:
    static inline int s_counter = 0;
    fs::path m_root;
};

RecordingScanner configuredScanner(bool removal, bool desktop) {
    RecordingScanner s;
    s.SetFolders({{"NORMAL"}, {"EVENT"}, {"MOTION"}, {"MANUAL"}});
    s.SetExtensions({"qmv", "MP4"});
    s.SetRecursion(removal, desktop);
    return s;
}

std::vector<std::string> names(const RecordingScanner& s) {
    std::vector<std::string> out;
    for (const auto& e : s.Entries())
        out.push_back(e.name);
    std::sort(out.begin(), out.end());
    return out;
}

void addDrive(RecordingScanner& s, const fs::path& root) {
    s.Drives().push_back({0, root.string() + "/", kDriveSource, "", true});
    s.Drives().push_back({1, "Find in My Computer", kFolderSource, "", false});
}
} // namespace

TEST(RecordingScan, DriveScanFindsConfiguredFoldersWithExtensionsInAnyCase) {
    TempTree card;
    card.file("NORMAL/RTC20140512_101530.qmv");
    card.file("NORMAL/RTC20140512_101600.QMV");
    card.file("EVENT/EVENT_RTC20140512_101700.mp4");
    card.file("EVENT/notes.txt");
    card.file("EVENT/qmv.bak");
    card.file("EVENT/archive.qmv.part");
    card.file("NORMAL/deeper/RTC20140512_111111.qmv");
    card.file("ELSEWHERE/RTC20140512_121212.qmv");             // not a configured folder
    card.file("RTC20140512_131313.qmv");                       // the card's root is not searched
    fs::create_directories(card.root() / "NORMAL/folder.qmv"); // a folder is never a recording

    RecordingScanner flat = configuredScanner(false, false);
    addDrive(flat, card.root());
    ASSERT_TRUE(flat.ScanSource(0, {}));
    EXPECT_EQ(flat.SourceKind(), kDriveSource);
    EXPECT_EQ(flat.SelectedSourceIndex(), 0);
    EXPECT_EQ(names(flat), (std::vector<std::string>{"EVENT_RTC20140512_101700.mp4", "RTC20140512_101530.qmv",
                                                     "RTC20140512_101600.QMV"}));
    EXPECT_EQ(flat.FoundCount(), 3);
    // Every configured folder is recorded for a drive, found or not.
    ASSERT_EQ(flat.FoundFolders().size(), 4u);
    EXPECT_EQ(flat.FoundFolders()[3], card.root().string() + "/MANUAL/");
    const RecordingEntry* e = flat.GetEntry(0);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->path, card.root().string() + "/" + (e->folder == 1 ? "EVENT/" : "NORMAL/") + e->name);

    RecordingScanner deep = configuredScanner(true, false);
    addDrive(deep, card.root());
    ASSERT_TRUE(deep.ScanSource(0, {}));
    EXPECT_EQ(deep.EntryCount(), 4); // NORMAL/deeper is searched with the removal flag
}

TEST(RecordingScan, FolderScanRecordsOnlyFoldersWithRecordingsAndListsEachFileOnce) {
    TempTree folder;
    folder.file("RTC20140512_090000.qmv");
    folder.file("trip/RTC20140512_090100.qmv");
    folder.file("NORMAL/RTC20140512_090200.qmv");
    folder.file("NORMAL/sub/RTC20140512_090300.qmv");
    fs::create_directories(folder.root() / "EVENT");

    for (bool desktop : {false, true}) {
        RecordingScanner s = configuredScanner(true, desktop);
        addDrive(s, "/unused");
        std::string askedTitle;
        ASSERT_TRUE(s.ScanSource(1, [&](const std::string& title) {
            askedTitle = title;
            return std::optional<fs::path>(folder.root());
        }));
        EXPECT_EQ(askedTitle, "Select Folder");
        EXPECT_EQ(s.SourceKind(), kFolderSource);
        EXPECT_EQ(s.SourcePath(), folder.root());
        // NORMAL is searched once, with its folder entry, whatever the chosen folder's recursion.
        EXPECT_EQ(s.EntryCount(), desktop ? 4 : 3) << "desktop " << desktop;
        EXPECT_EQ(s.FoundFolders(), std::vector<std::string>{folder.root().string() + "/NORMAL/"});
        int inNormal = 0;
        for (const auto& e : s.Entries())
            inNormal += e.folder == 0;
        EXPECT_EQ(inNormal, 2);
    }
}

TEST(RecordingScan, RefusedSourcesLeaveThePreviousScan) {
    TempTree card;
    card.file("NORMAL/RTC20140512_101530.qmv");
    RecordingScanner s = configuredScanner(false, false);
    addDrive(s, card.root());
    EXPECT_EQ(s.SourceKind(), kNoSource);
    EXPECT_EQ(s.SelectedSourceIndex(), -1);
    EXPECT_FALSE(s.ScanSource(-1, {}));
    EXPECT_FALSE(s.ScanSource(2, {}));
    ASSERT_TRUE(s.ScanSource(0, {}));
    // A cancelled folder choice fails and keeps the card's list and source.
    EXPECT_FALSE(s.ScanSource(1, [](const std::string&) { return std::optional<fs::path>(); }));
    EXPECT_FALSE(s.ScanSource(1, {}));
    EXPECT_EQ(s.EntryCount(), 1);
    EXPECT_EQ(s.SourceKind(), kDriveSource);
    // A missing or unreadable folder adds nothing and is no error.
    ASSERT_TRUE(
        s.ScanSource(1, [&](const std::string&) { return std::optional<fs::path>(card.root() / "gone"); }));
    EXPECT_EQ(s.EntryCount(), 0);
    EXPECT_TRUE(s.FoundFolders().empty());
}

TEST(RecordingScan, ListOrderIsByNameTimeWithUntaggedFirstAndTiesInScanOrder) {
    TempTree card;
    // Created in this order; creation time is the scan order's first key, before the name.
    card.file("NORMAL/RTC20140512_101530_B.qmv");
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    card.file("EVENT/EVENT_RTC20140512_101530.qmv");
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    card.file("NORMAL/RTC20140512_101530_A.qmv");
    card.file("NORMAL/RTC20140101_000000.qmv");
    card.file("NORMAL/RTC20141231_235959.qmv");
    card.file("MANUAL/manual-clip.qmv"); // no time tag: key 0
    card.file("MOTION/MOTION_UTC20140512_101500.qmv");

    RecordingScanner s = configuredScanner(false, false);
    addDrive(s, card.root());
    ASSERT_TRUE(s.ScanSource(0, {}));
    s.OrderByNameTime();
    std::vector<std::string> order;
    for (const auto& e : s.Entries())
        order.push_back(e.name);
    EXPECT_EQ(order, (std::vector<std::string>{"manual-clip.qmv", "RTC20140101_000000.qmv",
                                               "MOTION_UTC20140512_101500.qmv", "RTC20140512_101530_B.qmv",
                                               "EVENT_RTC20140512_101530.qmv", "RTC20140512_101530_A.qmv",
                                               "RTC20141231_235959.qmv"}));
}

TEST(RecordingScan, ReportListRowsAndIndexAccessNeverGoOutOfRange) {
    TempTree card;
    card.file("NORMAL/RTC20140512_101530.qmv", 2345, 1000);
    card.file("NORMAL/RTC20140512_101600.qmv", 7);
    RecordingScanner s = configuredScanner(false, false);
    addDrive(s, card.root());
    ASSERT_TRUE(s.ScanSource(0, {}));
    s.OrderByNameTime();
    ReportList report;
    ASSERT_EQ(s.FillReportList(report), 2);
    ASSERT_NE(report.Row(0), nullptr);
    EXPECT_EQ(report.Row(0)->sizeText, "2,345");
    EXPECT_EQ(report.Row(1)->sizeText, "0,007");
    const LocalTime& t = s.GetEntry(0)->localCreation;
    EXPECT_EQ(report.Row(0)->dateText, FormatReportDate(t));
    EXPECT_EQ(report.Row(0)->dateText.size(), 10u); // "MM/DD/YYYY"
    EXPECT_EQ(*s.GetRowPath(1), s.GetEntry(1)->path);
    for (int bad : {-1, 2, 1 << 30}) {
        EXPECT_EQ(s.GetEntry(bad), nullptr);
        EXPECT_EQ(s.GetRowPath(bad), nullptr);
        EXPECT_FALSE(report.SetChecked(bad, true));
    }
    // Removing an entry invalidates the row map until the list is refilled: no stale path.
    ASSERT_TRUE(s.RemoveEntry(0));
    EXPECT_EQ(s.GetRowPath(0), nullptr);
    EXPECT_EQ(s.FillReportList(report), 1);
    EXPECT_EQ(*s.GetRowPath(0), s.GetEntry(0)->path);
}

TEST(ListText, SizesAndDates) {
    EXPECT_EQ(FormatListSize(999'999), "999M");
    EXPECT_EQ(FormatListSize(1'000'000), "1.0G");
    EXPECT_EQ(FormatListSize(1'549'000), "1.5G");
    EXPECT_EQ(FormatListSize(999), "1M"); // a small recording is not listed as nothing
    EXPECT_EQ(FormatListSize(1), "1M");
    EXPECT_EQ(FormatListSize(0), "0M");
    EXPECT_EQ(FormatSearchSize(999), "1M");
    EXPECT_EQ(FormatSearchSize(1'549'000), "1549M");
    EXPECT_EQ(FormatReportSize(1'000'001), "1000,001");
    LocalTime t;
    t.year = 2014;
    t.month = 5;
    t.day = 2;
    EXPECT_EQ(FormatListDate(t), "05.02");
    EXPECT_EQ(FormatReportDate(t), "05/02/2014");
}
