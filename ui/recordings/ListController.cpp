#include "ui/recordings/ListController.h"

#include "core/config/ViewerConfig.h"
#include "core/recordings/ListText.h"
#include "core/recordings/RecordingName.h"
#include "core/tools/DriveList.h"
#include "core/tools/MountWatcher.h"
#include "ui/dialogs/SearchPageWindow.h"
#include "ui/dialogs/DriveChoiceDialog.h"
#include "ui/playback/PlaybackSession.h"
#include "ui/recordings/RecordingListView.h"
#include "ui/recordings/KindTabs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QScrollBar>
#include <QStyle>
#include <algorithm>
#include <utility>

namespace {
const char* const kProductTitle = "Morvent QUILLENT";
}

ListController::ListController(QWidget* window, RecordingListView* list, KindTabs* menu,
                               QScrollBar* scrollBar, QObject* parent)
    : QObject(parent), m_window(window), m_list(list), m_menu(menu), m_scrollBar(scrollBar) {
    m_list->setBusyCheck([this] { return busy(); });
    m_menu->setBusyCheck([this] { return busy(); });
    connect(m_list, &RecordingListView::rowActivated, this, &ListController::requestOpen);
    connect(m_list, &RecordingListView::checkChanged, this, [this](int entry, bool on) {
        if (!busy() && m_report.SetChecked(entry, on))
            if (RecordingEntry* e = m_scanner.GetEntry(entry))
                e->chosen = on ? 1 : 0;
    });
    connect(m_menu, &KindTabs::selectAllChanged, this, &ListController::checkAll);
    connect(m_menu, &KindTabs::searchClicked, this, [this] { chooseTab(0); });
    connect(m_menu, &KindTabs::tabChosen, this, &ListController::chooseTab);
    connect(m_list, &RecordingListView::resized, this, &ListController::updateScrollBar);
    connect(m_list, &RecordingListView::wheelRows, this, [this](int rows) {
        if (m_scrollBar->isVisible())
            m_scrollBar->setValue(m_scrollBar->value() + rows);
    });
    // Dark like the list it scrolls (the window gives scroll bars the colour 0x3A3A3A).
    m_scrollBar->setStyleSheet(
        QStringLiteral("QScrollBar:vertical { background: #2c2c2c; width: %1px; margin: 0; border: none; }"
                       "QScrollBar::handle:vertical { background: #3a3a3a; min-height: 24px; border-radius: "
                       "3px; margin: 1px 3px; }"
                       "QScrollBar::handle:vertical:hover { background: #5c5c5c; }"
                       "QScrollBar::handle:vertical:pressed { background: #00a8ff; }"
                       "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; border: "
                       "none; background: none; }"
                       "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }")
            .arg(m_scrollBar->style()->pixelMetric(QStyle::PM_ScrollBarExtent)));
    m_scrollBar->setRange(0, 0);
    m_scrollBar->setPageStep(1);
    m_scrollBar->hide();
    connect(m_scrollBar, &QScrollBar::valueChanged, this, &ListController::onScroll);

    m_chooseDrive = [this](RecordingScanner& scanner) {
        DriveChoiceDialog dlg(m_window);
        dlg.setScanner(&scanner);
        if (m_volumes)
            dlg.setVolumeSource(m_volumes);
        return dlg.exec() == QDialog::Accepted ? dlg.selectedIndex() : -1;
    };
    m_chooseFolder = [this](const std::string& title) -> std::optional<std::filesystem::path> {
        const QString dir = QFileDialog::getExistingDirectory(m_window, QString::fromStdString(title),
                                                              QString(), QFileDialog::ShowDirsOnly);
        if (dir.isEmpty())
            return std::nullopt;
        return std::filesystem::path(dir.toStdString());
    };
    m_runSearch = [this](const RecordingScanner& scanner) { return RunSearchPage(m_window, scanner); };
    m_reportError = [this](const QString& text) {
        QMessageBox::critical(m_window, QString::fromLatin1(kProductTitle), text);
    };
}

void ListController::followSession(PlaybackSession& session) {
    connect(&session, &PlaybackSession::recordingOpened, this, [this, &session] {
        const int row = session.recording().listIndex;
        if (row >= 0)
            selectRow(row, m_kind);
    });
    // Nothing open: no row is shown as the open one (Play then starts what the list shows).
    connect(&session, &PlaybackSession::recordingClosed, this, [this] {
        m_list->model().SetSelection(-1, 0);
        m_list->update();
    });
}

ListController::~ListController() = default;

void ListController::configure() {
    const ViewerConfig& config = ViewerConfig::Instance();
    std::vector<ScanFolder> folders;
    for (int i = 0; i < config.GetDirCount(); ++i) {
        DirEntry d;
        if (config.GetDirEntry(i, d))
            folders.push_back({d.name});
    }
    m_scanner.SetFolders(std::move(folders));
    std::vector<std::string> extensions;
    for (int i = 0; i < config.GetExtensionCount(); ++i) {
        std::string e;
        if (config.GetExtension(i, e))
            extensions.push_back(e);
    }
    m_scanner.SetExtensions(extensions);
    m_scanner.SetRecursion(config.GetFlags() & kFlagRemoval, config.GetFlags() & kFlagDesktop);
    m_scanner.SetBrowseTitle(LString("COMM_SEL_FOLDER"));
    m_scanner.SetFolderEntryLabel(LString("SELDRV_COMBO_DESKTOP"));
}

