#include "ui/panels/CDlgGsensor.h"

#include "ui/panels/render/PanelPainting.h"
#include "ui/playback/PlaybackSession.h"

CDlgGsensor::CDlgGsensor(QWidget* parent) : DataPanel(PanelText("PANEL_GSENSOR_TITLE", "G-Sensor"), parent) {
    setObjectName(QStringLiteral("gsensorPanel"));
}

void CDlgGsensor::SetGsensorData(const std::vector<CGsensorData>* samples, int durationMs) {
    m_renderer.setData(samples, durationMs);
    RebuildGsensorGraph();
}

void CDlgGsensor::recordingOpened(const PlaybackSession& session) {
    m_renderer.setData(&session.trackData().gsensor, session.recording().trackRangeMs);
}

void CDlgGsensor::recordingClosed() {
    m_renderer.clear();
}

void CDlgGsensor::paintBackground(QPainter& p, QSize size) const {
    m_renderer.paintBackground(p, size);
}

void CDlgGsensor::paintOverlay(QPainter& p, QSize size, int64_t positionMs) const {
    m_renderer.paintOverlay(p, size, positionMs);
}

QRect CDlgGsensor::tickRect() const {
    return GsensorGraphRenderer::tickRect(size());
}

std::optional<int64_t> CDlgGsensor::seekAt(QPoint pt) const {
    return m_renderer.seekPosition(pt, size());
}
