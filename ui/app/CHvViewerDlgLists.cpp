// CHvViewerDlg: the card or folder whose recordings are listed, the kind tabs and the map
// display. The list itself is the ListController; this file wires it to the window's commands,
// state and playback.
#include "ui/app/CHvViewerDlg.h"

#include "ui/app/CommandIds.h"
#include "ui/dialogs/CSearchDlg.h"
#include "ui/lists/CFilelist.h"
#include "ui/lists/CFilemenu.h"
#include "ui/lists/ListController.h"
#include "ui/panels/DataPanelSet.h"
#include "ui/playback/WindowPlayback.h"

#include <QDebug>

void CHvViewerDlg::createLists() {
    auto* menu = new CFilemenu(this);
    auto* list = new CFilelist(this);
    InstallPanel(PanelSlot::FileMenu, menu);
    InstallPanel(PanelSlot::FileList, list);
    m_lists = std::make_unique<ListController>(this, list, menu, m_listScrollBar);
    m_lists->Configure();
    m_lists->FollowSession(m_session);

    ListController::Hooks hooks;
    // The playback parts are made after the list: the hooks reach them when they run.
    hooks.returnToIdle = [this] { m_player->clock().ReturnToIdle(); };
    hooks.closeRecording = hooks.returnToIdle; // the title follows the session
    hooks.busy = [this] { return m_busy.isBusy(); };
    hooks.resetPlaybackControls = hooks.returnToIdle;
    // No setCardControls: the card-only tools (format, quick settings) check the scan's source
    // kind themselves when they run.
    hooks.showMap = [this](bool show) {
        m_state.mapShown = show;
        ShowMapPanel(show);
    };
    m_lists->SetHooks(std::move(hooks));
    // The search page's answers reach it through the bridge while it is this window's search window.
    m_lists->SetSearchRunner([this](const RecordingScanner& scanner) {
        CSearchDlg dlg(scanner, this);
        SetSearchWindow(&dlg);
        dlg.exec();
        SetSearchWindow(nullptr);
        return dlg.ChosenName();
    });

    SetCommandHandler(kCmdOpenSource, [this](int) { m_lists->OpenSource(); });
    SetCommandHandler(kCmdCheckClear, [this](int) { m_lists->ChkClear(); });
    SetCommandHandler(kMsgCheckAll, [this](int) { m_lists->ChkAll(1); });
    SetCommandHandler(kMsgUncheckAll, [this](int) { m_lists->ChkAll(0); });
    SetCommandHandler(kMsgCheckRow, [this](int row) { m_lists->ChkRow(row, true); });
    SetCommandHandler(kMsgUncheckRow, [this](int row) { m_lists->ChkRow(row, false); });
    SetCommandHandler(kCmdSearch, [this](int) { m_lists->Search(); });
    SetCommandHandler(kMsgTabChosen, [this](int tab) { m_lists->HandleMessage(kMsgTabChosen, tab); });
    m_lists->StartMountWatch();
}

bool CHvViewerDlg::hasScanSource() const {
    // A single file listed on its own counts: Space plays it rather than asking for a card.
    return m_lists && (m_lists->SourceChosen() || m_lists->Scanner().EntryCount() > 0);
}

void CHvViewerDlg::openSourceFolder(const QString& folder) {
    m_player->clock().ReturnToIdle();
    m_lists->OpenFolder(folder.toStdString());
}

void CHvViewerDlg::ShowKind(int kind) {
    // "btnFileFolder": the list and its tab show the kind.
    m_lists->ShowKind(kind);
}

void CHvViewerDlg::ShowMapPanel(bool show) {
    // The map panel takes its place only beside a 3-channel recording when docked; with two
    // channels it sits in the free video cell and is always shown.
    if (m_playback->GetChannelCount() != 3 || !IsDocked(PanelSlot::Map))
        return;
    Panel(PanelSlot::Map)->setVisible(show);
    LayoutPanels();
}

void CHvViewerDlg::SetSpeedUnit(int unit) {
    m_dataPanels->setSpeedUnit(unit);
}
