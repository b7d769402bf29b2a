// Program configuration and language strings: schema rules, broken files, the shipped file.
#include "core/config/Settings.h"
#include "core/config/ViewerConfig.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

std::string dataFile(const std::string& name) {
    return std::string(QUILLENT_TEST_DATA) + "/config/" + name;
}

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

std::vector<DirEntry> allDirs(const ViewerConfig& config) {
    std::vector<DirEntry> dirs;
    for (int i = 0; i < config.GetDirCount(); ++i) {
        DirEntry entry;
        EXPECT_TRUE(config.GetDirEntry(i, entry));
        dirs.push_back(entry);
    }
    return dirs;
}

std::vector<std::string> allExtensions(const ViewerConfig& config) {
    std::vector<std::string> extensions;
    for (int i = 0; i < config.GetExtensionCount(); ++i) {
        std::string extension;
        EXPECT_TRUE(config.GetExtension(i, extension));
        extensions.push_back(extension);
    }
    return extensions;
}

void expectEmpty(const ViewerConfig& config) {
    EXPECT_EQ(config.GetLanguage(), kLanguageEnglish);
    EXPECT_EQ(config.GetDirCount(), 0);
    EXPECT_EQ(config.GetExtensionCount(), 0);
    EXPECT_EQ(config.GetFlags(), 0u);
    EXPECT_TRUE(const_cast<ViewerConfig&>(config).stringTable().empty());
}

// Every test gets its own settings file, so the installer language is under the test's control.
class ViewerConfigTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_settingsDir.isValid());
        SetSettingsDirectoryForTesting(m_settingsDir.path().toStdString());
    }
    void TearDown() override { ViewerConfig::Release(); }

    // Loads `file` and returns what the loader printed.
    std::string load(const std::string& file, ViewerConfig& config, bool expected) {
        testing::internal::CaptureStdout();
        EXPECT_EQ(LoadViewerConfigFile(dataFile(file), config), expected) << file;
        return testing::internal::GetCapturedStdout();
    }

    QTemporaryDir m_settingsDir;
};

TEST(ViewerConfigHash, SignedBytesAndCollisions) {
    EXPECT_EQ(ViewerConfigHash(""), 5381u);
    EXPECT_EQ(ViewerConfigHash("A"), 5381u * 33u + 65u);
    // Bytes above 0x7f count as negative: a UTF-8 lead byte lowers the hash.
    EXPECT_EQ(ViewerConfigHash("\xC3"), 5381u * 33u - 61u);
    // The pair the collision test of the loader relies on.
    EXPECT_EQ(ViewerConfigHash("COLLIDE_AZ"), ViewerConfigHash("COLLIDE_B9"));
}

TEST_F(ViewerConfigTest, MissingFileLeavesEverythingEmpty) {
    ViewerConfig config;
    const std::string out = load("does-not-exist.cfg", config, false);
    EXPECT_NE(out.find("(line:"), std::string::npos);
    EXPECT_NE(out.find("Can not configuration file"), std::string::npos) << out;
    expectEmpty(config);
    std::string text = "untouched";
    EXPECT_FALSE(config.GetLString(kLanguageEnglish, "MAIN_MSG_NO_FILES", text));
    EXPECT_EQ(text, "untouched");
    DirEntry entry;
    EXPECT_FALSE(config.GetDirEntry(0, entry));
    EXPECT_FALSE(config.GetDirEntry(-1, entry));
}

TEST_F(ViewerConfigTest, BrokenFilesReportAndTakeNothing) {
    const std::pair<const char*, const char*> cases[] = {
        {"broken-empty.xml", "Can not configuration file\n"},
        {"broken-not-well-formed.xml", "Can not configuration file\n"},
        {"broken-no-root.xml", "xml document has no root element\n"},
        {"broken-no-configs.xml", "xml document has no configs element\n"},
        // The strings are looked for before the settings are read: nothing comes from `configs`.
        {"broken-no-lstrings.xml", "xml document has no lstrings element\n"},
    };
    WriteSetting("Installer Language", "1042");
    for (const auto& [file, message] : cases) {
        ViewerConfig config;
        const std::string out = load(file, config, false);
        // "<unit>(line:<n>) <message>" names the reporting source file.
        EXPECT_EQ(out.rfind("ViewerConfig.cpp(line:", 0), 0u) << out;
        EXPECT_NE(out.find(std::string(") ") + message), std::string::npos) << file << ": " << out;
        expectEmpty(config);
    }
}

