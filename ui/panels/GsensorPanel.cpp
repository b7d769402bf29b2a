#include "ui/panels/GsensorPanel.h"

#include "ui/render/PanelPainting.h"
#include "ui/playback/PlaybackSession.h"

GsensorPanel::GsensorPanel(QWidget* parent)
    : RenderedPanel(panelText("PANEL_GSENSOR_TITLE", "G-Sensor"), parent) {
    setObjectName(QStringLiteral("gsensorPanel"));
}

void GsensorPanel::setGsensorData(const std::vector<CGsensorData>* samples, int durationMs) {
    m_renderer.setData(samples, durationMs);
    rebuildGsensorGraph();
}

void GsensorPanel::recordingOpened(const PlaybackSession& session) {
    m_renderer.setData(&session.trackData().gsensor, session.recording().trackRangeMs,
                       &session.trackData().gsensorTimesMs);
}
