// The speed panel: the speed curve of the open recording in the chosen unit, a line at the
// playback position and the current speed; a click seeks. Docked or floated by the main window.
#pragma once

#include "ui/panels/RenderedPanel.h"
#include "ui/render/SpeedGraphRenderer.h"

class SpeedPanel : public RenderedPanel<SpeedGraphRenderer> {
    Q_OBJECT
public:
    explicit SpeedPanel(QWidget* parent = nullptr);

    void setSpeedData(const std::vector<CGpsData>& samples, int durationMs);
    // The unit (1 km/h, 2 mph, anything else knots): full scale and curve follow.
    void setUnit(int unit);
    int unit() const { return m_renderer.unit(); }
    void updateFullScale() { m_renderer.setUnit(m_renderer.unit()); }
    void rebuildSpeedGraph() { rebuildBackground(); }

protected:
    void recordingOpened(const PlaybackSession& session) override;
};
