// CHvViewerDlg: playback operations, the playback clock and the opening of recordings.
// The engine-only parts work now; the clock (timer 257), the delayed open (timer 258) and the
// opening of a listed recording arrive with the opening work, which replaces this file.
#include "ui/app/CHvViewerDlg.h"

#include "ui/app/CommandIds.h"
#include "media/playback/PlaybackEngine.h"
#include "ui/bridge/BrowserHost.h"

#include <QDebug>

void CHvViewerDlg::PlayPause() {
    const int state = m_playback->GetState();
    if (state == kStatePaused) {
        m_playback->Run();
        CallInternal(QStringLiteral("setPause"), QStringLiteral("0"));
    } else if (state == kStateRunning) {
        m_playback->Pause();
        CallInternal(QStringLiteral("setPlay"), QStringLiteral("0"));
    } else {
        qInfo() << "nothing to play: no recording is listed";
    }
}

void CHvViewerDlg::OpenPrevious() {
    qInfo() << "open previous: no recording list in this build";
}
void CHvViewerDlg::OpenNext() {
    qInfo() << "open next: no recording list in this build";
}

void CHvViewerDlg::StepBack() {
    const int state = m_playback->GetState();
    if (state != kStateRunning && state != kStatePaused)
        return;
    const auto pos = static_cast<int64_t>(m_playback->GetPositionMs());
    m_playback->SeekTo(std::max<int64_t>(pos - 2000, 0));
    ShowPosition();
}

void CHvViewerDlg::StepForward() {
    const int state = m_playback->GetState();
    if (state != kStateRunning && state != kStatePaused)
        return;
    const auto pos = static_cast<int64_t>(m_playback->GetPositionMs());
    const auto end = static_cast<int64_t>(m_playback->GetDurationMs());
    m_playback->SeekTo(std::min<int64_t>(pos + 1000, end));
    ShowPosition();
}

void CHvViewerDlg::ReturnToIdle() {
    StopClock();
    m_playback->Stop();
    m_playback->SeekTo(0);
    m_playback->Stop();
    m_engineHolder->CloseRecording();
    m_state.selectedIndex = -1;
    m_state.position = 0;
    CallInternal(QStringLiteral("setPos"), QStringLiteral("0"));
    m_page->CallScript(QStringLiteral("drawSpeed"), QList<int>{0});
}

void CHvViewerDlg::OnSeek(int positionMs) {
    ClearMapPath();
    if (m_playback->GetState() != kStateNoEngine)
        m_playback->SeekTo(std::max(positionMs, 0));
}

void CHvViewerDlg::OnOpenRow(int row) {
    m_state.selectedIndex = row;
    if (row < 0)
        return;
    qInfo() << "open row" << row << ": opening recordings is not available in this build";
}

void CHvViewerDlg::UpdateChannelControls() {}
void CHvViewerDlg::ClearMapPath() {}

void CHvViewerDlg::ShowPosition() {
    const int state = m_playback->GetState();
    if (state != kStateRunning && state != kStatePaused)
        return;
    const auto pos = static_cast<int64_t>(m_playback->GetPositionMs());
    m_state.position = static_cast<int>(pos / 1000);
    CallInternal(QStringLiteral("setPos"), QString::number(pos));
}

void CHvViewerDlg::StopClock() {}

void CHvViewerDlg::ShutdownPlayback() {
    StopClock();
    m_playback->Stop();
    m_engineHolder->CloseRecording();
}

void CHvViewerDlg::OpenSingleFile(const QString& folder, const QString& name, int64_t size) {
    qInfo() << "open" << folder << name << size << ": opening recordings is not available in this build";
}
