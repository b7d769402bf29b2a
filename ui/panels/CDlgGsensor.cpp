#include "ui/panels/CDlgGsensor.h"

#include "ui/panels/render/PanelPainting.h"
#include "ui/playback/PlaybackSession.h"

CDlgGsensor::CDlgGsensor(QWidget* parent)
    : RenderedPanel(PanelText("PANEL_GSENSOR_TITLE", "G-Sensor"), parent) {
    setObjectName(QStringLiteral("gsensorPanel"));
}

void CDlgGsensor::SetGsensorData(const std::vector<CGsensorData>* samples, int durationMs) {
    m_renderer.setData(samples, durationMs);
    RebuildGsensorGraph();
}

void CDlgGsensor::recordingOpened(const PlaybackSession& session) {
    m_renderer.setData(&session.trackData().gsensor, session.recording().trackRangeMs,
                       &session.trackData().gsensorTimesMs);
}
