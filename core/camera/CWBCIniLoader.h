// Reads and writes the camera's "setup.ini" through a fixed list of registered integer items; only
// registered keys are taken from the file and saving rewrites the file from them alone.
// Used by the quick-settings dialog and the card format command (which keeps the settings).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

struct IniItem {
    int32_t type = 0;      // 0 = integer, the only type registered
    std::string name;      // key, compared exactly
    std::string fileValue; // as read from the file; the default until a line sets it
    std::string value;     // current value, written by Save
    int32_t reserved = 0;
    int32_t upperBound = 0; // largest valid value; kept, not enforced
};

class CWBCIniLoader {
public:
    static constexpr size_t kMaxLineChars = 127;

    bool RegisterItem(const std::string& name, int32_t defaultValue, int32_t upperBound);
    // Always true; a file that cannot be opened leaves the defaults and clears `loaded`.
    bool Load(const std::filesystem::path& path);
    // The same reading rules over text already in memory (tests, fuzzing).
    void LoadFromText(std::string_view text);
    void ParseLine(std::string_view line);

    bool FindItem(const std::string& name, int& outIndex) const;
    bool GetInt(const std::string& name, int32_t& out) const;
    bool SetIntAt(int index, int32_t number);
    bool SetValueAt(int index, const std::string& text);
    bool IsUnchanged() const;
    // Creates (truncates) the file and writes every item as "name=value" CR LF. Refuses, without
    // touching the file, an item whose line would exceed 127 characters (it could not be read back).
    bool Save(const std::filesystem::path& path) const;

    bool loaded() const { return m_loaded; }
    // Lines of the last text loaded that named no registered item (reported once, as a count).
    int ignoredLines() const { return m_ignoredLines; }
    const std::vector<IniItem>& items() const { return m_items; }
    // The file's text as Save writes it.
    std::string SavedText() const;

private:
    bool m_loaded = true;
    int m_ignoredLines = 0;
    std::vector<IniItem> m_items;
};

// The camera's quick settings, registered in the order Save writes them.
struct QuickSettingItem {
    const char* key;
    int32_t defaultValue;
    int32_t upperBound;
};
inline constexpr QuickSettingItem kQuickSettingItems[] = {
    {"SENSOR_GY_STV", 2, 2},  {"LCD_BRIGHT_LV", 2, 2}, {"VOICE_GUIDE_ON", 1, 1},    {"VOICE_REC_ON", 0, 1},
    {"LED_PARKING_ON", 1, 1}, {"LCD_OFF_TIME", 1, 4},  {"VOLTAGE_CUTOFF_LV", 1, 4}, {"TIME_EXP_GMT", 9, 12},
};
void RegisterQuickSettingItems(CWBCIniLoader& loader);
