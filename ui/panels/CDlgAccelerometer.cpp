#include "ui/panels/CDlgAccelerometer.h"

#include "ui/panels/render/PanelPainting.h"
#include "ui/playback/PlaybackSession.h"

CDlgAccelerometer::CDlgAccelerometer(QWidget* parent)
    : RenderedPanel(PanelText("PANEL_GSENSOR_TITLE", "G-Sensor"), parent) {
    setObjectName(QStringLiteral("accelerometerPanel"));
}

void CDlgAccelerometer::SetGsensorData(const std::vector<CGsensorData>* samples, int durationMs) {
    m_renderer.setData(samples, durationMs);
    RebuildGsensorGraph();
}

void CDlgAccelerometer::recordingOpened(const PlaybackSession& session) {
    m_renderer.setData(&session.trackData().gsensor, session.recording().trackRangeMs,
                       &session.trackData().gsensorTimesMs);
}
