// CHvViewerDlg: playback operations. The work is WindowPlayback's (engine, screens, opening,
// clock, docking, zoom); the window's operations forward to it.
#include "ui/app/CHvViewerDlg.h"

#include "core/config/Settings.h"
#include "ui/app/CommandIds.h"
#include "ui/app/WindowPlayback.h"
#include "ui/panels/DataPanelSet.h"

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
    m_dataPanels = new DataPanelSet(this);
    InstallPanel(PanelSlot::Gsensor, m_dataPanels->panel(Which::Gsensor));
    InstallPanel(PanelSlot::Accelerometer, m_dataPanels->panel(Which::Accelerometer));
    InstallPanel(PanelSlot::Speed, m_dataPanels->panel(Which::Speed));
    m_dataPanels->setDockedSetter([this](Which which, bool docked) {
        const PanelSlot slot = which == Which::Gsensor         ? PanelSlot::Gsensor
                               : which == Which::Accelerometer ? PanelSlot::Accelerometer
                                                               : PanelSlot::Speed;
        SetDocked(slot, docked);
    });
    SetCommandHandler(kMsgDockGsensor,
                      [this](int force) { m_dataPanels->DockOrFloat(Which::Gsensor, force); });
    SetCommandHandler(kMsgDockSpeed, [this](int force) { m_dataPanels->DockOrFloat(Which::Speed, force); });
    SetCommandHandler(kMsgDockAccelerometer,
                      [this](int force) { m_dataPanels->DockOrFloat(Which::Accelerometer, force); });
    m_dataPanels->setSession(&m_player->session());
    // The stored unit holds from the start, whether or not the page loads.
    if (const std::string unit = ReadSetting("speedunit"); !unit.empty())
        m_dataPanels->setSpeedUnit(std::atoi(unit.c_str()));
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
    m_player->clock().UpdateChannelControls();
}
void CHvViewerDlg::ClearMapPath() {
    // The map view that draws the driven path is still a placeholder: no path to clear.
}
void CHvViewerDlg::ShowPosition() {
    m_player->clock().ShowPosition();
}
void CHvViewerDlg::StopClock() {
    m_player->clock().StopTimers();
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
