// The G-sensor panel: the X, Y and Z acceleration of the open recording as curves, a line at the
// playback position and the current values; a click seeks. Docked or floated by the main window.
#pragma once

#include "ui/panels/RenderedPanel.h"
#include "ui/render/GsensorGraphRenderer.h"

class GsensorPanel : public RenderedPanel<GsensorGraphRenderer> {
    Q_OBJECT
public:
    explicit GsensorPanel(QWidget* parent = nullptr);

    // `samples` stay owned by the caller (the session's recording) while they are shown.
    void setGsensorData(const std::vector<CGsensorData>* samples, int durationMs);
    void rebuildGsensorGraph() { rebuildBackground(); }

protected:
    void recordingOpened(const PlaybackSession& session) override;
};
