#include "ui/panels/CDlgSpeed.h"

#include "ui/panels/render/PanelPainting.h"
#include "ui/playback/PlaybackSession.h"

CDlgSpeed::CDlgSpeed(QWidget* parent) : DataPanel(PanelText("PANEL_SPEED_TITLE", "Speed"), parent) {
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
    m_renderer.setData(session.trackData().gps, session.recording().trackRangeMs);
}

void CDlgSpeed::recordingClosed() {
    m_renderer.clear();
}

void CDlgSpeed::paintBackground(QPainter& p, QSize size) const {
    m_renderer.paintBackground(p, size);
}

void CDlgSpeed::paintOverlay(QPainter& p, QSize size, int64_t positionMs) const {
    m_renderer.paintOverlay(p, size, positionMs);
}

QRect CDlgSpeed::tickRect() const {
    return SpeedGraphRenderer::tickRect(size());
}

std::optional<int64_t> CDlgSpeed::seekAt(QPoint pt) const {
    return m_renderer.seekPosition(pt, size());
}
