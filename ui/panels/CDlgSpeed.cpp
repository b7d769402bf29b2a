#include "ui/panels/CDlgSpeed.h"

#include "ui/panels/render/PanelPainting.h"
#include "ui/playback/PlaybackSession.h"

CDlgSpeed::CDlgSpeed(QWidget* parent) : RenderedPanel(PanelText("PANEL_SPEED_TITLE", "Speed"), parent) {
    setObjectName(QStringLiteral("speedPanel"));
}

void CDlgSpeed::SetSpeedData(const std::vector<CGpsData>& samples, int durationMs) {
    m_renderer.setData(samples, durationMs);
    RebuildSpeedGraph();
}

void CDlgSpeed::SetUnit(int unit) {
    m_renderer.setUnit(unit);
    RebuildSpeedGraph();
}

void CDlgSpeed::recordingOpened(const PlaybackSession& session) {
    m_renderer.setData(session.trackData().gps, session.recording().trackRangeMs, session.trackData().gpsTimesMs);
}
