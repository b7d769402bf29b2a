#include "core/camera/CWBCIniLoader.h"

#include "core/common/CText.h"
#include "core/common/RegularFile.h"
#include "core/common/FileReplace.h"

#include <cstdio>
#include <fstream>
#include <system_error>
#include <iterator>

namespace {

bool isSeparator(char c) {
    return c == ' ' || c == '=' || c == '\r' || c == '\n' || c == '\t';
}

std::vector<std::string_view> tokens(std::string_view line) {
    std::vector<std::string_view> out;
    size_t i = 0;
    while (i < line.size() && out.size() < 2) {
        while (i < line.size() && isSeparator(line[i]))
            ++i;
        size_t start = i;
        while (i < line.size() && !isSeparator(line[i]))
            ++i;
        if (i > start)
            out.push_back(line.substr(start, i - start));
    }
    return out;
}

} // namespace

bool CWBCIniLoader::RegisterItem(const std::string& name, int32_t defaultValue, int32_t upperBound) {
    int index = 0;
    if (name.empty() || FindItem(name, index))
        return false;
    IniItem item;
    item.name = name;
    item.fileValue = std::to_string(defaultValue);
    item.upperBound = upperBound;
    m_items.push_back(std::move(item));
    return true;
}

namespace {
constexpr size_t kMaxIniBytes = 1u << 20;
} // namespace

bool CWBCIniLoader::Load(const std::filesystem::path& path) {
    // A loader used again keeps no "loaded" from an earlier file. Only a regular file is read (a
    // pipe or device named setup.ini would block or never end), and only its first megabyte: the
    // camera's file is a few hundred bytes.
    std::string text;
    m_loaded = ReadFileStart(path, kMaxIniBytes, text, nullptr);
    LoadFromText(text);
    return true;
}

void CWBCIniLoader::LoadFromText(std::string_view text) {
    m_ignoredLines = 0;
    // Lines are read in pieces of at most 127 characters, each ending at a line feed, as a fixed
    // 128-byte line buffer reads them; a piece ends at its first zero byte.
    while (!text.empty()) {
        size_t length = std::min(text.size(), kMaxLineChars);
        size_t feed = text.substr(0, length).find('\n');
        if (feed != std::string_view::npos)
            length = feed + 1;
        std::string_view piece = text.substr(0, length);
        text.remove_prefix(length);
        if (size_t zero = piece.find('\0'); zero != std::string_view::npos)
            piece = piece.substr(0, zero);
        ParseLine(piece);
    }
    for (auto& item : m_items)
        item.value = item.fileValue;
    // Said once, without the lines themselves: a damaged or foreign file may hold any bytes.
    if (m_ignoredLines > 0)
        std::printf("setup.ini: %d line(s) with no registered item were ignored\n", m_ignoredLines);
}

void CWBCIniLoader::ParseLine(std::string_view line) {
    auto t = tokens(line);
    if (t.empty())
        return;
    int index = 0;
    if (!FindItem(std::string(t[0]), index)) {
        ++m_ignoredLines;
        return;
    }
    if (t.size() > 1)
        SetValueAt(index, std::string(t[1]));
}

bool CWBCIniLoader::FindItem(const std::string& name, int& outIndex) const {
    for (size_t i = 0; i < m_items.size(); ++i) {
        if (m_items[i].name == name) {
            outIndex = static_cast<int>(i);
            return true;
        }
    }
    return false;
}

bool CWBCIniLoader::GetInt(const std::string& name, int32_t& out) const {
    int index = 0;
    if (!FindItem(name, index) || m_items[index].type != 0)
        return false;
    out = CAtoi(m_items[index].value);
    return true;
}

bool CWBCIniLoader::SetIntAt(int index, int32_t number) {
    if (index < 0 || index >= static_cast<int>(m_items.size()) || m_items[index].type != 0)
        return false;
    m_items[index].value = std::to_string(number);
    return true;
}

bool CWBCIniLoader::SetValueAt(int index, const std::string& text) {
    if (index < 0 || index >= static_cast<int>(m_items.size()))
        return false;
    m_items[index].fileValue = text;
    return true;
}

bool CWBCIniLoader::IsUnchanged() const {
    if (m_items.empty())
        return true;
    if (!m_loaded)
        return false;
    for (const auto& item : m_items)
        if (item.value != item.fileValue)
            return false;
    return true;
}

std::string CWBCIniLoader::SavedText() const {
    std::string text;
    for (const auto& item : m_items)
        text += item.name + "=" + item.value + "\r\n";
    return text;
}

bool CWBCIniLoader::Save(const std::filesystem::path& path) const {
    for (const auto& item : m_items) {
        if (item.name.size() + 1 + item.value.size() > kMaxLineChars) {
            std::printf("INI ITEM <%s> is too long to save\n", item.name.c_str());
            return false;
        }
    }
    if (std::string error = ReplaceFileContents(path, SavedText()); !error.empty()) {
        std::printf("%s\n", error.c_str());
        return false;
    }
    for (const auto& item : m_items)
        std::printf("%s=%s\n", item.name.c_str(), item.value.c_str());
    return true;
}

void RegisterQuickSettingItems(CWBCIniLoader& loader) {
    for (const auto& item : kQuickSettingItems)
        loader.RegisterItem(item.key, item.defaultValue, item.upperBound);
}
