// A data panel drawn by one renderer (speed, G-sensor and accelerometer panels): the renderer paints
// the background and the overlay; where it names a tick area, offers seeks or holds positions, the
// panel uses them, otherwise the whole panel is repainted, a click does not seek and positions are
// stored as they come.
#pragma once

#include "ui/panels/DataPanel.h"

template <class Renderer> class RenderedPanel : public DataPanel {
public:
    const Renderer& renderer() const { return m_renderer; }

protected:
    using DataPanel::DataPanel;

    void recordingClosed() override { m_renderer.clear(); }
    void paintBackground(QPainter& p, QSize size) const override { m_renderer.paintBackground(p, size); }
    void paintOverlay(QPainter& p, QSize size, int64_t positionMs) const override {
        m_renderer.paintOverlay(p, size, positionMs);
    }
    QRect tickRect() const override {
        if constexpr (requires { Renderer::tickRect(QSize()); })
            return Renderer::tickRect(size());
        else // e.g. the accelerometer's dot, which can sit on the ring's edge outside any plot area
            return rect();
    }
    std::optional<int64_t> seekAt(QPoint pt) const override {
        if constexpr (requires { m_renderer.seekPosition(pt, size()); })
            return m_renderer.seekPosition(pt, size());
        else
            return std::nullopt;
    }
    int64_t storedPosition(int64_t positionMs) const override {
        if constexpr (requires { m_renderer.clampPosition(positionMs); })
            return m_renderer.clampPosition(positionMs);
        else
            return positionMs;
    }

    Renderer m_renderer;
};
