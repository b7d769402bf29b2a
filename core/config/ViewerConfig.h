// Process-wide program configuration read from "viewerconfig.cfg": recording folders, extensions,
// flags and the language strings. Read once at start-up; every window and the scanner consult it.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class QLocale;

enum class FolderKind : int32_t {
    Normal = 0, // "NORMAL" and "NORMAL2"
    Event = 1,
    Motion = 2,
    Manual = 3,
    Image = 4,
};

// One recording folder of the configuration.
struct DirEntry {
    int32_t kind = 0;       // FolderKind value
    std::string name;       // folder name (UTF-8)
    std::string narrowName; // bytes exactly as in the file; used for the duplicate test
    int32_t nxfsp = 0;      // per-folder number 0..99
};

// Bits of ViewerConfig::GetFlags().
enum ViewerConfigFlag : uint32_t {
    kFlagRemoval = 0x1,  // recording folders on a drive are searched recursively
    kFlagDesktop = 0x2,  // a folder chosen by the user is searched recursively
    kFlagFiletime = 0x4, // snapshots are named after the recording's date and time
    kFlagAddpos = 0x8,   // the playback position is added to snapshot names
};

class ViewerConfig {
public:
    // Key of both tables: (hash of a name or ID, an integer). Names themselves are never compared.
    using Key = std::pair<uint32_t, int32_t>;

    static ViewerConfig& Instance(); // created empty on first call; thread-safe
    static void Release();           // destroys the instance (shutdown)

    int32_t GetLanguage() const { return m_language; }
    void SetLanguage(int32_t language) { m_language = language; }

    int GetDirCount() const { return static_cast<int>(m_dirs.size()); }
    bool GetDirEntry(int index, DirEntry& out) const;
    int GetExtensionCount() const { return static_cast<int>(m_extensions.size()); }
    bool GetExtension(int index, std::string& out) const;
    uint32_t GetFlags() const { return m_flags; }

    // Text of `id` in `language`; false (and `out` untouched) when there is none. No fallback.
    bool GetLString(int32_t language, const std::string& id, std::string& out) const;

    // Parsing internals, public for the loader and its tests.
    std::vector<DirEntry>& dirs() { return m_dirs; }
    std::vector<std::string>& extensions() { return m_extensions; }
    std::map<Key, int32_t>& languageTable() { return m_languageTable; }
    const std::map<Key, int32_t>& languageTable() const { return m_languageTable; }
    std::map<Key, std::pair<std::string, std::string>>& stringTable() { return m_strings; } // (id, text)
    const std::map<Key, std::pair<std::string, std::string>>& stringTable() const { return m_strings; }
    uint32_t& flags() { return m_flags; }

private:
    int32_t m_language = 0;
    std::vector<std::string> m_extensions;
    std::vector<DirEntry> m_dirs;
    std::map<Key, int32_t> m_languageTable;
    std::map<Key, std::pair<std::string, std::string>> m_strings;
    uint32_t m_flags = 0;
};

// The 32-bit key hash of names and IDs: 5381, then hash * 33 + each byte read as a signed 8-bit value.
uint32_t ViewerConfigHash(std::string_view text);

// The fixed language indexes (English and Korean are the languages that can be in force).
enum LanguageIndex : int32_t {
    kLanguageEnglish = 0,
    kLanguageKorean = 1,
    kLanguageJapanese = 2,
    kLanguageChinese = 3,
    kLanguageChineseMode1 = 4,
    kLanguageRussian = 5,
    kLanguageUnknown = 6, // any other (name, mode): stored, never shown
};

// Fills the language table with its fixed rows (done by every loader before it parses).
void FillLanguageTable(ViewerConfig& config);
// Index of (name, mode) in `config`'s language table; kLanguageUnknown when absent.
int32_t LookupLanguage(const ViewerConfig& config, std::string_view name, int32_t mode);

// Loads "viewerconfig.cfg" (fileName) from the program's folder into `config`. True only when the
// document, `configs` and `lstrings` were all found. Diagnostics go to standard output.
bool LoadViewerConfig(const std::string& fileName, ViewerConfig& config);
// The same for a file at a full path (tests, tools).
bool LoadViewerConfigFile(const std::string& path, ViewerConfig& config);
// The same for the bytes of a file (fuzzing, tests); `bytes` may hold NUL characters.
bool LoadViewerConfigFromMemory(std::string_view bytes, ViewerConfig& config);

// Documents nested deeper than this are refused before parsing: the XML parser recurses once per
// level and a corrupt file must not exhaust the stack. The real schema is four levels deep.
inline constexpr int kMaxConfigNesting = 256;

// Language text of `id` for the language in force; empty when missing (message-box convention).
std::string LString(const std::string& id);
// The stored "Installer Language" values of the two languages in force.
inline constexpr const char* kInstallerLanguageKorean = "1042";
inline constexpr const char* kInstallerLanguageEnglish = "1033";
// "korean" when the stored "Installer Language" is "1042", "english" for any other stored value;
// with nothing stored the system's locale decides (Korean gives "korean"). Once pinned, the value
// of this run.
std::string GetInstallerLanguage();
// The rule of GetInstallerLanguage for a stored value (empty: none) and a system locale.
std::string InstallerLanguageFor(const std::string& stored, const QLocale& system);
// The program fixes the language for the whole run at start-up: a choice made in the window is
// stored and takes effect at the next start, while everything of this run keeps one language.
void PinInstallerLanguageForThisRun();
// Stores the user's choice ("korean" or "english") as "Installer Language".
void StoreInstallerLanguage(const std::string& language);
