// The G-sensor panel: the X, Y and Z acceleration of the open recording as curves, a line at the
// playback position and the current values; a click seeks. Docked or floated by the main window.
#pragma once

#include "ui/panels/DataPanel.h"
#include "ui/panels/render/GsensorGraphRenderer.h"

class CDlgGsensor : public DataPanel {
    Q_OBJECT
public:
    explicit CDlgGsensor(QWidget* parent = nullptr);

    // `samples` stay owned by the caller (the session's recording) while they are shown.
    void SetGsensorData(const std::vector<CGsensorData>* samples, int durationMs);
    void RebuildGsensorGraph() { rebuildBackground(); }
    const GsensorGraphRenderer& renderer() const { return m_renderer; }

protected:
    void recordingOpened(const PlaybackSession& session) override;
    void recordingClosed() override;
    void paintBackground(QPainter& p, QSize size) const override;
    void paintOverlay(QPainter& p, QSize size, int64_t positionMs) const override;
    QRect tickRect() const override;
    std::optional<int64_t> seekAt(QPoint pt) const override;
    int64_t storedPosition(int64_t positionMs) const override { return m_renderer.clampPosition(positionMs); }

private:
    GsensorGraphRenderer m_renderer;
};
