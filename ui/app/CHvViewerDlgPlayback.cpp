// CHvViewerDlg: playback operations. The work is WindowPlayback's (engine, screens, opening,
// clock, docking, zoom); the window's operations forward to it.
#include "ui/app/CHvViewerDlg.h"

#include "core/config/Settings.h"
#include "ui/app/CommandIds.h"
#include "ui/bridge/MainPage.h"
#include "ui/dialogs/CMapsettingDlg.h"
#include "ui/panels/DataPanelSet.h"
#include "ui/playback/PlaybackSession.h"
#include "ui/playback/WindowPlayback.h"

#include <QTimer>

#include <cstdlib>

void CHvViewerDlg::createPlayback() {
    m_player = std::make_unique<WindowPlayback>(*this);
    m_player->createScreens();
    SetCommandHandler(kCmdZoom, [this](int) { m_player->ToggleZoom(); });
    SetCommandHandler(kMsgFloatingChanged, [this](int which) {
        if (which == 2)
            m_player->ToggleZoom();
        else
            RunCommand(kCmdGsensorWindows, 0);
    });
    SetCommandHandler(kMsgDockScreen, [this](int index) { m_player->docking().DockOrFloat(index); });
    SetCommandHandler(kMsgScreenResized, [this](int index) { m_player->docking().ScreenResized(index); });
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

void CHvViewerDlg::PlayPause() {
    m_player->clock().PlayPause();
}
void CHvViewerDlg::OpenPrevious() {
    m_player->clock().OpenPrevious();
}
void CHvViewerDlg::OpenNext() {
    m_player->clock().OpenNext();
}
void CHvViewerDlg::StepBack() {
    m_player->clock().StepBack();
}
void CHvViewerDlg::StepForward() {
    m_player->clock().StepForward();
}
void CHvViewerDlg::ReturnToIdle() {
    m_player->clock().ReturnToIdle();
}
void CHvViewerDlg::OnSeek(int positionMs) {
    m_player->clock().Seek(positionMs);
}
void CHvViewerDlg::OnOpenRow(int row) {
    m_player->clock().OpenRow(row);
}
void CHvViewerDlg::UpdateChannelControls() {
    LayoutPanels(); // the screens' cells follow the main channel and the arrangement
    m_player->clock().UpdateChannelControls();
}
void CHvViewerDlg::ClearMapPath() {
    m_dataPanels->map()->ClearMapPath();
}
void CHvViewerDlg::ShowPosition() {
    m_player->clock().ShowPosition();
}

void CHvViewerDlg::ShutdownPlayback() {
    if (m_player)
        m_player->Shutdown();
    if (m_dataPanels)
        m_dataPanels->dockAll();
    m_engineHolder->CloseRecording();
}

void CHvViewerDlg::OpenSingleFile(const QString& folder, const QString& name) {
    m_player->startup().OpenSingleFile(folder, name);
}

WindowPlayback* CHvViewerDlg::Player() const {
    return m_player.get();
}
