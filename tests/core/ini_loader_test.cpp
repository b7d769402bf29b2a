// The camera's "setup.ini": registered items, 127-character reads, CR LF saving.
#include "core/camera/CWBCIniLoader.h"
#include "support/ContainerFixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

int32_t intOf(const CWBCIniLoader& loader, const char* key) {
    int32_t v = -999;
    EXPECT_TRUE(loader.GetInt(key, v)) << key;
    return v;
}

// A loader of the quick settings that has read `file`; what it printed goes to `*printed`.
CWBCIniLoader quickSettingsFrom(const fs::path& file, std::string* printed = nullptr) {
    testing::internal::CaptureStdout();
    CWBCIniLoader loader;
    RegisterQuickSettingItems(loader);
    loader.Load(file);
    const std::string out = testing::internal::GetCapturedStdout();
    if (printed)
        *printed = out;
    return loader;
}

TEST(IniLoader, RegistrationRefusesEmptyAndDuplicateNames) {
    CWBCIniLoader loader;
    EXPECT_TRUE(loader.RegisterItem("A", 3, 5));
    EXPECT_FALSE(loader.RegisterItem("A", 4, 5));
    EXPECT_FALSE(loader.RegisterItem("", 4, 5));
    EXPECT_TRUE(loader.RegisterItem("a", 4, 5)); // case-sensitive
    ASSERT_EQ(loader.items().size(), 2u);
    EXPECT_EQ(loader.items()[0].fileValue, "3");
    EXPECT_EQ(loader.items()[0].value, "");
    EXPECT_FALSE(loader.SetIntAt(2, 1));
    EXPECT_FALSE(loader.SetIntAt(-1, 1));
    int32_t v = 0;
    EXPECT_FALSE(loader.GetInt("B", v));
}

TEST(IniLoader, ReadsCardFileByTheCameraRules) {
    std::string out;
    CWBCIniLoader loader = quickSettingsFrom(fs::path(QUILLENT_TEST_DATA) / "setup.ini", &out);
    EXPECT_TRUE(loader.loaded());
    EXPECT_EQ(intOf(loader, "SENSOR_GY_STV"), 1); // blanks around "="
    EXPECT_EQ(intOf(loader, "LCD_BRIGHT_LV"), 2); // key alone keeps its default
    EXPECT_EQ(intOf(loader, "VOICE_GUIDE_ON"), 0);
    EXPECT_EQ(intOf(loader, "LCD_OFF_TIME"), 4); // the later line wins
    EXPECT_EQ(intOf(loader, "VOLTAGE_CUTOFF_LV"), 2);
    EXPECT_EQ(intOf(loader, "TIME_EXP_GMT"), 9); // missing: default
    // Unknown lines are counted, said once, and never echoed.
    EXPECT_GT(loader.ignoredLines(), 0);
    EXPECT_EQ(out, "setup.ini: " + std::to_string(loader.ignoredLines()) +
                       " line(s) with no registered item were ignored\n");
    EXPECT_TRUE(loader.IsUnchanged());

    // "02" read as 2 and set to 2 is still a change: values compare as text.
    int index = -1;
    ASSERT_TRUE(loader.FindItem("VOLTAGE_CUTOFF_LV", index));
    loader.SetIntAt(index, 2);
    EXPECT_FALSE(loader.IsUnchanged());
}

TEST(IniLoader, LongLinesAreReadInPiecesAndZeroBytesEndAPiece) {
    std::string out;
    const CWBCIniLoader loader =
        quickSettingsFrom(fs::path(QUILLENT_TEST_DATA) / "broken-setup-longline.ini", &out);
    EXPECT_EQ(intOf(loader, "SENSOR_GY_STV"), 1);
    // The 130 "#" fill one 127-character piece; the next piece starts "###LCD_BRIGHT_LV", an unknown key.
    EXPECT_EQ(intOf(loader, "LCD_BRIGHT_LV"), 2);
    EXPECT_EQ(out.find("###LCD_BRIGHT_LV"), std::string::npos) << out;
    EXPECT_NE(out.find("line(s) with no registered item were ignored"), std::string::npos) << out;
    EXPECT_EQ(intOf(loader, "VOICE_REC_ON"), 1);
    EXPECT_EQ(intOf(loader, "LCD_OFF_TIME"), 1); // after the zero byte: not read

    CWBCIniLoader exact;
    exact.RegisterItem("K", 0, 9);
    exact.LoadFromText(std::string(126, ' ') + "K=5\n");
    EXPECT_EQ(intOf(exact, "K"), 0); // "K" in the first piece, "=5" in the next: no value
    exact.LoadFromText(std::string(123, ' ') + "K=5\n");
    EXPECT_EQ(intOf(exact, "K"), 5);
}