TEST_F(ViewerConfigTest, DeeplyNestedDocumentIsRefusedNotOverflowed) {
    std::string text = "<viewerconfig><configs/><lstrings>";
    const int depth = 200000;
    for (int i = 0; i < depth; ++i)
        text += "<a>";
    for (int i = 0; i < depth; ++i)
        text += "</a>";
    text += "</lstrings></viewerconfig>";
    ViewerConfig config;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(LoadViewerConfigFromMemory(text, config));
    EXPECT_NE(testing::internal::GetCapturedStdout().find("Can not configuration file"), std::string::npos);

    // Ordinary depth, quotes holding tag characters, comments and CDATA are no nesting.
    ViewerConfig ok;
    EXPECT_TRUE(
        LoadViewerConfigFromMemory("<r><!-- <a><a> --><configs><dirs><dir type=\"NORMAL\" x='<b>'>N</dir>"
                                   "</dirs></configs><lstrings><![CDATA[<a><a>]]></lstrings></r>",
                                   ok));
    EXPECT_EQ(ok.GetDirCount(), 1);
}

TEST_F(ViewerConfigTest, TruncatedUtf8AtEndStaysInsideTheBuffer) {
    // A file cut inside a multi-byte character: the parser must not read past the end (the
    // sanitizer build checks that) and the file is simply not well-formed.
    const std::string cut =
        "<r><configs/><lstrings><lstring id=\"A\"><language type=\"korean\">\xeb\xb3\xb5\xeb";
    for (size_t length = cut.size() - 3; length <= cut.size(); ++length) {
        ViewerConfig config;
        testing::internal::CaptureStdout();
        EXPECT_FALSE(LoadViewerConfigFromMemory(std::string_view(cut).substr(0, length), config));
        testing::internal::GetCapturedStdout();
    }
    // A real case: a full file cut in the middle of a Korean text.
    std::ifstream in(dataFile("broken-truncated-utf8.xml"), std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ASSERT_GT(bytes.size(), 1000u);
    for (const bool fromFile : {false, true}) {
        ViewerConfig config;
        testing::internal::CaptureStdout();
        EXPECT_FALSE(fromFile ? LoadViewerConfigFile(dataFile("broken-truncated-utf8.xml"), config)
                              : LoadViewerConfigFromMemory(bytes, config));
        testing::internal::GetCapturedStdout();
    }
}

TEST_F(ViewerConfigTest, DirectoryRulesExtensionsAndFlags) {
    ViewerConfig config;
    load("dirs-and-flags.xml", config, true);
    struct Expected {
        const char* name;
        int32_t kind;
        int32_t nxfsp;
    };
    const Expected expected[] = {
        {"NORMAL", 0, 3},
        {"EVENT", 1, 99},   // lower-case type accepted
        {"NORMAL_B", 0, 0}, // NORMAL2 is kind 0; nxfsp 100 stored as 0
        {"MOTION", 2, 0},   // -1 stored as 0
        {"IMAGE", 4, 7},
        {"MANUAL", 3, 7}, // no nxfsp: the previous folder's number
        // duplicate "EVENT", unknown or over-long type, missing type and empty name are skipped
        {"녹화", 1, 10},  // carries the number of the skipped nameless folder before it
        {"event", 1, 10}, // narrow names compare byte for byte
    };
    const auto dirs = allDirs(config);
    ASSERT_EQ(dirs.size(), std::size(expected));
    for (size_t i = 0; i < dirs.size(); ++i) {
        EXPECT_EQ(dirs[i].name, expected[i].name) << i;
        EXPECT_EQ(dirs[i].narrowName, expected[i].name) << i;
        EXPECT_EQ(dirs[i].kind, expected[i].kind) << i;
        EXPECT_EQ(dirs[i].nxfsp, expected[i].nxfsp) << i;
    }
    // Case-differing extensions both stay; the empty one and the repeat do not.
    EXPECT_EQ(allExtensions(config), (std::vector<std::string>{"qmv", "QMV", "mp4", "영상"}));
    EXPECT_EQ(config.GetFlags(), static_cast<uint32_t>(kFlagRemoval | kFlagAddpos));
    // No `language` element: English whatever the installer said (nothing was stored here).
    EXPECT_EQ(config.GetLanguage(), kLanguageEnglish);
}

TEST_F(ViewerConfigTest, BadValuesFallBackInsteadOfFailing) {
    ViewerConfig config;
    load("broken-bad-types.xml", config, true);
    const auto dirs = allDirs(config);
    ASSERT_EQ(dirs.size(), 3u); // empty type and a name made of markup are skipped
    EXPECT_EQ(dirs[0].name, "NORMAL");
    EXPECT_EQ(dirs[0].nxfsp, 0);
    EXPECT_EQ(dirs[1].name, "EVENT");
    EXPECT_EQ(dirs[2].name, "MANUAL");
    EXPECT_EQ(dirs[2].nxfsp, 0); // an overflowing number is out of range
    EXPECT_EQ(allExtensions(config), std::vector<std::string>{"mp4"});
    EXPECT_EQ(config.GetFlags(), 0u);
    std::string text;
    EXPECT_TRUE(config.GetLString(kLanguageEnglish, "MODE_NOT_A_NUMBER", text));
    EXPECT_EQ(text, "text");
    EXPECT_FALSE(config.GetLString(kLanguageEnglish, "NESTED_TEXT", text));
}

TEST_F(ViewerConfigTest, LanguageInForceNeedsElementAndInstallerLanguage) {
    struct Case {
        const char* installer; // nullptr: never written
        const char* file;
        int32_t language;
    };
    const Case cases[] = {
        {"1042", "strings.xml", kLanguageKorean},
        {"1033", "strings.xml", kLanguageEnglish},
        {"", "strings.xml", kLanguageEnglish},
        {nullptr, "strings.xml", kLanguageEnglish},
        {"1042", "no-language-element.xml", kLanguageEnglish},
    };
    for (const Case& c : cases) {
        QTemporaryDir dir;
        SetSettingsDirectoryForTesting(dir.path().toStdString());
        if (c.installer)
            WriteSetting("Installer Language", c.installer);
        ViewerConfig config;
        load(c.file, config, true);
        EXPECT_EQ(config.GetLanguage(), c.language)
            << (c.installer ? c.installer : "(none)") << " " << c.file;
    }
}

TEST_F(ViewerConfigTest, StringTableRules) {
    ViewerConfig config;
    const std::string out = load("strings.xml", config, true);
    auto text = [&](int32_t language, const std::string& id) {
        std::string s = "<missing>";
        config.GetLString(language, id, s);
        return s;
    };
    EXPECT_EQ(text(kLanguageEnglish, "GREETING"), "Hello"); // the first of two entries wins
    EXPECT_EQ(text(kLanguageKorean, "GREETING"), "안녕하십니까");
    EXPECT_EQ(text(kLanguageJapanese, "GREETING"), "こんにちは"); // the duplicate's new languages count
    EXPECT_EQ(text(kLanguageEnglish, "TWO_LINES"), "first\nsecond\\\nthird\\t");

    // `mode` carries to later `language` children of the same entry only.
    EXPECT_EQ(text(kLanguageChineseMode1, "MODES"), "zh-1");
    EXPECT_EQ(text(kLanguageRussian, "MODES"), "<missing>");
    EXPECT_EQ(text(kLanguageUnknown, "MODES"), "ru carried mode 1");
    EXPECT_EQ(text(kLanguageKorean, "MODES"), "ko mode 0");
    EXPECT_EQ(text(kLanguageRussian, "MODE_RESETS"), "ru mode 0");

    EXPECT_EQ(text(kLanguageKorean, "CAPITAL_TYPE"), "<missing>");
    EXPECT_EQ(text(kLanguageUnknown, "CAPITAL_TYPE"), "never shown");
    EXPECT_EQ(text(kLanguageEnglish, "KOREAN_ONLY"), "<missing>"); // no fallback to another language
    EXPECT_EQ(text(kLanguageKorean, "KOREAN_ONLY"), "한국어만");

    // Equal hashes are one entry: the second ID's English text is a duplicate, its Korean one is
    // found under either ID.
    EXPECT_EQ(text(kLanguageEnglish, "COLLIDE_B9"), "first of a hash pair");
    EXPECT_EQ(text(kLanguageKorean, "COLLIDE_AZ"), "second, Korean");

    EXPECT_EQ(text(kLanguageEnglish, "SKIPPED_CHILDREN"), "<missing>");
    EXPECT_EQ(text(kLanguageKorean, "SKIPPED_CHILDREN"), "kept");
    EXPECT_EQ(text(kLanguageEnglish, "ANY_SIBLING"), "any element after the first lstring");
    EXPECT_EQ(text(kLanguageEnglish, "BEFORE_FIRST_LSTRING"), "<missing>");
    EXPECT_EQ(text(kLanguageEnglish, "gREETING"), "<missing>"); // IDs are case-sensitive

    EXPECT_EQ(out, "Duplicated LSID(GREETING) found, ignore it.\n"
                   "Duplicated LSID(COLLIDE_B9) found, ignore it.\n");
}

TEST_F(ViewerConfigTest, InstanceLStringAndRelease) {
    std::vector<std::thread> threads;
    std::vector<ViewerConfig*> seen(4);
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&seen, i] { seen[i] = &ViewerConfig::Instance(); });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(std::set<ViewerConfig*>(seen.begin(), seen.end()).size(), 1u);

    WriteSetting("Installer Language", "1042");
    EXPECT_EQ(GetInstallerLanguage(), "korean");
    EXPECT_TRUE(LoadViewerConfigFile(dataFile("strings.xml"), ViewerConfig::Instance()));
    EXPECT_EQ(LString("GREETING"), "안녕하십니까");
    EXPECT_EQ(LString("NO_SUCH_ID"), "");
    ViewerConfig::Instance().SetLanguage(kLanguageEnglish);
    EXPECT_EQ(LString("GREETING"), "Hello");

    ViewerConfig::Release();
    EXPECT_EQ(LString("GREETING"), ""); // a fresh, empty instance
}

