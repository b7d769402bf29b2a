// Stored settings and the registry-key wrapper, each test in its own settings folder.
#include "core/config/Settings.h"
#include "core/config/ViewerConfig.h"

#include <QDir>
#include <QLocale>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>

namespace {

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        SetSettingsDirectoryForTesting(m_dir.path().toStdString());
    }
    QString settingsFile() const { return QString::fromStdString(GetSettingsFilePath()); }
    void writeSettingsFile(const QByteArray& text) {
        QDir().mkpath(m_dir.path() + "/Quillent");
        QFile file(settingsFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

    QTemporaryDir m_dir;
};

TEST_F(SettingsTest, NothingStoredYet) {
    EXPECT_EQ(ReadSetting("path"), "");
    EXPECT_EQ(ReadSetting("Installer Language"), "");
    EXPECT_EQ(ReadSetting(""), "");
    EXPECT_EQ(GetInstallerLanguage(), "english");
    EXPECT_FALSE(GetProgramDirectory().empty());
    EXPECT_NE(GetProgramDirectory().back(), '/');
    EXPECT_EQ(settingsFile(), m_dir.path() + "/Quillent/Quillent.ini");
    EXPECT_FALSE(QFile::exists(settingsFile())); // reading creates nothing
}

TEST_F(SettingsTest, WrittenValuesReadBackUnchanged) {
    const std::string values[] = {
        "2",
        "한국어 설정, 그리고 쉼표",
        "a,b;c=d \"quoted\" \\back\\slash [group]",
        " leading and trailing ",
        "line one\nline two",
    };
    for (const std::string& value : values) {
        WriteSetting("setting", value);
        EXPECT_EQ(ReadSetting("setting"), value);
    }
    EXPECT_TRUE(QFile::exists(settingsFile())); // the first write created the store
    WriteSetting("speedunit", "3");
    EXPECT_EQ(ReadSetting("speedunit"), "3");
    EXPECT_EQ(ReadSetting("setting"), values[4]);
}

TEST_F(SettingsTest, InstallerLanguageFromHandWrittenFile) {
    // The installer writes a plain INI file; a key with a blank must still be found.
    writeSettingsFile("[General]\nInstaller Language=1042\npath=/opt/quillent/\n");
    EXPECT_EQ(ReadSetting("Installer Language"), "1042");
    EXPECT_EQ(GetInstallerLanguage(), "korean");
}

TEST_F(SettingsTest, InstallerLanguageOnlyFor1042) {
    for (const char* value : {"1033", "", "10420", "1042 "}) {
        WriteSetting("Installer Language", value);
        EXPECT_EQ(GetInstallerLanguage(), "english") << value;
    }
    WriteSetting("Installer Language", "1042");
    EXPECT_EQ(GetInstallerLanguage(), "korean");
}

TEST_F(SettingsTest, UnquotedCommaValueReadsAsText) {
    writeSettingsFile("[General]\nsetting=1,2,3\n");
    EXPECT_EQ(ReadSetting("setting"), "1,2,3");
}

TEST_F(SettingsTest, RegistryKeyWrapper) {
    CRegistryEx key;
    EXPECT_FALSE(key.WriteString("x", "y"));
    EXPECT_EQ(key.lastError(), kRegistryNotOpen);

    EXPECT_FALSE(key.Open("Software\\GNU\\decoder"));
    EXPECT_EQ(key.lastError(), kRegistryNotFound);

    ASSERT_TRUE(key.Create("Software\\GNU\\decoder"));
    ASSERT_TRUE(key.WriteString("brightness", "12"));
    EXPECT_EQ(key.lastError(), kRegistryOk);
    EXPECT_EQ(key.lastType(), CRegistryEx::kTypeString);
    EXPECT_EQ(key.lastSize(), 3);
    // Another component's key never shows among the program's own values.
    EXPECT_EQ(ReadSetting("brightness"), "");

    CRegistryEx again;
    ASSERT_TRUE(again.Open("Software\\GNU\\decoder"));
    std::string text = "untouched";
    EXPECT_FALSE(again.ReadString("missing", text));
    EXPECT_EQ(again.lastError(), kRegistryNotFound);
    EXPECT_EQ(text, "untouched");
    ASSERT_TRUE(again.ReadString("brightness", text));
    EXPECT_EQ(text, "12");

    EXPECT_FALSE(again.WriteString("long", std::string(CRegistryEx::kMaxTextLength, 'x')));
    EXPECT_EQ(again.lastError(), kRegistryTooLong);
    EXPECT_TRUE(again.WriteString("long", std::string(CRegistryEx::kMaxTextLength - 1, 'x')));

    // The program's key is where ReadSetting looks.
    CRegistryEx program;
    ASSERT_TRUE(program.Create(kProgramSettingsKey));
    ASSERT_TRUE(program.WriteString("map", "2"));
    EXPECT_EQ(ReadSetting("map"), "2");
    CRegistryEx reopened;
    EXPECT_TRUE(reopened.Open(kProgramSettingsKey));
}

} // namespace

