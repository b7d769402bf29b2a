#include "ui/playback/WindowPlayback.h"

#include "ui/app/CHvViewerDlg.h"
#include "ui/app/MainLayout.h"
#include "core/recordings/RecordingName.h"
#include "ui/app/CommandIds.h"
#include "ui/bridge/BrowserHost.h"
#include "ui/lists/ListController.h"
#include "ui/panels/CDlgVideoScreen.h"
#include "ui/panels/CZoomDlg.h"

#include <QGuiApplication>
#include <QScreen>
#include <QMessageBox>

WindowPlayback::WindowPlayback(CHvViewerDlg& window)
    : m_window(window), m_opener(*this, &window), m_clock(*this, m_opener), m_docking(*this, &window),
      m_startup(*this, m_clock) {
    m_showMessage = [this](const QString& text, MessageIcon icon) {
        QMessageBox box(icon == MessageIcon::Error ? QMessageBox::Critical : QMessageBox::NoIcon,
                        m_window.windowTitle(), text, QMessageBox::Ok, &m_window);
        box.exec();
    };
}

WindowPlayback::~WindowPlayback() {
    Shutdown();
}

void WindowPlayback::createScreens() {
    for (int i = 0; i < 4; ++i) {
        m_screens[i] = new CDlgVideoScreen(i, &m_window);
        m_window.InstallPanel(static_cast<PanelSlot>(i), m_screens[i]);
    }
    m_screens[3]->hide();
    engineHolder().AttachWindows({m_screens[0], m_screens[1], m_screens[2], m_screens[3]});
    m_docking.connectScreens();
}

PlaybackEngineHolder& WindowPlayback::engineHolder() {
    return m_window.EngineHolder();
}

void WindowPlayback::Shutdown() {
    m_clock.ReturnToIdle();
    m_opener.shutdown();
    if (m_zoom)
        m_zoom->hide();
    // Floating screens are top-level windows: bring them home so they close with the window.
    for (int i = 0; i < 4; ++i) {
        if (m_screens[i] && m_screens[i]->isFloating())
            m_docking.DockOrFloat(i, true);
    }
}

void WindowPlayback::ToggleZoom() {
    if (!m_zoom) {
        m_zoom = new CZoomDlg(&m_window);
        // Opened where it covers none of the player bar's controls; after that it stays where
        // the user puts it.
        const QSize size(425, 330);
        const QRect client(m_window.mapToGlobal(QPoint(0, 0)), m_window.size());
        const QScreen* screen = m_window.screen();
        const QRect available = screen ? screen->availableGeometry() : client;
        m_zoom->setGeometry(QRect(CZoomDlg::placement(client, available, size, kPlayerBarHeight), size));
        connect(m_zoom, &CZoomDlg::closedByUser, this,
                [this] { m_window.OnCommand(kMsgFloatingChanged, 2); });
    }
    m_zoom->setVisible(!m_zoom->isVisible());
}

void WindowPlayback::PlayFirstListed() {
    // A card named on the command line plays from its oldest recording on; each recording's end
    // moves on to the next, so the whole card plays in order.
    const int first = m_clock.findRow(0, 1);
    if (first < 0)
        return;
    playbackState().selectedIndex = first;
    m_clock.PlayPause();
}

ViewerState& WindowPlayback::playbackState() {
    return m_window.State();
}

void WindowPlayback::setBusy(bool busy) {
    m_window.SetBusy(busy);
}

PlaybackSession& WindowPlayback::session() {
    return m_window.Session();
}

void WindowPlayback::setTitleText(const QString& fileName) {
    m_window.SetTitleText(fileName);
}

void WindowPlayback::showMessage(const QString& text, MessageIcon icon) {
    if (m_showMessage)
        m_showMessage(text, icon);
}

void WindowPlayback::layoutPanels() {
    m_window.LayoutPanels();
}

int WindowPlayback::kindFilter() {
    ListController* lists = m_window.Lists();
    return lists ? lists->KindFilter() : kKindNormal;
}

int WindowPlayback::recordingCount() {
    ListController* lists = m_window.Lists();
    return lists ? lists->Scanner().EntryCount() : 0;
}

std::string WindowPlayback::recordingName(int index) {
    ListController* lists = m_window.Lists();
    const RecordingEntry* entry = lists ? lists->Scanner().GetEntry(index) : nullptr;
    return entry ? entry->name : std::string();
}

std::filesystem::path WindowPlayback::rowPath(int index) {
    ListController* lists = m_window.Lists();
    const std::string* path = lists ? lists->Scanner().GetRowPath(index) : nullptr;
    return path ? std::filesystem::path(*path) : std::filesystem::path();
}

std::filesystem::path WindowPlayback::listedSource() {
    ListController* lists = m_window.Lists();
    return lists ? lists->Scanner().SourcePath() : std::filesystem::path();
}

void WindowPlayback::selectInList(int index, int kind) {
    if (ListController* lists = m_window.Lists())
        lists->SelectInList(index, kind);
}

void WindowPlayback::clearListHighlight() {
    if (ListController* lists = m_window.Lists())
        lists->ResetSelection();
}

void WindowPlayback::showFileMenuTab(int) {
    // ResetSelection already shows tab 1 with the cleared highlight.
}

void WindowPlayback::clearRecordings() {
    if (ListController* lists = m_window.Lists())
        lists->ClearList();
}

void WindowPlayback::listSingleFile(const std::filesystem::path& path) {
    ListController* lists = m_window.Lists();
    if (!lists)
        return;
    lists->Scanner().Clear();
    lists->Scanner().AppendFile(path);
    lists->ShowList();
    // Under another kind's tab the one file would be listed but hidden, and nothing would play.
    lists->ShowKind(kKindNormal);
}

bool WindowPlayback::listFolder(const std::filesystem::path& folder) {
    ListController* lists = m_window.Lists();
    return lists && lists->OpenFolder(folder);
}

void WindowPlayback::setScreenDocked(int index, bool docked) {
    if (index >= 0 && index < 4)
        m_window.SetDocked(static_cast<PanelSlot>(index), docked);
}

bool WindowPlayback::leftMouseButtonDown() {
    return QGuiApplication::mouseButtons() & Qt::LeftButton;
}
