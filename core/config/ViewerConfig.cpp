#include "core/config/ViewerConfig.h"

#include <QLocale>

#include <optional>

#include "core/common/RegularFile.h"
#include "core/config/Settings.h"

#include <QString>

#include <tinyxml.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <set>

namespace {

std::mutex g_instanceLock;
std::unique_ptr<ViewerConfig> g_instance;

constexpr const char* unitName(const char* path) {
    const char* name = path;
    for (const char* p = path; *p; ++p)
        if (*p == '/')
            name = p + 1;
    return name;
}

// Diagnostics of the loader: standard output only, prefixed with the reporting unit and line.
#define CONFIG_DIAG(text)                                                                                    \
    do {                                                                                                     \
        std::printf("%s(line:%d) " text, unitName(__FILE__), __LINE__);                                      \
        std::fflush(stdout);                                                                                 \
    } while (0)

constexpr int kMaxTypeLength = 15;
constexpr size_t kParserPadding = 8; // NUL bytes after the document, see parseDocument

// The platform's UTF-8 conversion: invalid sequences become replacement characters, never an error.
std::string fromUtf8(const char* text) {
    return QString::fromUtf8(text, static_cast<qsizetype>(std::strlen(text))).toStdString();
}

bool equalsNoCase(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b) {
        char x = *a, y = *b;
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return *a == *b;
}

// A boolean attribute: "true"/"yes"/"1" in any case; anything else, or no attribute, is false.
bool boolAttribute(const TiXmlElement* element, const char* name) {
    const char* value = element->Attribute(name);
    if (!value)
        return false;
    return equalsNoCase(value, "true") || equalsNoCase(value, "yes") || equalsNoCase(value, "1");
}

bool folderKindFromType(const char* type, int32_t& kind) {
    if (std::strlen(type) > kMaxTypeLength)
        return false;
    std::string upper(type);
    for (char& c : upper)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    static const std::pair<const char*, FolderKind> kTypes[] = {
        {"NORMAL", FolderKind::Normal}, {"NORMAL2", FolderKind::Normal}, {"EVENT", FolderKind::Event},
        {"MOTION", FolderKind::Motion}, {"MANUAL", FolderKind::Manual},  {"IMAGE", FolderKind::Image},
    };
    for (const auto& [name, value] : kTypes) {
        if (upper == name) {
            kind = static_cast<int32_t>(value);
            return true;
        }
    }
    return false;
}

// Backslash + "n" becomes a line feed; nothing else is unescaped. A replaced pair can never form a
// new one, so one pass from the left gives the same result as searching again from the start.
std::string unescapeLineFeeds(const char* text) {
    std::string out;
    const size_t length = std::strlen(text);
    out.reserve(length);
    for (size_t i = 0; i < length; ++i) {
        if (text[i] == '\\' && i + 1 < length && text[i + 1] == 'n') {
            out.push_back('\n');
            ++i;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

// Deepest element nesting of `bytes`, counted without a parser. Quotes inside tags, comments,
// CDATA sections and processing instructions are skipped; anything unusual errs on the deep side
// only by ignoring a close, so a well-formed file is never under-counted.
int elementNesting(std::string_view bytes) {
    int depth = 0;
    int deepest = 0;
    const size_t n = bytes.size();
    size_t i = 0;
    auto skipTo = [&](std::string_view end) {
        const size_t found = bytes.find(end, i);
        i = found == std::string_view::npos ? n : found + end.size();
    };
    while (i < n) {
        if (bytes[i] != '<') {
            ++i;
            continue;
        }
        if (bytes.substr(i, 4) == "<!--") {
            i += 4;
            skipTo("-->");
            continue;
        }
        if (bytes.substr(i, 9) == "<![CDATA[") {
            i += 9;
            skipTo("]]>");
            continue;
        }
        if (i + 1 < n && (bytes[i + 1] == '?' || bytes[i + 1] == '!')) {
            i += 2;
            skipTo(">");
            continue;
        }
        const bool closing = i + 1 < n && bytes[i + 1] == '/';
        // Walk to the end of the tag, stepping over quoted attribute values.
        ++i;
        char quote = 0;
        bool selfClosing = false;
        for (; i < n; ++i) {
            const char c = bytes[i];
            if (quote) {
                if (c == quote)
                    quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '>') {
                selfClosing = bytes[i - 1] == '/';
                ++i;
                break;
            }
        }
        if (closing) {
            if (depth > 0)
                --depth;
        } else if (!selfClosing) {
            ++depth;
            if (depth > deepest)
                deepest = depth;
        }
    }
    return deepest;
}

bool parseConfig(ViewerConfig& config, const TiXmlElement* configs) {
    // The element's presence, not its value, lets the installer language choose the language.
    if (const TiXmlElement* language = configs->FirstChildElement("language")) {
        const char* text = language->GetText();
        int mode = 0;
        language->QueryIntAttribute("mode", &mode);
        (void)LookupLanguage(config, text ? text : "", mode);
        config.SetLanguage(GetInstallerLanguage() == "korean" ? kLanguageKorean : kLanguageEnglish);
    }

    if (const TiXmlElement* dirs = configs->FirstChildElement("dirs")) {
        int previousNxfsp = 0;
        std::set<std::string> names; // narrow names taken, compared byte for byte
        for (const DirEntry& existing : config.dirs())
            names.insert(existing.narrowName);
        for (const TiXmlElement* dir = dirs->FirstChildElement("dir"); dir;
             dir = dir->NextSiblingElement("dir")) {
            const char* text = dir->GetText();
            const char* type = dir->Attribute("type");
            int nxfsp = previousNxfsp; // an absent number repeats the previous folder's
            dir->QueryIntAttribute("nxfsp", &nxfsp);
            previousNxfsp = nxfsp;
            DirEntry entry;
            if (!text || !type || !folderKindFromType(type, entry.kind))
                continue;
            entry.narrowName = text;
            if (!names.insert(entry.narrowName).second)
                continue;
            entry.name = fromUtf8(text);
            entry.nxfsp = nxfsp >= 0 && nxfsp <= 99 ? nxfsp : 0;
            config.dirs().push_back(std::move(entry));
        }
    }

    if (const TiXmlElement* extensions = configs->FirstChildElement("extensions")) {
        std::set<std::string> known(config.extensions().begin(), config.extensions().end());
        for (const TiXmlElement* e = extensions->FirstChildElement("extension"); e;
             e = e->NextSiblingElement("extension")) {
            const char* text = e->GetText();
            if (!text || !*text)
                continue;
            std::string extension = fromUtf8(text);
            if (known.insert(extension).second)
                config.extensions().push_back(std::move(extension));
        }
    }

    if (const TiXmlElement* recursive = configs->FirstChildElement("recursive")) {
        if (boolAttribute(recursive, "removal"))
            config.flags() |= kFlagRemoval;
        if (boolAttribute(recursive, "desktop"))
            config.flags() |= kFlagDesktop;
    }
    if (const TiXmlElement* capture = configs->FirstChildElement("capture")) {
        if (boolAttribute(capture, "filetime"))
            config.flags() |= kFlagFiletime;
        if (boolAttribute(capture, "addpos"))
            config.flags() |= kFlagAddpos;
    }
    return true;
}

bool parseLStrings(const TiXmlElement* lstrings, ViewerConfig& config) {
    auto& table = config.stringTable();
    // The first `lstring` and every element after it, whatever its name, is one entry.
    for (const TiXmlElement* entry = lstrings->FirstChildElement("lstring"); entry;
         entry = entry->NextSiblingElement()) {
        const char* id = entry->Attribute("id");
        if (!id)
            continue;
        const uint32_t idHash = ViewerConfigHash(id);
        int mode = 0; // carried from one `language` child to the next ones without `mode`
        for (const TiXmlElement* language = entry->FirstChildElement("language"); language;
             language = language->NextSiblingElement("language")) {
            language->QueryIntAttribute("mode", &mode);
            const char* type = language->Attribute("type");
            const char* text = language->GetText();
            if (!type || !text)
                continue;
            const ViewerConfig::Key key{idHash, LookupLanguage(config, type, mode)};
            if (table.count(key)) {
                std::printf("Duplicated LSID(%s) found, ignore it.\n", id);
                std::fflush(stdout);
                continue;
            }
            table.emplace(key, std::make_pair(std::string(id), fromUtf8(unescapeLineFeeds(text).c_str())));
        }
    }
    return true;
}

bool parseDocument(const std::string& text, ViewerConfig& config) {
    if (elementNesting(text) > kMaxConfigNesting) {
        CONFIG_DIAG("Can not configuration file\n");
        return false;
    }
    // The XML parser steps over a whole UTF-8 sequence from its lead byte, so a file that ends in a
    // truncated sequence makes it jump over the terminating NUL and read past the buffer. A few
    // more NULs than the longest sequence keep every such jump inside the buffer.
    std::string buffer;
    buffer.reserve(text.size() + kParserPadding);
    buffer.append(text);
    buffer.append(kParserPadding, '\0');
    TiXmlDocument document;
    document.Parse(buffer.c_str(), nullptr, TIXML_ENCODING_UTF8);
    if (document.Error()) {
        CONFIG_DIAG("Can not configuration file\n");
        return false;
    }
    const TiXmlElement* root = document.FirstChildElement();
    if (!root) {
        CONFIG_DIAG("xml document has no root element\n");
        return false;
    }
    const TiXmlElement* configs = root->FirstChildElement("configs");
    if (!configs) {
        CONFIG_DIAG("xml document has no configs element\n");
        return false;
    }
    // Checked before anything is taken from `configs`: a file without strings yields no settings.
    const TiXmlElement* lstrings = root->FirstChildElement("lstrings");
    if (!lstrings) {
        CONFIG_DIAG("xml document has no lstrings element\n");
        return false;
    }
    if (!parseConfig(config, configs)) {
        CONFIG_DIAG("_parseConfig failed\n");
        return false;
    }
    if (!parseLStrings(lstrings, config)) {
        CONFIG_DIAG("_parseLString failed\n");
        return false;
    }
    return true;
}

} // namespace

ViewerConfig& ViewerConfig::Instance() {
    std::lock_guard lock(g_instanceLock);
    if (!g_instance)
        g_instance = std::make_unique<ViewerConfig>();
    return *g_instance;
}

void ViewerConfig::Release() {
    std::lock_guard lock(g_instanceLock);
    if (g_instance)
        g_instance->m_strings.clear();
    g_instance.reset();
}

bool ViewerConfig::GetDirEntry(int index, DirEntry& out) const {
    if (index < 0 || index >= GetDirCount())
        return false;
    out = m_dirs[index];
    return true;
}

bool ViewerConfig::GetExtension(int index, std::string& out) const {
    if (index < 0 || index >= GetExtensionCount())
        return false;
    out = m_extensions[index];
    return true;
}

bool ViewerConfig::GetLString(int32_t language, const std::string& id, std::string& out) const {
    const auto it = m_strings.find(Key{ViewerConfigHash(id), language});
    if (it == m_strings.end())
        return false;
    out = it->second.second;
    return true;
}

uint32_t ViewerConfigHash(std::string_view text) {
    uint32_t hash = 5381;
    for (const char c : text)
        hash = hash * 33u + static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(c)));
    return hash;
}

void FillLanguageTable(ViewerConfig& config) {
    auto& table = config.languageTable();
    table.clear();
    table[{ViewerConfigHash("english"), 0}] = kLanguageEnglish;
    table[{ViewerConfigHash("korean"), 0}] = kLanguageKorean;
    table[{ViewerConfigHash("japanese"), 0}] = kLanguageJapanese;
    table[{ViewerConfigHash("chinese"), 0}] = kLanguageChinese;
    table[{ViewerConfigHash("chinese"), 1}] = kLanguageChineseMode1;
    table[{ViewerConfigHash("russian"), 0}] = kLanguageRussian;
}

int32_t LookupLanguage(const ViewerConfig& config, std::string_view name, int32_t mode) {
    const auto& table = config.languageTable();
    const auto it = table.find({ViewerConfigHash(name), mode});
    return it == table.end() ? kLanguageUnknown : it->second;
}

bool LoadViewerConfigFromMemory(std::string_view bytes, ViewerConfig& config) {
    FillLanguageTable(config);
    return parseDocument(std::string(bytes), config);
}

bool LoadViewerConfigFile(const std::string& path, ViewerConfig& config) {
    FillLanguageTable(config);
    const std::optional<std::string> text = ReadWholeFile(path);
    if (!text) {
        CONFIG_DIAG("Can not configuration file\n");
        return false;
    }
    return parseDocument(*text, config);
}

bool LoadViewerConfig(const std::string& fileName, ViewerConfig& config) {
    return LoadViewerConfigFile(GetProgramDirectory() + "/" + fileName, config);
}

std::string LString(const std::string& id) {
    const ViewerConfig& config = ViewerConfig::Instance();
    std::string text;
    config.GetLString(config.GetLanguage(), id, text);
    return text;
}

namespace {
std::optional<std::string>& pinnedLanguage() {
    static std::optional<std::string> pinned;
    return pinned;
}
} // namespace

std::string InstallerLanguageFor(const std::string& stored, const QLocale& system) {
    if (!stored.empty())
        return stored == kInstallerLanguageKorean ? "korean" : "english";
    return system.language() == QLocale::Korean ? "korean" : "english";
}

std::string GetInstallerLanguage() {
    if (const std::optional<std::string>& pinned = pinnedLanguage())
        return *pinned;
    return InstallerLanguageFor(ReadSetting("Installer Language"), QLocale::system());
}

void PinInstallerLanguageForThisRun() {
    pinnedLanguage().reset();
    pinnedLanguage() = GetInstallerLanguage();
}

void StoreInstallerLanguage(const std::string& language) {
    WriteSetting("Installer Language",
                 language == "korean" ? kInstallerLanguageKorean : kInstallerLanguageEnglish);
}
