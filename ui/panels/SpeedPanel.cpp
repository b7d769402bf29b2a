#include "ui/panels/SpeedPanel.h"

#include "ui/render/PanelPainting.h"
#include "ui/playback/PlaybackSession.h"

SpeedPanel::SpeedPanel(QWidget* parent) : RenderedPanel(panelText("PANEL_SPEED_TITLE", "Speed"), parent) {
    setObjectName(QStringLiteral("speedPanel"));
}

void SpeedPanel::setSpeedData(const std::vector<CGpsData>& samples, int durationMs) {
    m_renderer.setData(samples, durationMs);
    rebuildSpeedGraph();
}

void SpeedPanel::setUnit(int unit) {
    m_renderer.setUnit(unit);
    rebuildSpeedGraph();
}

void SpeedPanel::recordingOpened(const PlaybackSession& session) {
    m_renderer.setData(session.trackData().gps, session.recording().trackRangeMs, session.trackData().gpsTimesMs);
}
