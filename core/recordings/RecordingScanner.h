// The recording scan of a card or folder: the ordered entries, the row map of the report list and the
// drive list that names the sources. One scanner, owned by the main window's list controller; the
// opening of a recording and the batch tools reach an entry through it by index.
#pragma once

#include "core/recordings/RecordingEntry.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class ReportList;

// One entry of the drive list (the sources the user can pick).
struct DriveEntry {
    int index = 0;     // position among the offered volumes
    std::string name;  // root path of the volume ending in '/', or the folder entry's label
    int kind = 0;      // kDriveSource or kFolderSource
    std::string label; // volume label shown beside the path; empty for none
    bool removable = false;
};

inline constexpr int kDriveSource = 0;  // a mounted volume
inline constexpr int kFolderSource = 1; // a folder chosen by browsing
inline constexpr int kNoSource = 2;     // nothing scanned yet

// A configured recording folder ("NORMAL", "EVENT", ...), searched below a drive's root.
struct ScanFolder {
    std::string name;
};

class RecordingScanner {
public:
    // Asks the user for a folder; std::nullopt when cancelled.
    using FolderChooser = std::function<std::optional<std::filesystem::path>(const std::string& title)>;

    RecordingScanner();

    // Configuration, given once at start-up.
    void SetFolders(std::vector<ScanFolder> folders) { m_folders = std::move(folders); }
    void SetExtensions(const std::vector<std::string>& extensions); // compared lower-case
    void SetRecursion(bool removal, bool desktop) {
        m_removal = removal;
        m_desktop = desktop;
    }
    void SetBrowseTitle(const std::string& title) {
        if (!title.empty())
            m_browseTitle = title;
    }
    const std::string& BrowseTitle() const { return m_browseTitle; }
    void SetFolderEntryLabel(const std::string& label) {
        if (!label.empty())
            m_folderLabel = label;
    }
    const std::string& FolderEntryLabel() const { return m_folderLabel; }
    const std::vector<ScanFolder>& Folders() const { return m_folders; }

    // The drive list, rebuilt by BuildDriveList (core/tools/DriveList.h).
    std::vector<DriveEntry>& Drives() { return m_drives; }
    const std::vector<DriveEntry>& Drives() const { return m_drives; }

    // Scans entry `index` of the drive list; a folder entry asks `choose` for the folder. Entries come
    // out in sort mode 1 (creation time, name, size). False on a bad index or a cancelled choice.
    bool ScanSource(int index, const FolderChooser& choose);
    // The two scans by themselves (also used by tests and the benchmark).
    void ScanDriveRoot(const std::filesystem::path& root);
    void ScanFolderTree(const std::filesystem::path& folder);

    // Orders the entries by the time key of their names; equal keys keep their order.
    void OrderByNameTime();
    // Refills `report` and the row map from the entries in their order; returns the row count.
    int FillReportList(ReportList& report);

    int EntryCount() const { return static_cast<int>(m_entries.size()); }
    const std::vector<RecordingEntry>& Entries() const { return m_entries; }
    RecordingEntry* GetEntry(int index);
    const RecordingEntry* GetEntry(int index) const;
    const std::string* GetRowPath(int row) const;  // null when the row is not in the map
    int FindByName(const std::string& name) const; // first entry with exactly this name, -1 none
    bool RemoveEntry(int index); // the report list must be refilled afterwards
    void Clear();                // entries, row map and found folders; the source is forgotten
    // Appends one recording file named by the user (single-file open); a file that cannot be
    // read is still listed, with size 0, so that opening it reports the failure.
    void AppendFile(const std::filesystem::path& path);

    int SourceKind() const { return m_sourceKind; }
    int FoundCount() const { return m_foundCount; }
    int SelectedSourceIndex() const { return m_selectedSource; }
    // The volume root or chosen folder of the last successful scan; empty before one.
    const std::filesystem::path& SourcePath() const { return m_sourcePath; }
    const std::vector<std::string>& FoundFolders() const { return m_foundFolders; }
    static constexpr int kSortMode = 1;

private:
    int searchFolder(const std::string& folder, bool recurse, int folderIndex, int depth);
    bool matchesExtension(const std::string& fileName) const;
    void sortEntries();

    std::vector<RecordingEntry> m_entries;
    std::vector<int> m_rowMap; // entry index of each report-list row
    std::vector<std::string> m_foundFolders;
    std::vector<DriveEntry> m_drives;
    std::vector<ScanFolder> m_folders;
    std::vector<std::string> m_extensions;
    std::filesystem::path m_sourcePath;
    std::string m_browseTitle = "Select Folder";
    std::string m_folderLabel = "Find in My Computer";
    int m_sourceKind = kNoSource;
    int m_foundCount = 0;
    int m_selectedSource = -1;
    bool m_removal = false;
    bool m_desktop = false;
};