void ListController::startMountWatch(std::unique_ptr<MountWatcher> watcher) {
    m_mounts = watcher ? std::move(watcher) : std::make_unique<MountWatcher>();
    m_mounts->OnRemoved([this](const QString& mountPoint) { onVolumeRemoved(mountPoint); });
    m_mounts->Start();
}

void ListController::reportError(const QString& text) {
    if (m_reportError)
        m_reportError(text);
}

bool ListController::openSource() {
    // Nothing changes until a card or folder is chosen: a cancelled choice leaves the list and the
    // playing recording as they were. ScanAndShow closes the recording once a source is scanned.
    const int index = m_chooseDrive ? m_chooseDrive(m_scanner) : -1;
    if (index < 0)
        return false;
    return scanAndShow(index);
}

bool ListController::openFolder(const std::filesystem::path& folder) {
    auto& drives = m_scanner.Drives();
    auto it = std::find_if(drives.begin(), drives.end(),
                           [](const DriveEntry& d) { return d.kind == kFolderSource; });
    if (it == drives.end()) {
        DriveEntry entry;
        entry.index = static_cast<int>(drives.size());
        entry.name = m_scanner.FolderEntryLabel();
        entry.kind = kFolderSource;
        drives.push_back(entry);
        it = drives.end() - 1;
    }
    const int index = static_cast<int>(it - drives.begin());
    auto chooser = std::exchange(m_chooseFolder, [folder](const std::string&) {
        return std::optional<std::filesystem::path>(folder);
    });
    const bool ok = scanAndShow(index);
    m_chooseFolder = std::move(chooser);
    return ok;
}

bool ListController::scanAndShow(int index) {
    const bool scanned = m_scanner.ScanSource(index, m_chooseFolder);
    if (!scanned)
        return false; // the folder choice was cancelled: the previous list and source stay
    if (scanned) {
        // The previous source's recording is closed before the new list replaces it.
        if (m_hooks.closeRecording)
            m_hooks.closeRecording();
        showList();
        if (m_hooks.setCardControls)
            m_hooks.setCardControls(m_scanner.SourceKind() == kDriveSource);
    }
    if (m_scanner.SourceKind() == kFolderSource && m_scanner.FoundCount() == 0) {
        reportError(QString::fromStdString(LString("MAIN_MSG_NO_FILES")));
        if (m_hooks.resetPlaybackControls)
            m_hooks.resetPlaybackControls();
        return false;
    }
    return true;
}

void ListController::showList() {
    // Ordered first, so that a row of the report list and of the drawn list name the same entry.
    m_scanner.OrderByNameTime();
    m_scanner.FillReportList(m_report);
    FileListModel& model = m_list->model();
    model.Clear();
    m_savedTop.fill(0);
    for (const auto& e : m_scanner.Entries())
        model.Append(MakeFileInfo(e));
    m_menu->setSelectAll(false);
    updateScrollBar();
    m_list->update();
}

void ListController::clearRecordings() {
    m_scanner.Clear();
    m_report.Clear();
    m_list->model().Clear();
    m_savedTop.fill(0);
    m_menu->setSelectAll(false);
    updateScrollBar();
    m_list->update();
}

int ListController::rowsPerPage() const {
    return m_list->height() / FileListModel::kRowHeight;
}

void ListController::updateScrollBar() {
    const int count = m_list->model().VisibleCount();
    const int rows = rowsPerPage();
    const int maximum = std::max(0, count - rows);
    int top = std::clamp(m_list->model().TopRow(), 0, maximum);
    m_settingScroll = true;
    m_scrollBar->setRange(0, maximum);
    m_scrollBar->setPageStep(std::max(1, rows));
    m_scrollBar->setValue(top);
    m_settingScroll = false;
    if (top != m_list->model().TopRow()) {
        m_list->model().SetTopRow(top);
        if (m_kind >= 1 && m_kind <= 4)
            m_savedTop[m_kind] = top;
        m_list->update();
    }
    m_scrollBar->setVisible(count > 0 && count >= rows - 1);
}

void ListController::onScroll(int value) {
    if (m_settingScroll)
        return;
    m_list->model().SetTopRow(value);
    if (m_kind >= 1 && m_kind <= 4)
        m_savedTop[m_kind] = value;
    m_list->update();
}

void ListController::chkClear() {
    m_report.SetAllChecked(false);
    // The drawn boxes follow the report list, so what is shown is what the tools take.
    m_list->model().SetCheckedAll(false);
    m_menu->setSelectAll(false);
    m_list->update();
}

void ListController::chkAll(int value) {
    checkAll(value == 1);
    m_menu->setSelectAll(value == 1);
}