// With a stored choice it holds; with none the system's locale decides; the choice in the window
// stores the installer's values.
TEST_F(SettingsTest, LanguageFollowsTheStoredChoiceElseTheSystemLocale) {
    const QLocale korean(QLocale::Korean, QLocale::SouthKorea), german(QLocale::German, QLocale::Germany);
    const struct {
        const char* stored;
        const QLocale* system;
        const char* expected;
    } cases[] = {
        {"", &korean, "korean"},  {"", &german, "english"},    {"1042", &german, "korean"},
        {"1033", &korean, "english"}, {"9999", &korean, "english"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(InstallerLanguageFor(c.stored, *c.system), c.expected) << c.stored;
    StoreInstallerLanguage("korean");
    EXPECT_EQ(ReadSetting("Installer Language"), "1042");
    StoreInstallerLanguage("english");
    EXPECT_EQ(ReadSetting("Installer Language"), "1033");
    EXPECT_EQ(GetInstallerLanguage(), "english");
}

// Each kind of file starts where the user last saved that kind, while the folder exists; else in
// the user's Videos (recordings) or Documents folder, else at home.
TEST_F(SettingsTest, SaveDialogsStartWhereThatKindWasLastSaved) {
    QTemporaryDir home;
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", home.path().toUtf8());
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", (home.path() + "/.config").toUtf8()); // no user-dirs file: the defaults
    const std::string h = home.path().toStdString();

    // Neither folder exists yet: home for every kind.
    for (const char* kind : {"convert", "pdf", "snapshot"})
        EXPECT_EQ(StartFolderFor(kind), h) << kind;
    QDir(home.path()).mkpath("Videos");
    QDir(home.path()).mkpath("Documents");
    QDir(home.path()).mkpath("trips/2024");
    const struct {
        const char* kind;
        std::string expected;
    } fresh[] = {{"convert", h + "/Videos"}, {"scrambled", h + "/Videos"}, {"merge", h + "/Videos"},
                 {"pdf", h + "/Documents"}, {"csv", h + "/Documents"}, {"gpx", h + "/Documents"},
                 {"cfg", h + "/Documents"}, {"snapshot", h + "/Documents"}};
    for (const auto& c : fresh)
        EXPECT_EQ(StartFolderFor(c.kind), c.expected) << c.kind;

    RememberSaveFolder("pdf", h + "/trips/2024/report.pdf");
    RememberSaveFolder("convert", h + "/trips", true);
    EXPECT_EQ(StartFolderFor("pdf"), h + "/trips/2024");
    EXPECT_EQ(StartFolderFor("convert"), h + "/trips");
    EXPECT_EQ(StartFolderFor("csv"), h + "/Documents"); // each kind for itself
    QDir(home.path() + "/trips/2024").removeRecursively();
    EXPECT_EQ(StartFolderFor("pdf"), h + "/Documents"); // a folder that went is not offered

    qputenv("HOME", oldHome);
    qputenv("XDG_CONFIG_HOME", oldConfig);
}
