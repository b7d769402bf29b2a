// CHvViewerDlg: the playback parts (WindowPlayback: screens, opening, clock, docking, zoom) and the
// data panels, wired to the session, the list and the window's layout. Keys and commands call the
// clock directly; the window follows the session.
#include "ui/app/CHvViewerDlg.h"

#include "core/config/Settings.h"
#include "ui/app/CommandIds.h"
#include "media/playback/PlaybackEngine.h"
#include "ui/bridge/MainPage.h"
#include "ui/lists/ListController.h"
#include "ui/dialogs/CMapsettingDlg.h"
#include "ui/panels/CDlgVideoScreen.h"
#include "ui/panels/DataPanelSet.h"
#include "ui/playback/PlaybackSession.h"
#include "ui/playback/WindowPlayback.h"

#include <QTimer>

#include <cstdlib>

void CHvViewerDlg::createPlayback() {
    m_player = std::make_unique<WindowPlayback>(*this, m_session, *m_engineHolder, m_state, *m_lists, m_busy);
    for (int i = 0; i < 4; ++i)
        InstallPanel(static_cast<PanelSlot>(i), m_player->screens()[i]);
    PlaybackClock* clock = &m_player->clock();
    ScreenDocking* docking = &m_player->docking();
    connect(m_lists.get(), &ListController::openRowRequested, clock, &PlaybackClock::openRow);
    connect(docking, &ScreenDocking::dockedChanged, this,
            [this](int index, bool docked) { SetDocked(static_cast<PanelSlot>(index), docked); });
    // The window follows what plays: the title names it, the cells fit its channels.
    connect(&m_session, &PlaybackSession::recordingOpened, this, [this] {
        SetTitleText(m_session.recording().name);
        LayoutPanels();
    });
    SetCommandHandler(kCmdZoom, [this](int) { m_player->toggleZoom(); });
    SetCommandHandler(kMsgFloatingChanged, [this](int which) {
        if (which == 2)
            m_player->toggleZoom();
        else
            RunCommand(kCmdGsensorWindows, 0);
    });
    SetCommandHandler(kMsgDockScreen, [docking](int index) { docking->dockOrFloat(index); });
    SetCommandHandler(kMsgScreenResized, [docking](int index) { docking->screenResized(index); });
    createDataPanels();
}

void CHvViewerDlg::createDataPanels() {
    using Which = DataPanelSet::Which;
    static constexpr PanelSlot kSlots[] = {PanelSlot::Gsensor, PanelSlot::Accelerometer, PanelSlot::Speed,
                                           PanelSlot::Map};
    m_dataPanels = new DataPanelSet(this);
    for (int i = 0; i < static_cast<int>(Which::Count); ++i)
        InstallPanel(kSlots[i], m_dataPanels->panel(static_cast<Which>(i)));
    m_dataPanels->setDockedSetter([this](Which which, bool docked) {
        SetDocked(kSlots[static_cast<int>(which)], docked);
        return which != Which::Map || mapShownWhenDocked();
    });
    SetCommandHandler(kMsgDockGsensor,
                      [this](int force) { m_dataPanels->DockOrFloat(Which::Gsensor, force); });
    SetCommandHandler(kMsgDockSpeed, [this](int force) { m_dataPanels->DockOrFloat(Which::Speed, force); });
    SetCommandHandler(kMsgDockMap, [this](int force) { m_dataPanels->DockOrFloat(Which::Map, force); });
    SetCommandHandler(kMsgDockAccelerometer,
                      [this](int force) { m_dataPanels->DockOrFloat(Which::Accelerometer, force); });
    SetCommandHandler(kCmdGsensorWindows, [this](int) { m_dataPanels->ToggleGsensorWindows(); });
    connect(m_dataPanels, &DataPanelSet::gsensorWindowNotify, this,
            [this](int message, int parameter) { OnCommand(message, parameter); });
    // The selection holds a choice, no web view: it opens once the page's call has returned.
    SetCommandHandler(kCmdMapSetting, [this](int) {
        QTimer::singleShot(0, this, [this] {
            auto* dlg =
                new CMapsettingDlg([this](int kind) { m_dataPanels->map()->ReloadMapPage(kind); }, this);
            dlg->setAttribute(Qt::WA_DeleteOnClose);
            dlg->open();
        });
    });
    m_dataPanels->setSession(&m_session);
    // The page's read-out: the speed of the track sample after the position, as the map view's
    // track gives it (km/h).
    m_mainPage->setSpeedSource([this](int64_t positionMs) -> double {
        if (!m_session.isOpen() || positionMs < 0)
            return 0;
        const CWBCGPSData* s = m_session.trackData().store.FindGpsAfter(static_cast<uint32_t>(positionMs));
        return s && s->valid ? s->speed : 0;
    });
    // With two channels the map takes the free video cell; with three it follows the map display.
    // Closing hides it again, or it would cover the list.
    auto showDockedMap = [this] {
        if (IsDocked(PanelSlot::Map)) {
            Panel(PanelSlot::Map)->setVisible(m_session.isOpen() && mapShownWhenDocked());
            LayoutPanels();
        }
    };
    connect(&m_session, &PlaybackSession::recordingOpened, this, showDockedMap);
    connect(&m_session, &PlaybackSession::recordingClosed, this, showDockedMap);
    // The stored unit holds from the start, whether or not the page loads.
    if (const std::string unit = ReadSetting("speedunit"); !unit.empty())
        m_dataPanels->setSpeedUnit(std::atoi(unit.c_str()));
}

bool CHvViewerDlg::mapShownWhenDocked() const {
    const int channels = m_playback->GetChannelCount();
    return channels == 2 || (channels == 3 && m_state.mapShown);
}

PlaybackOperations& CHvViewerDlg::Operations() {
    return m_player->clock();
}

void CHvViewerDlg::UpdateChannelControls() {
    LayoutPanels(); // the screens' cells follow the main channel and the arrangement
    m_engineHolder->Repaint();
}

void CHvViewerDlg::ClearMapPath() {
    m_dataPanels->map()->ClearMapPath();
}

void CHvViewerDlg::shutdownPlayback() {
    if (m_player)
        m_player->shutdown();
    if (m_dataPanels)
        m_dataPanels->dockAll();
    m_engineHolder->CloseRecording();
}

WindowPlayback* CHvViewerDlg::Player() const {
    return m_player.get();
}
