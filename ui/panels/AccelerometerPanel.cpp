#include "ui/panels/AccelerometerPanel.h"

#include "ui/render/PanelPainting.h"
#include "ui/playback/PlaybackSession.h"

AccelerometerPanel::AccelerometerPanel(QWidget* parent)
    : RenderedPanel(panelText("PANEL_GSENSOR_TITLE", "G-Sensor"), parent) {
    setObjectName(QStringLiteral("accelerometerPanel"));
}

void AccelerometerPanel::setGsensorData(const std::vector<CGsensorData>* samples, int durationMs) {
    m_renderer.setData(samples, durationMs);
    rebuildGsensorGraph();
}

void AccelerometerPanel::recordingOpened(const PlaybackSession& session) {
    m_renderer.setData(&session.trackData().gsensor, session.recording().trackRangeMs,
                       &session.trackData().gsensorTimesMs);
}