void ListController::chkRow(int entry, bool checked) {
    if (!m_report.SetChecked(entry, checked))
        return;
    if (RecordingEntry* e = m_scanner.GetEntry(entry))
        e->chosen = checked ? 1 : 0;
    m_list->model().SetChecked(entry, checked);
    m_list->update();
}

void ListController::fileFolder(int tab) {
    if (tab == kFilterMap) {
        chooseTab(kFilterMap);
        m_menu->setCurrentTab(kFilterMap);
        return;
    }
    if (tab < 1 || tab > 4)
        return;
    m_menu->setCurrentTab(tab);
    chooseTab(tab);
}

void ListController::setKind(int kind) {
    if (kind == m_kind)
        return;
    m_kind = kind;
    emit kindChanged(kind);
}

void ListController::showKind(int kind) {
    if (kind < 1 || kind > 4)
        return;
    if (kind != m_kind || m_list->model().Filter() != kind) {
        setKind(kind);
        m_list->model().SetFilter(kind, m_savedTop[kind]);
    }
    m_menu->setCurrentTab(kind);
    m_menu->setSelectAll(m_list->model().AllChecked()); // the box of this tab's rows
    updateScrollBar();
    m_list->update();
}

void ListController::requestOpen(int entry) {
    if (!busy())
        emit openRowRequested(entry);
}

void ListController::checkAll(bool on) {
    if (busy())
        return;
    // Rows of the current kind change their check state; every entry's chosen flag changes. The
    // batch tools take rows that are both checked and chosen, so only the shown kind is taken.
    for (int i = 0; i < m_scanner.EntryCount(); ++i) {
        RecordingEntry* e = m_scanner.GetEntry(i);
        if (m_kind == 1 || GetRecordingKind(e->name) == m_kind)
            m_report.SetChecked(i, on);
        e->chosen = on ? 1 : 0;
    }
    m_list->model().SetCheckedAll(on);
    m_list->update();
}

void ListController::chooseTab(int tab) {
    if (busy())
        return;
    if (tab == 0) {
        search();
    } else if (tab == kFilterMap) {
        if (m_hooks.showMap)
            m_hooks.showMap(true);
        updateScrollBar();
    } else if (tab >= 1 && tab <= 4) {
        if (m_hooks.showMap)
            m_hooks.showMap(false);
        showKind(tab);
    }
}

void ListController::search() {
    if (!m_runSearch)
        return;
    const std::string name = m_runSearch(m_scanner);
    if (name.empty())
        return;
    FileListModel& model = m_list->model();
    const int entry = model.SelectByName(name);
    if (entry < 0)
        return;
    setKind(1);
    m_menu->setCurrentTab(1);
    const int rows = rowsPerPage();
    if (entry >= rows)
        model.SetTopRow(entry - m_list->height() / 50);
    else
        model.SetTopRow(0);
    m_savedTop[1] = model.TopRow();
    updateScrollBar();
    m_list->update();
    requestOpen(entry);
}

void ListController::selectRow(int entry, int kind) {
    FileListModel& model = m_list->model();
    if (entry < -1 || entry >= model.Count())
        return;
    if (kind >= 1 && kind <= 4)
        setKind(kind);
    if (!model.SetSelection(entry, kind >= 1 && kind <= 4 ? kind : 0))
        return;
    m_menu->setCurrentTab(m_kind);
    const int rows = std::max(1, rowsPerPage());
    int top = m_savedTop[std::clamp(m_kind, 0, 4)];
    const int row = model.EntryToRow(entry);
    if (row >= 0) {
        if (row >= top + rows)
            top = row - rows + 1;
        else if (row < top)
            top = row;
    }
    top = std::clamp(top, 0, std::max(0, model.VisibleCount() - 1));
    model.SetTopRow(top);
    if (m_kind >= 1 && m_kind <= 4)
        m_savedTop[m_kind] = top;
    updateScrollBar();
    m_list->update();
}

void ListController::clearHighlight() {
    m_list->model().SetSelection(-1, 0);
    // The first tab, and the list under it: every kind, not the rows of the kind shown before.
    showKind(1);
}

void ListController::onVolumeRemoved(const QString& mountPoint) {
    if (m_scanner.SourceKind() == kNoSource || m_scanner.SourcePath().empty())
        return;
    if (!SourceIsOnVolume(QString::fromStdString(m_scanner.SourcePath().string()), mountPoint))
        return;
    if (m_hooks.closeRecording)
        m_hooks.closeRecording();
    clearRecordings();
    emit sourceRemoved();
}

std::string ListController::recordingName(int index) const {
    const RecordingEntry* entry = m_scanner.GetEntry(index);
    return entry ? entry->name : std::string();
}

std::filesystem::path ListController::rowPath(int index) const {
    const std::string* path = m_scanner.GetRowPath(index);
    return path ? std::filesystem::path(*path) : std::filesystem::path();
}

void ListController::listSingleFile(const std::filesystem::path& path) {
    m_scanner.Clear();
    m_scanner.AppendFile(path);
    showList();
    // Under another kind's tab the one file would be listed but hidden, and nothing would play.
    showKind(kKindNormal);
}
