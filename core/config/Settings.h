// Per-user stored settings (INI file through QSettings, organisation and application "Quillent"):
// "Installer Language", "setting", "speedunit", "map"; for the print report "geocoder"
// ("nominatim", "service" or "off"), "geocoderhost", "nominatimhost"; the folders the save
// dialogs start in, per kind of file ("folders/<kind>").
//
// "path" (a base folder for the skin pages of the map, setup, download and print windows) is not
// read: the pages come from the skin beside the program, the same one the main page uses, so that
// a value left by another installation can never mix two skins in one program.
// Used by windows and pages.
//
// Where the values live: QSettings in INI format, user scope, so normally
// ~/.config/Quillent/Quillent.ini. The program's own values ("Software\Quillent" in the original
// registry layout) are the top-level keys of that file; any other key opened with CRegistryEx is a
// group named after its path, with "\" turned into "/".
//
// Tests must never touch the real user's file: call SetSettingsDirectoryForTesting() with a
// QTemporaryDir's path before the first read or write (every test that reads GetInstallerLanguage(),
// LString(), StartFolderFor() or loads a configuration with a `language` element counts).
#pragma once

#include <cstdint>
#include <string>

std::string ReadSetting(const std::string& name);                    // empty when missing
void WriteSetting(const std::string& name, const std::string& text); // failures not reported

// Where a save dialog for `kind` starts: the folder the user last saved that kind of file into
// while it exists; else the user's Videos folder for recordings ("convert" to AVI, "copy",
// "scrambled", "merge"), the Pictures folder for "snapshot", the Documents folder for everything else ("pdf",
// "csv", "gpx", "cfg"); else the home folder.
std::string StartFolderFor(const std::string& kind);
// Remembers the folder of `chosen` (a file, or the folder itself with `chosenIsFolder`) for `kind`.
void RememberSaveFolder(const std::string& kind, const std::string& chosen, bool chosenIsFolder = false);

// Folder of the running program: QCoreApplication::applicationDirPath() when an application object
// exists, else the folder of /proc/self/exe. No trailing slash.
std::string GetProgramDirectory();

// Full path of the settings file (it may not exist yet).
std::string GetSettingsFilePath();

// Redirects the settings file into `directory` (created when needed) for the rest of the process.
// Also used by tools that must not read the user's settings. An empty string restores the default.
void SetSettingsDirectoryForTesting(const std::string& directory);

// Result codes kept in CRegistryEx::lastError().
enum RegistryError : int32_t {
    kRegistryOk = 0,
    kRegistryNotFound = 2,     // key or value does not exist
    kRegistryAccessDenied = 5, // the settings file cannot be written
    kRegistryNotOpen = 6,      // no key opened or created yet
    kRegistryTooLong = 87,     // text of 32000 characters or more
};

// One open key of the settings store; the main window also uses it for keys of other components
// (decoder settings). Keys are paths such as "Software\Quillent" or "Software\GNU\ffdshow".
class CRegistryEx {
public:
    static constexpr int32_t kTypeString = 1;
    static constexpr int kMaxTextLength = 32000; // characters; longer texts are refused

    CRegistryEx() = default;
    virtual ~CRegistryEx();
    CRegistryEx(const CRegistryEx&) = delete;
    CRegistryEx& operator=(const CRegistryEx&) = delete;

    bool Create(const std::string& subKey); // creates the key when missing; opens it
    bool Open(const std::string& subKey);   // fails (kRegistryNotFound) when the key has no values
    void Close();
    bool WriteString(const std::string& name, const std::string& text);
    bool ReadString(const std::string& name, std::string& out); // `out` untouched on failure

    int32_t lastError() const { return m_lastError; }
    int32_t lastType() const { return m_lastType; }
    int32_t lastSize() const { return m_lastSize; } // bytes of the last value written, with its terminator
    const std::string& keyPath() const { return m_keyPath; }
    bool isOpen() const { return m_open; }

private:
    std::string groupName() const;

    int32_t m_lastError = kRegistryOk;
    int32_t m_lastType = 0;
    int32_t m_lastSize = 0;
    bool m_open = false;
    std::string m_keyPath;
};

// Path of the program's own key, as CRegistryEx spells it.
inline constexpr const char* kProgramSettingsKey = "Software\\Quillent";
