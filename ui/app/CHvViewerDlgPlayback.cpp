// CHvViewerDlg: playback operations. The work is WindowPlayback's (engine, screens, opening,
// clock, docking, zoom); the window's operations forward to it.
#include "ui/app/CHvViewerDlg.h"

#include "ui/app/CommandIds.h"
#include "ui/playback/WindowPlayback.h"

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

void CHvViewerDlg::ShutdownPlayback() {
    if (m_player)
        m_player->Shutdown();
    m_engineHolder->CloseRecording();
}

void CHvViewerDlg::OpenSingleFile(const QString& folder, const QString& name) {
    m_player->startup().OpenSingleFile(folder, name);
}

WindowPlayback* CHvViewerDlg::Player() const {
    return m_player.get();
}