TEST_F(ViewerConfigTest, ProgramFolderIsSearched) {
    // Beside the test program there is no configuration; the loader must look there, not in the
    // working directory.
    const std::string name = "quillent-test-config-" + std::to_string(::getpid()) + ".cfg";
    const std::string path = GetProgramDirectory() + "/" + name;
    writeFile(path,
              "<r><configs><extensions><extension>qmv</extension></extensions></configs><lstrings/></r>");
    ViewerConfig config;
    EXPECT_TRUE(LoadViewerConfig(name, config));
    EXPECT_EQ(config.GetExtensionCount(), 1);
    std::remove(path.c_str());
}

TEST_F(ViewerConfigTest, ShippedConfiguration) {
    WriteSetting("Installer Language", "1042");
    ViewerConfig config;
    load("../../../viewerconfig.cfg", config, true);
    EXPECT_EQ(config.GetLanguage(), kLanguageKorean);

    std::vector<std::string> folders;
    for (const DirEntry& dir : allDirs(config))
        folders.push_back(dir.name);
    EXPECT_EQ(folders, (std::vector<std::string>{"NORMAL", "EVENT", "MOTION", "MANUAL"}));
    EXPECT_EQ(allExtensions(config), (std::vector<std::string>{"qmv", "mp4"}));
    EXPECT_EQ(config.GetFlags(), static_cast<uint32_t>(kFlagRemoval | kFlagDesktop | kFlagAddpos));

    std::string text;
    ASSERT_TRUE(config.GetLString(kLanguageEnglish, "MAIN_MSG_NO_FILES", text));
    EXPECT_EQ(text, "No recordings were found.");
    ASSERT_TRUE(config.GetLString(kLanguageKorean, "MAIN_MSG_NO_FILES", text));
    EXPECT_EQ(text, "녹화 파일을 찾을 수 없습니다.");
    ASSERT_TRUE(config.GetLString(kLanguageKorean, "SETTING_BTIP_SAVE", text));
    EXPECT_EQ(text, "설정을 메모리 카드에 저장");
    ASSERT_TRUE(config.GetLString(kLanguageEnglish, "MAIN_MSG_NO_PLAY", text));
    EXPECT_NE(text.find('\n'), std::string::npos);
    ASSERT_TRUE(config.GetLString(kLanguageEnglish, "COMPLETE", text));

    // Every ID of the shipped file has an English and a Korean text, and nothing else.
    std::map<uint32_t, std::set<int32_t>> languages;
    for (const auto& [key, value] : config.stringTable())
        languages[key.first].insert(key.second);
    EXPECT_GE(languages.size(), 60u);
    for (const auto& [hash, set] : languages)
        EXPECT_EQ(set, (std::set<int32_t>{kLanguageEnglish, kLanguageKorean})) << hash;
}

} // namespace
