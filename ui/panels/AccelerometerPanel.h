// The accelerometer panel: the current X/Y acceleration as a red dot on two rings, trailing the
// ten samples before it. Docked or floated by the main window; a click does not seek.
#pragma once

#include "ui/panels/RenderedPanel.h"
#include "ui/render/AccelerometerRenderer.h"

class AccelerometerPanel : public RenderedPanel<AccelerometerRenderer> {
    Q_OBJECT
public:
    explicit AccelerometerPanel(QWidget* parent = nullptr);

    // `samples` stay owned by the caller (the session's recording) while they are shown.
    void setGsensorData(const std::vector<CGsensorData>* samples, int durationMs);
    void rebuildGsensorGraph() { rebuildBackground(); }

protected:
    void recordingOpened(const PlaybackSession& session) override;
};
