// The accelerometer panel: the current X/Y acceleration as a red dot on two rings, trailing the
// ten samples before it. Docked or floated by the main window; a click does not seek.
#pragma once

#include "ui/panels/DataPanel.h"
#include "ui/panels/render/AccelerometerRenderer.h"

class CDlgAccelerometer : public DataPanel {
    Q_OBJECT
public:
    explicit CDlgAccelerometer(QWidget* parent = nullptr);

    // `samples` stay owned by the caller (the session's recording) while they are shown.
    void SetGsensorData(const std::vector<CGsensorData>* samples, int durationMs);
    void RebuildGsensorGraph() { rebuildBackground(); }
    const AccelerometerRenderer& renderer() const { return m_renderer; }

protected:
    void recordingOpened(const PlaybackSession& session) override;
    void recordingClosed() override;
    void paintBackground(QPainter& p, QSize size) const override;
    void paintOverlay(QPainter& p, QSize size, int64_t positionMs) const override;
    QRect tickRect() const override;
    int64_t storedPosition(int64_t positionMs) const override { return m_renderer.clampPosition(positionMs); }

private:
    AccelerometerRenderer m_renderer;
};
