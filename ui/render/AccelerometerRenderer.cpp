#include "ui/render/AccelerometerRenderer.h"

#include "ui/render/GsensorGraphRenderer.h"
#include "ui/render/PanelPainting.h"

#include <QPainter>

#include <algorithm>

namespace {
const QColor kRing(168, 193, 216);
const QColor kOuterDisc(57, 49, 49);
const QColor kInnerDisc(87, 70, 70);
const QColor kCurrentPen(241, 136, 136);
const QColor kCurrentFill(255, 17, 17);
constexpr int kTrail = 10; // earlier samples drawn behind the current one
} // namespace

AccelerometerRenderer::Geometry AccelerometerRenderer::geometryFor(QSize size) {
    const int w = size.width() - 60;
    const int h = size.height() - 70;
    Geometry g;
    g.side = std::max(0, std::min(w, h));
    const int gx = (w - g.side) / 2;
    const int gy = (h - g.side) / 2;
    g.square = QRect(gx + 30, gy + 30, g.side, g.side);
    g.centre = QPoint(g.side / 2 + gx + 30, g.side / 2 + gy + 30);
    g.quarter = g.side / 8;
    return g;
}

void AccelerometerRenderer::setData(const std::vector<CGsensorData>* samples, int durationMs,
                                    const std::vector<uint32_t>* timesMs) {
    m_samples = samples;
    m_times = timesMs;
    m_durationMs = samples && !samples->empty() ? durationMs : 0;
}

SampleTimeline AccelerometerRenderer::timeline() const {
    if (!m_samples)
        return {};
    return m_times ? SampleTimeline(*m_times, m_samples->size(), m_durationMs)
                   : SampleTimeline({}, m_samples->size(), m_durationMs);
}

int64_t AccelerometerRenderer::clampPosition(int64_t positionMs) const {
    return m_durationMs < positionMs ? m_durationMs - 1 : positionMs;
}

std::vector<int> AccelerometerRenderer::trail(int64_t positionMs) const {
    std::vector<int> out;
    // Without a duration the index is undefined: no trail.
    if (!m_samples || m_samples->empty() || m_durationMs <= 0)
        return out;
    const int64_t count = static_cast<int64_t>(m_samples->size());
    const SampleTimeline samples = timeline();
    const int64_t current =
        samples.byRecordTime()
            ? samples.indexAt(positionMs)
            : std::clamp<int64_t>(count * std::max<int64_t>(0, positionMs) / m_durationMs, 0, count - 1);
    if (current < 0)
        return out;
    for (int64_t k = std::max<int64_t>(current - kTrail, 0); k <= current; ++k)
        out.push_back(static_cast<int>(k));
    return out;
}

QPoint AccelerometerRenderer::dotCentre(int index, QSize size) const {
    const Geometry g = geometryFor(size);
    const int half = g.side / 2;
    const CGsensorData& s = (*m_samples)[index];
    const int u = std::clamp(static_cast<int>(half * s.y), -half, half);
    const int v = std::clamp(static_cast<int>(half * s.x), -half, half);
    return g.centre + QPoint(u, v);
}

void AccelerometerRenderer::paintBackground(QPainter& p, QSize size) const {
    p.fillRect(QRect(QPoint(0, 0), size), panelcolors::kBackground);
}

void AccelerometerRenderer::paintOverlay(QPainter& p, QSize size, int64_t positionMs) const {
    p.setRenderHint(QPainter::Antialiasing, false);
    const Geometry g = geometryFor(size);
    const QRect& sq = g.square;
    const int q = g.quarter;
    p.setPen(QPen(kRing, 0));
    p.setBrush(kOuterDisc);
    p.drawEllipse(sq.adjusted(0, 0, -1, -1));
    p.setBrush(kInnerDisc);
    p.drawEllipse(sq.adjusted(2 * q, 2 * q, -2 * q - 1, -2 * q - 1));
    p.setBrush(Qt::NoBrush);

    const int gy = sq.top() - 30;
    drawPanelText(p, g.centre.x() - 20, gy + (g.side / 4) * 3 + 10, QStringLiteral("1G"), panelcolors::kZ);
    drawPanelText(p, g.centre.x() - 20, gy + (g.side / 4) * 4 + 10, QStringLiteral("2G"), panelcolors::kZ);
    drawPanelLine(p, g.centre.x(), sq.top(), g.centre.x(), sq.top() + g.side, kRing);
    drawPanelLine(p, sq.left(), g.centre.y(), sq.left() + g.side, g.centre.y(), kRing);

    const std::vector<int> dots = trail(positionMs);
    for (size_t j = 0; j < dots.size(); ++j) {
        const bool current = j + 1 == dots.size();
        const int radius = current ? 10 : static_cast<int>(j) + 1;
        const int jj = static_cast<int>(j);
        const QColor older((15 * jj) % 256, (5 * jj) % 256, (5 * jj) % 256);
        p.setPen(QPen(current ? kCurrentPen : older, 3));
        p.setBrush(current ? kCurrentFill : older);
        p.drawEllipse(dotCentre(dots[j], size), radius, radius);
    }
    p.setBrush(Qt::NoBrush);

    CGsensorData v;
    const SampleTimeline samples = timeline();
    const int i = !m_samples                ? -1
                  : samples.byRecordTime() ? samples.indexAt(positionMs)
                                           : gsensorTextSampleIndex(positionMs, m_samples->size(), m_durationMs);
    if (i >= 0)
        v = (*m_samples)[i];
    const int w = size.width();
    drawPanelText(p, w - 143, 0, QString::asprintf("X:%+0.3f", v.x), panelcolors::kX);
    drawPanelText(p, w - 58, 0, QString::asprintf("Y:%+0.3f", v.y), panelcolors::kY);
    drawPanelText(p, (w - 100) / 2, size.height() - 20, panelText("PANEL_ACCELEROMETER", "ACCELEROMETER"),
                  panelcolors::kText);
}

void AccelerometerRenderer::paint(QPainter& p, QSize size, int64_t positionMs) const {
    paintBackground(p, size);
    paintOverlay(p, size, positionMs);
}