TEST(IniLoader, MissingFileKeepsDefaultsAndOffersSave) {
    CWBCIniLoader loader;
    RegisterQuickSettingItems(loader);
    EXPECT_TRUE(loader.Load(TempPath("does-not-exist.ini")));
    EXPECT_FALSE(loader.loaded());
    EXPECT_FALSE(loader.IsUnchanged());
    EXPECT_EQ(intOf(loader, "TIME_EXP_GMT"), 9);

    CWBCIniLoader folder; // a folder of that name is no file
    RegisterQuickSettingItems(folder);
    folder.Load(TempPath("folder.ini").parent_path());
    EXPECT_FALSE(folder.loaded());
    folder.Load(fs::path(QUILLENT_TEST_DATA) / "setup.ini"); // the card put back in
    EXPECT_TRUE(folder.loaded());
    EXPECT_TRUE(folder.IsUnchanged());

    CWBCIniLoader empty;
    EXPECT_TRUE(empty.IsUnchanged()); // no items

    fs::path emptyFile = TempPath("empty.ini");
    std::ofstream(emptyFile).close();
    const CWBCIniLoader fromEmpty = quickSettingsFrom(emptyFile);
    EXPECT_TRUE(fromEmpty.loaded());
    EXPECT_TRUE(fromEmpty.IsUnchanged());
}

TEST(IniLoader, SaveWritesRegisteredItemsInOrderWithCrLf) {
    CWBCIniLoader loader = quickSettingsFrom(fs::path(QUILLENT_TEST_DATA) / "setup.ini");
    fs::path out = TempPath("saved.ini");
    testing::internal::CaptureStdout();
    ASSERT_TRUE(loader.Save(out));
    std::string echoed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(ReadText(out),
              "SENSOR_GY_STV=1\r\nLCD_BRIGHT_LV=2\r\nVOICE_GUIDE_ON=0\r\nVOICE_REC_ON=1\r\n"
              "LED_PARKING_ON=1\r\nLCD_OFF_TIME=4\r\nVOLTAGE_CUTOFF_LV=02\r\nTIME_EXP_GMT=9\r\n");
    EXPECT_NE(echoed.find("LCD_OFF_TIME=4\n"), std::string::npos);

    // Round trip: what was saved reads back unchanged.
    const CWBCIniLoader again = quickSettingsFrom(out);
    for (size_t i = 0; i < again.items().size(); ++i)
        EXPECT_EQ(again.items()[i].value, loader.items()[i].value);

    EXPECT_FALSE(loader.Save(TempPath("no-such-dir") / "x" / "setup.ini"));
    fs::path readOnly = TempPath("read-only");
    fs::create_directories(readOnly);
    { std::ofstream(readOnly / "setup.ini", std::ios::binary) << "K=7\r\n"; }
    fs::permissions(readOnly, fs::perms::owner_read | fs::perms::owner_exec);
    testing::internal::CaptureStdout();
    const bool saved = loader.Save(readOnly / "setup.ini");
    testing::internal::GetCapturedStdout();
    fs::permissions(readOnly, fs::perms::owner_all);
    if (::geteuid() != 0) { // root writes anyway
        EXPECT_FALSE(saved);
        EXPECT_EQ(ReadText(readOnly / "setup.ini"), "K=7\r\n");
    }
    EXPECT_FALSE(fs::exists(readOnly / ("setup.ini.part" + std::to_string(::getpid()))));
}

TEST(IniLoader, OverlongLineIsRefusedAndTheFileKept) {
    fs::path out = TempPath("keep.ini");
    { std::ofstream(out, std::ios::binary) << "K=7\r\n"; }
    testing::internal::CaptureStdout();
    CWBCIniLoader loader; // 120 + "=" + 7 digits: 128 characters could not be read back
    loader.RegisterItem(std::string(120, 'K'), 1234567, 9);
    loader.Load(TempPath("none.ini"));
    EXPECT_FALSE(loader.Save(out));
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(ReadText(out), "K=7\r\n");
}

// A failed write (a file size limit standing in for a full card; root ignores file modes but not
// this limit) keeps the previous file as it was.
TEST(IniLoader, AFailedSaveKeepsThePreviousFile) {
    const fs::path file = TempPath("keep.ini");
    { std::ofstream(file, std::ios::binary) << "previous"; }
    pid_t child = fork();
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{20, 20};
        setrlimit(RLIMIT_FSIZE, &limit);
        CWBCIniLoader loader = quickSettingsFrom(fs::path(QUILLENT_TEST_DATA) / "setup.ini");
        _exit(loader.Save(file) ? 1 : 0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(ReadText(file), "previous");
}

} // namespace

TEST(IniLoader, ARandomFileIsCountedNotEchoed) {
    std::string bytes;
    uint32_t x = 12345;
    for (int i = 0; i < 200000; ++i) {
        x = x * 1103515245u + 12345u;
        bytes += char(x >> 24);
    }
    const fs::path file = TempPath("random-setup.ini");
    { std::ofstream(file, std::ios::binary) << bytes; }
    std::string out;
    const CWBCIniLoader loader = quickSettingsFrom(file, &out);
    EXPECT_GT(loader.ignoredLines(), 100);
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << "one line, however many were ignored";
    EXPECT_NE(out.find(std::to_string(loader.ignoredLines()) + " line(s)"), std::string::npos) << out;
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](char c) { return c == '\n' || (c >= 0x20 && c < 0x7f); }));
}
