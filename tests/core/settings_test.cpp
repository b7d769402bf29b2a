// Stored settings and the registry-key wrapper, each test in its own settings folder.
#include "core/config/Settings.h"
#include "core/config/ViewerConfig.h"

#include <QDir>
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
    EXPECT_EQ(GetBasePath(), GetProgramDirectory());
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
    EXPECT_EQ(GetBasePath(), "/opt/quillent"); // no trailing separator
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
