#include "ui/render/SpeedGraphRenderer.h"

#include "ui/render/PanelPainting.h"
#include "ui/render/SpeedUnit.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPolygon>

#include <algorithm>
#include <cmath>

namespace {
constexpr int kLeft = 40;   // x of the vertical axis
constexpr int kTop = 5;     // top of the vertical axis
constexpr int kBottom = 30; // the horizontal axis lies this far above the bottom

int plotWidth(QSize s) {
    return static_cast<int>((s.width() - 45) * 0.98);
}
int usableHeight(QSize s) {
    return static_cast<int>((s.height() - 35) * 0.95);
}
} // namespace

void SpeedGraphRenderer::setData(const std::vector<CGpsData>& samples, int durationMs,
                                 const std::vector<uint32_t>& timesMs) {
    m_durationMs = durationMs;
    m_speeds.clear();
    m_times = timesMs.size() == samples.size() ? timesMs : std::vector<uint32_t>{};
    if (samples.empty()) {
        // Nothing of the previous recording may stay on the axis.
        m_maximum = 0;
        m_fullScale = 0;
        return;
    }
    m_speeds.reserve(samples.size());
    float maximum = 50.0f;
    const size_t drawn = SampleTimeline(m_times, samples.size(), durationMs).drawnCount();
    for (size_t i = 0; i < samples.size(); ++i) {
        const CGpsData& s = samples[i];
        m_speeds.push_back(s.speed);
        if (i < drawn && maximum < s.speed) // the scale follows what is drawn
            maximum = s.speed;
    }
    m_maximum = maximum;
    updateFullScale();
}

void SpeedGraphRenderer::clear() {
    setData({}, 0);
}

void SpeedGraphRenderer::setUnit(int unit) {
    m_unit = unit;
    updateFullScale();
}

void SpeedGraphRenderer::updateFullScale() {
    const double m = m_maximum * speedUnitFor(m_unit).factor;
    m_fullScale = static_cast<int>(static_cast<float>(m * 1.2) / 10.0f) * 10;
}

void SpeedGraphRenderer::paintBackground(QPainter& p, QSize size) const {
    p.fillRect(QRect(QPoint(0, 0), size), panelcolors::kBackground);
    const SampleTimeline samples = timeline();
    const int count = static_cast<int>(samples.drawnCount());
    if (count == 0)
        return;
    const SpeedUnitInfo& u = speedUnitFor(m_unit);
    const int steps = m_fullScale / u.tickIntervalDivisor;
    if (steps <= 0)
        return;
    const int bottom = size.height();
    const int plot = plotWidth(size);
    const float scale = static_cast<float>(usableHeight(size)) / static_cast<float>(steps) / u.curveDivisor;
    QPolygon line;
    line.reserve(count + 1);
    line << QPoint(kLeft, bottom - kBottom);
    for (int i = 0; i < count; ++i) {
        const float v = static_cast<float>(m_speeds[i] * u.factor);
        const int x = panelSampleX(samples, i, plot, m_durationMs) + kLeft;
        const int y = static_cast<int>((bottom - kBottom) - v * scale);
        line << QPoint(x, y);
    }
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(panelcolors::kSpeedCurve, 0));
    p.drawPolyline(line);
}

void SpeedGraphRenderer::paintOverlay(QPainter& p, QSize size, int64_t positionMs) const {
    p.setRenderHint(QPainter::Antialiasing, false);
    const int w = size.width();
    const int bottom = size.height();
    const int axisY = bottom - kBottom;
    const SpeedUnitInfo& u = speedUnitFor(m_unit);

    drawPanelLine(p, kLeft, kTop, kLeft, axisY, panelcolors::kAxis);
    drawPanelLine(p, kLeft, axisY, w - 5, axisY, panelcolors::kAxis);
    const int plot = static_cast<int>(0.98 * (w - 45));
    drawPanelLine(p, kLeft + plot / 2, bottom - 35, kLeft + plot / 2, bottom - 25, panelcolors::kAxis);
    drawPanelLine(p, kLeft + plot, bottom - 35, kLeft + plot, bottom - 25, panelcolors::kAxis);

    const int steps = m_fullScale / u.tickIntervalDivisor;
    int labelY = bottom - 37; // no full scale yet: no ticks, the label sits on the axis
    if (steps > 0) {
        const float spacing = static_cast<float>(usableHeight(size)) / static_cast<float>(steps);
        const int ticks = m_fullScale / u.tickCountDivisor;
        for (int k = 1; k <= ticks; ++k) {
            const int y = static_cast<int>(axisY - k * spacing);
            drawPanelLine(p, 35, y, kLeft, y, panelcolors::kAxis);
        }
        labelY = static_cast<int>(axisY - ticks * spacing - 7);
    }
    drawPanelText(p, 10, labelY, QString::number(m_fullScale), panelcolors::kText);

    if (m_durationMs > 0 && !m_speeds.empty()) { // a recording without GPS has no line
        const int x =
            static_cast<int>(static_cast<double>(plotWidth(size)) / m_durationMs * positionMs + kLeft);
        const int d = bottom - 35;
        const int e = static_cast<int>(0.95 * d);
        drawPanelLine(p, x, d / 2 - e / 2 + 5, x, d / 2 + e / 2 + 5, panelcolors::kPosition);
    }

    const QString text =
        panelText("PANEL_SPEED", "SPEED") + QString::asprintf("    %0.4f %s", speedAt(positionMs), u.name);
    // Right-aligned from where the fixed offset put short units: a long unit ("Mile/h") or a wide
    // font still ends inside the panel.
    const int textWidth = QFontMetrics(panelTextFont()).horizontalAdvance(text);
    drawPanelText(p, std::min(w - 145, w - 5 - textWidth), bottom - 20, text, panelcolors::kText);
}

void SpeedGraphRenderer::paint(QPainter& p, QSize size, int64_t positionMs) const {
    paintBackground(p, size);
    paintOverlay(p, size, positionMs);
}

double SpeedGraphRenderer::speedAt(int64_t positionMs) const {
    if (m_durationMs <= 0 || m_speeds.empty())
        return 0;
    const int i = timeline().indexAt(positionMs);
    if (i < 0)
        return 0;
    return static_cast<float>(m_speeds[i] * speedUnitFor(m_unit).factor);
}

QRect SpeedGraphRenderer::tickRect(QSize size) {
    return QRect(QPoint(kLeft, kTop), QPoint(size.width() - 5, size.height() - 1));
}

std::optional<int64_t> SpeedGraphRenderer::seekPosition(QPoint pt, QSize size) const {
    return PanelSeekPosition(pt, size, kTop, size.height() - kBottom, m_durationMs);
}
