// MainWindow: the card or folder whose recordings are listed, the kind tabs and the map
// display. The list itself is the ListController; this file wires it to the window's commands,
// state and playback.
#include "ui/app/MainWindow.h"

#include "ui/dialogs/SearchPageWindow.h"
#include "ui/recordings/RecordingListView.h"
#include "ui/recordings/KindTabs.h"
#include "ui/recordings/ListController.h"
#include "ui/panels/DataPanelSet.h"
#include "ui/playback/WindowPlayback.h"

#include <QDebug>

void MainWindow::createLists() {
    auto* menu = new KindTabs(this);
    auto* list = new RecordingListView(this);
    installPanel(PanelSlot::FileMenu, menu);
    installPanel(PanelSlot::FileList, list);
    m_lists = std::make_unique<ListController>(this, list, menu, m_listScrollBar);
    m_lists->configure();
    m_lists->followSession(m_session);

    ListController::Hooks hooks;
    // The playback parts are made after the list: the hooks reach them when they run.
    hooks.returnToIdle = [this] { m_player->player().returnToIdle(); };
    hooks.closeRecording = hooks.returnToIdle; // the title follows the session
    hooks.busy = [this] { return m_busy.isBusy(); };
    hooks.resetPlaybackControls = hooks.returnToIdle;
    // No setCardControls: the card-only tools (format, quick settings) check the scan's source
    // kind themselves when they run.
    hooks.showMap = [this](bool show) {
        m_state.mapShown = show;
        showMapPanel(show);
    };
    m_lists->setHooks(std::move(hooks));
    // The search page's answers reach it through the bridge while it is this window's search window.
    m_lists->setSearchRunner([this](const RecordingScanner& scanner) {
        SearchPageWindow dlg(scanner, this);
        setSearchWindow(&dlg);
        dlg.exec();
        setSearchWindow(nullptr);
        return dlg.chosenName();
    });

    // The page's list commands: card choice, checks, search.
    m_commands.add(QStringLiteral("btnOpen"), [this](int) { m_lists->openSource(); });
    m_commands.add(QStringLiteral("btnChkClear"), [this](int) { m_lists->chkClear(); });
    m_commands.add(QStringLiteral("btnChkAll"), [this](int value) { m_lists->chkAll(value == 1 ? 1 : 0); });
    m_commands.add(QStringLiteral("btnChkOn"), [this](int row) { m_lists->chkRow(row, true); });
    m_commands.add(QStringLiteral("btnChkOff"), [this](int row) { m_lists->chkRow(row, false); });
    m_commands.add(QStringLiteral("btnSearch"), [this](int) { m_lists->search(); });
    m_lists->startMountWatch();
}

bool MainWindow::hasScanSource() const {
    // A single file listed on its own counts: Space plays it rather than asking for a card.
    return m_lists && (m_lists->sourceChosen() || m_lists->scanner().EntryCount() > 0);
}

void MainWindow::openSourceFolder(const QString& folder) {
    m_player->player().returnToIdle();
    m_lists->openFolder(folder.toStdString());
}

void MainWindow::showKind(int kind) {
    // "btnFileFolder": the list and its tab show the kind.
    m_lists->showKind(kind);
}

void MainWindow::showMapPanel(bool show) {
    // The map panel takes its place only beside a 3-channel recording when docked; with two
    // channels it sits in the free video cell and is always shown.
    if (player().channelCount() != 3 || !isDocked(PanelSlot::Map))
        return;
    panel(PanelSlot::Map)->setVisible(show);
    layoutPanels();
}

void MainWindow::setSpeedUnit(int unit) {
    m_dataPanels->setSpeedUnit(unit);
}
