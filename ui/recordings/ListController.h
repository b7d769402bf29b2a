// The main window's recording list: the scanner of the chosen card or folder, the hidden report list,
// the drawn list with its tab strip and scroll bar, the open command's dialog and scan, the list
// commands of the skin, the search page and the reaction to a card being pulled out. The main window
// owns one and connects it to its playback through Hooks and openRowRequested; playback reads and
// marks its rows through RecordingList. The drawn list and the tab strip report their clicks through
// their signals.
#pragma once

#include "core/recordings/RecordingScanner.h"
#include "core/recordings/ReportList.h"
#include "core/tools/MountWatcher.h"
#include "ui/playback/RecordingList.h"

#include <QObject>
#include <QString>
#include <array>
#include <functional>
#include <memory>

class RecordingListView;
class PlaybackSession;
class KindTabs;
class QScrollBar;
class QWidget;
class VolumeSource;

class ListController : public QObject, public RecordingList {
    Q_OBJECT
public:
    // What the list needs from the main window; every hook may be left empty.
    struct Hooks {
        std::function<void()> returnToIdle;          // stop playback before another source is chosen
        std::function<void()> closeRecording;        // stop and close the open recording; lists untouched
        std::function<bool()> busy;                  // a recording is being opened: list input is ignored
        std::function<void(bool)> setCardControls;   // enable (drive) or disable (folder) card controls
        std::function<void()> resetPlaybackControls; // after "no files"
        std::function<void(bool)> showMap;           // map tab chosen (true) or a kind tab (false)
    };
    // Asks for a drive-list index (runs the drive dialog); -1 when cancelled.
    using DriveChooser = std::function<int(RecordingScanner&)>;
    // Shows the search page over the entries; the chosen name, empty when none.
    using SearchRunner = std::function<std::string(const RecordingScanner&)>;
    using ErrorReporter = std::function<void(const QString&)>;

    ListController(QWidget* window, RecordingListView* list, KindTabs* menu, QScrollBar* scrollBar,
                   QObject* parent = nullptr);
    ~ListController() override;

    void setHooks(Hooks hooks) { m_hooks = std::move(hooks); }
    // The row of each recording the session opens is highlighted under the current kind.
    void followSession(PlaybackSession& session);
    // Folders, extensions, recursion flags and labels from the program configuration.
    void configure();
    // Watches the mount table (on by default in the program; tests drive their own watcher).
    void startMountWatch(std::unique_ptr<MountWatcher> watcher = {});

    // Injection points for tests; the defaults show the real dialogs.
    void setDriveChooser(DriveChooser chooser) { m_chooseDrive = std::move(chooser); }
    void setFolderChooser(RecordingScanner::FolderChooser chooser) { m_chooseFolder = std::move(chooser); }
    void setSearchRunner(SearchRunner runner) { m_runSearch = std::move(runner); }
    void setErrorReporter(ErrorReporter reporter) { m_reportError = std::move(reporter); }
    // An error box over the main window (or the reporter tests install).
    void reportError(const QString& text);
    void setVolumeSource(std::shared_ptr<const VolumeSource> source) { m_volumes = std::move(source); }

    RecordingScanner& scanner() { return m_scanner; }
    const RecordingScanner& scanner() const { return m_scanner; }
    ReportList& report() { return m_report; }
    bool sourceChosen() const { return m_scanner.SourceKind() != kNoSource; }

    // "btnOpen": stop playback, drive dialog, scan, list. True when a list is shown.
    bool openSource();
    // The part after the dialog: scan drive-list entry `index` and show the result.
    bool scanAndShow(int index);
    // Builds the visible list from the scanner's entries (after a scan or a deletion).
    void showList();

    // Skin commands of the list ("chkClear", "chkAll", "chkRow", "fileFolder").
    void chkClear();
    void chkAll(int value);
    void chkRow(int entry, bool checked);
    void fileFolder(int tab);
    // A click on the tab strip: 0 the search icon, 1..4 a kind, 5 the map. Dropped while busy.
    void chooseTab(int tab);
    // Shows kind `kind` (1..4) from its saved scroll position, as its tab does.
    void showKind(int kind);
    // Lists the recordings of a folder given on the command line (a folder source).
    bool openFolder(const std::filesystem::path& folder);
    void search(); // "btnSearch" and the search icon

    // RecordingList
    int kindFilter() const override { return m_kind; }
    int recordingCount() const override { return m_scanner.EntryCount(); }
    std::string recordingName(int index) const override;
    std::filesystem::path rowPath(int index) const override;
    // After a recording opened: highlight it under `kind` and scroll it into view.
    void selectRow(int index, int kind) override;
    // Highlight none and show tab 1 (the end of a recording list was reached).
    void clearHighlight() override;
    // Empties the scan, the report list and the drawn list.
    void clearRecordings() override;
    void listSingleFile(const std::filesystem::path& path) override;

    // Recomputes the scroll bar for the list's current height (after layout changes).
    void updateScrollBar();
    // A volume was unmounted: when it holds the listed recordings, the list is cleared.
    void onVolumeRemoved(const QString& mountPoint);

signals:
    // A row was clicked open or chosen on the search page: the player opens this entry.
    void openRowRequested(int entry);
    // The listed card went away; the list is already empty.
    void sourceRemoved();
    // The kind filter changed (tabs, search, selection).
    void kindChanged(int kind);

private:
    bool busy() const { return m_hooks.busy && m_hooks.busy(); }
    void requestOpen(int entry);
    void checkAll(bool on);
    void setKind(int kind);
    void onScroll(int value);
    int rowsPerPage() const;

    QWidget* m_window;
    RecordingListView* m_list;
    KindTabs* m_menu;
    QScrollBar* m_scrollBar;
    RecordingScanner m_scanner;
    ReportList m_report;
    Hooks m_hooks;
    DriveChooser m_chooseDrive;
    RecordingScanner::FolderChooser m_chooseFolder;
    SearchRunner m_runSearch;
    ErrorReporter m_reportError;
    std::shared_ptr<const VolumeSource> m_volumes;
    std::unique_ptr<MountWatcher> m_mounts;
    std::array<int, 5> m_savedTop{}; // first visible row per kind filter
    int m_kind = 1;
    bool m_settingScroll = false;
};
