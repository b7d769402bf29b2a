#include "ui/panels/CDlgAccelerometer.h"

#include "ui/panels/render/PanelPainting.h"
#include "ui/playback/PlaybackSession.h"

CDlgAccelerometer::CDlgAccelerometer(QWidget* parent)
    : DataPanel(PanelText("PANEL_GSENSOR_TITLE", "G-Sensor"), parent) {
    setObjectName(QStringLiteral("accelerometerPanel"));
}

void CDlgAccelerometer::SetGsensorData(const std::vector<CGsensorData>* samples, int durationMs) {
    m_renderer.setData(samples, durationMs);
    RebuildGsensorGraph();
}

void CDlgAccelerometer::recordingOpened(const PlaybackSession& session) {
    m_renderer.setData(&session.trackData().gsensor, session.recording().trackRangeMs);
}

void CDlgAccelerometer::recordingClosed() {
    m_renderer.clear();
}

void CDlgAccelerometer::paintBackground(QPainter& p, QSize size) const {
    m_renderer.paintBackground(p, size);
}

void CDlgAccelerometer::paintOverlay(QPainter& p, QSize size, int64_t positionMs) const {
    m_renderer.paintOverlay(p, size, positionMs);
}

QRect CDlgAccelerometer::tickRect() const {
    // The whole panel: the current dot can sit on the ring's edge, left of the plot area the
    // other panels repaint, and must not leave copies of itself behind.
    return rect();
}
