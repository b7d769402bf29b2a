#include "core/recordings/RecordingScanner.h"

#include "core/recordings/ListText.h"
#include "core/recordings/RecordingName.h"
#include "core/recordings/ReportList.h"

#include <algorithm>
#include <cctype>
#include <ctime>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace {
// Between 1601-01-01 and 1970-01-01, in 100 ns units.
constexpr uint64_t kUnixEpochAsFileTime = 116444736000000000ULL;
// Deeper trees than this are not walked: a card never nests folders this far, a loop might.
constexpr int kMaxDepth = 32;

std::string lowerAscii(std::string s) {
    for (auto& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool equalsIgnoreCase(const std::string& a, const std::string& b) {
    return lowerAscii(a) == lowerAscii(b);
}

std::string withSlash(std::string path) {
    if (path.empty() || path.back() != '/')
        path.push_back('/');
    return path;
}

LocalTime toLocal(int64_t unixSeconds, int64_t nanoseconds) {
    LocalTime out;
    std::time_t t = static_cast<std::time_t>(unixSeconds);
    std::tm tm{};
    if (!localtime_r(&t, &tm))
        return out;
    out.year = static_cast<int16_t>(tm.tm_year + 1900);
    out.month = static_cast<int16_t>(tm.tm_mon + 1);
    out.dayOfWeek = static_cast<int16_t>(tm.tm_wday);
    out.day = static_cast<int16_t>(tm.tm_mday);
    out.hour = static_cast<int16_t>(tm.tm_hour);
    out.minute = static_cast<int16_t>(tm.tm_min);
    out.second = static_cast<int16_t>(tm.tm_sec);
    out.milliseconds = static_cast<int16_t>(nanoseconds / 1000000);
    return out;
}

struct FileFacts {
    bool isDirectory = false;
    bool isFile = false;
    int64_t seconds = 0;
    int64_t nanoseconds = 0;
    int64_t size = 0;
};

// The birth time where the file system keeps one (exFAT, FAT, ext4, ...), else the modification time.
bool statFile(int dirFd, const char* name, FileFacts& out) {
    struct statx sx {};
    if (statx(dirFd, name, AT_STATX_DONT_SYNC, STATX_TYPE | STATX_SIZE | STATX_BTIME | STATX_MTIME, &sx) != 0)
        return false;
    out.isDirectory = S_ISDIR(sx.stx_mode);
    out.isFile = S_ISREG(sx.stx_mode);
    const auto& ts = (sx.stx_mask & STATX_BTIME) ? sx.stx_btime : sx.stx_mtime;
    out.seconds = ts.tv_sec;
    out.nanoseconds = ts.tv_nsec;
    out.size = static_cast<int64_t>(sx.stx_size);
    return true;
}
} // namespace

RecordingScanner::RecordingScanner() = default;

void RecordingScanner::SetExtensions(const std::vector<std::string>& extensions) {
    m_extensions.clear();
    for (const auto& e : extensions)
        if (!e.empty())
            m_extensions.push_back(lowerAscii(e));
}

bool RecordingScanner::matchesExtension(const std::string& fileName) const {
    if (fileName.empty())
        return false;
    const auto dot = fileName.rfind('.');
    const std::string ext = lowerAscii(dot == std::string::npos ? fileName : fileName.substr(dot + 1));
    return std::find(m_extensions.begin(), m_extensions.end(), ext) != m_extensions.end();
}

int RecordingScanner::searchFolder(const std::string& folder, bool recurse, int folderIndex, int depth) {
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return 0; // missing or unreadable: adds nothing
    const int dirFd = dirfd(dir);
    int found = 0;
    std::vector<std::string> subfolders;
    while (dirent* d = readdir(dir)) {
        const std::string name = d->d_name;
        if (name == "." || name == "..")
            continue;
        // Symbolic links to folders are not followed (no loops); links to files are.
        bool isDir = d->d_type == DT_DIR;
        bool mayBeFile = d->d_type == DT_REG || d->d_type == DT_LNK || d->d_type == DT_UNKNOWN;
        if (d->d_type == DT_UNKNOWN) {
            struct stat st {};
            if (fstatat(dirFd, d->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
                isDir = S_ISDIR(st.st_mode);
                mayBeFile = !isDir;
            }
        }
        if (isDir) {
            if (recurse)
                subfolders.push_back(name);
            continue;
        }
        if (!mayBeFile || !matchesExtension(name))
            continue;
        FileFacts facts;
        if (!statFile(dirFd, d->d_name, facts) || !facts.isFile)
            continue;
        RecordingEntry e;
        e.folder = folderIndex;
        e.name = name;
        e.path = folder + name;
        const int64_t ticks = facts.seconds * 10000000LL + facts.nanoseconds / 100;
        e.creationTime = static_cast<uint64_t>(ticks) + kUnixEpochAsFileTime;
        e.localCreation = toLocal(facts.seconds, facts.nanoseconds);
        e.sizeKiB = facts.size / 1024;
        e.chosen = 0;
        m_entries.push_back(std::move(e));
        ++found;
        ++m_foundCount;
    }
    closedir(dir);
    if (depth < kMaxDepth) {
        // Enumeration order of the file system is not sorted; sort mode 1 orders the result anyway.
        for (const auto& sub : subfolders)
            found += searchFolder(folder + sub + "/", recurse, folderIndex, depth + 1);
    }
    return found;
}

void RecordingScanner::ScanDriveRoot(const std::filesystem::path& root) {
    m_foundFolders.clear();
    m_entries.clear();
    m_rowMap.clear();
    m_foundCount = 0;
    const std::string base = withSlash(root.string());
    for (size_t i = 0; i < m_folders.size(); ++i) {
        const std::string folder = base + m_folders[i].name + "/";
        searchFolder(folder, m_removal, static_cast<int>(i), 0);
        m_foundFolders.push_back(folder);
    }
    sortEntries();
}

void RecordingScanner::ScanFolderTree(const std::filesystem::path& chosen) {
    m_foundFolders.clear();
    m_entries.clear();
    m_rowMap.clear();
    m_foundCount = 0;
    const std::string base = withSlash(chosen.string());
    // The chosen folder itself. Its configured sub-folders are searched below with their own
    // recursion flag and folder entry; searching them here as well would list every file twice.
    if (m_desktop) {
        DIR* dir = opendir(base.c_str());
        if (dir) {
            std::vector<std::string> subs;
            while (dirent* d = readdir(dir)) {
                const std::string name = d->d_name;
                if (name == "." || name == "..")
                    continue;
                bool isDir = d->d_type == DT_DIR;
                if (d->d_type == DT_UNKNOWN) {
                    struct stat st {};
                    isDir =
                        fstatat(dirfd(dir), d->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
                }
                if (!isDir)
                    continue;
                const bool configured =
                    std::any_of(m_folders.begin(), m_folders.end(),
                                [&](const ScanFolder& f) { return equalsIgnoreCase(f.name, name); });
                if (!configured)
                    subs.push_back(name);
            }
            closedir(dir);
            searchFolder(base, false, -1, 0);
            for (const auto& s : subs)
                searchFolder(base + s + "/", true, -1, 1);
        }
    } else {
        searchFolder(base, false, -1, 0);
    }
    for (size_t i = 0; i < m_folders.size(); ++i) {
        const std::string folder = base + m_folders[i].name + "/";
        if (searchFolder(folder, m_removal, static_cast<int>(i), 0) > 0)
            m_foundFolders.push_back(folder);
    }
    sortEntries();
}

bool RecordingScanner::ScanSource(int index, const FolderChooser& choose) {
    if (index < 0 || index >= static_cast<int>(m_drives.size()))
        return false;
    const DriveEntry drive = m_drives[index];
    if (drive.kind == kDriveSource) {
        ScanDriveRoot(drive.name);
        m_sourcePath = drive.name;
    } else {
        std::optional<std::filesystem::path> chosen = choose ? choose(m_browseTitle) : std::nullopt;
        if (!chosen || chosen->empty())
            return false; // the previous list and source stay as they were
        ScanFolderTree(*chosen);
        m_sourcePath = *chosen;
    }
    m_sourceKind = drive.kind;
    m_selectedSource = index;
    return true;
}

void RecordingScanner::sortEntries() {
    std::stable_sort(m_entries.begin(), m_entries.end(),
                     [](const RecordingEntry& a, const RecordingEntry& b) {
                         if (a.creationTime != b.creationTime)
                             return a.creationTime < b.creationTime;
                         if (a.name != b.name)
                             return a.name < b.name; // ordinal comparison of the UTF-8 bytes
                         return a.sizeKiB < b.sizeKiB;
                     });
}

void RecordingScanner::OrderByNameTime() {
    std::vector<std::pair<uint64_t, size_t>> keys;
    keys.reserve(m_entries.size());
    for (size_t i = 0; i < m_entries.size(); ++i)
        keys.emplace_back(GetNameTimeKey(m_entries[i].name), i);
    // A stable sort yields exactly what exchanging neighbours with a strictly greater left key gives.
    std::stable_sort(keys.begin(), keys.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<RecordingEntry> ordered;
    ordered.reserve(m_entries.size());
    for (const auto& k : keys)
        ordered.push_back(std::move(m_entries[k.second]));
    m_entries = std::move(ordered);
    m_rowMap.clear();
}

int RecordingScanner::FillReportList(ReportList& report) {
    report.Clear();
    m_rowMap.clear();
    m_rowMap.reserve(m_entries.size());
    for (size_t i = 0; i < m_entries.size(); ++i) {
        const auto& e = m_entries[i];
        report.Append({e.name, FormatReportDate(e.localCreation), FormatReportSize(e.sizeKiB), false});
        m_rowMap.push_back(static_cast<int>(i));
    }
    return report.Count();
}

RecordingEntry* RecordingScanner::GetEntry(int index) {
    return index >= 0 && index < EntryCount() ? &m_entries[index] : nullptr;
}

const RecordingEntry* RecordingScanner::GetEntry(int index) const {
    return index >= 0 && index < EntryCount() ? &m_entries[index] : nullptr;
}

const std::string* RecordingScanner::GetRowPath(int row) const {
    if (row < 0 || row >= static_cast<int>(m_rowMap.size()))
        return nullptr;
    const RecordingEntry* e = GetEntry(m_rowMap[row]);
    return e ? &e->path : nullptr;
}

int RecordingScanner::FindByName(const std::string& name) const {
    for (int i = 0; i < EntryCount(); ++i)
        if (m_entries[i].name == name)
            return i;
    return -1;
}

bool RecordingScanner::RemoveEntry(int index) {
    if (!GetEntry(index))
        return false;
    m_entries.erase(m_entries.begin() + index);
    m_rowMap.clear();
    return true;
}

void RecordingScanner::Clear() {
    m_entries.clear();
    m_rowMap.clear();
    m_foundFolders.clear();
    m_foundCount = 0;
    m_sourcePath.clear();
}

void RecordingScanner::AppendFile(const std::filesystem::path& path) {
    RecordingEntry e;
    e.name = path.filename().string();
    e.path = path.string();
    FileFacts facts;
    if (statFile(AT_FDCWD, path.c_str(), facts) && facts.isFile) {
        const int64_t ticks = facts.seconds * 10000000LL + facts.nanoseconds / 100;
        e.creationTime = static_cast<uint64_t>(ticks) + kUnixEpochAsFileTime;
        e.localCreation = toLocal(facts.seconds, facts.nanoseconds);
        e.sizeKiB = facts.size / 1024;
    }
    m_entries.push_back(std::move(e));
    ++m_foundCount;
}
