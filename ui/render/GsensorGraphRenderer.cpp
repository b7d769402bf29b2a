#include "ui/render/GsensorGraphRenderer.h"

#include "ui/render/PanelPainting.h"

#include <QPainter>
#include <QPolygon>

#include <cmath>

namespace {
constexpr int kLeft = 40;

int zeroLine(QSize s) {
    return (s.height() - 20) / 2 + 10;
}
int plotWidth(QSize s) {
    return static_cast<int>((s.width() - 45) * 0.98);
}
float pixelsPerG(QSize s, int range) {
    return static_cast<float>(static_cast<int>((s.height() - 20) * 0.95) * 0.5 / range);
}
} // namespace

int gsensorRange(const std::vector<CGsensorData>& samples) {
    float m = 1.0f;
    for (const CGsensorData& s : samples) {
        for (float v : {s.x, s.y, s.z, s.magnitude}) {
            if (m < v)
                m = v;
        }
    }
    return static_cast<int>(m + 0.5f) + 1;
}

int gsensorTextSampleIndex(int64_t positionMs, size_t count, int durationMs) {
    if (count == 0 || durationMs <= 0)
        return -1;
    int64_t p = std::max<int64_t>(0, positionMs);
    const int64_t rest = p % 100;
    if (rest >= 26 && rest <= 41)
        --p;
    const int64_t index = static_cast<int64_t>(static_cast<double>(p) * count / durationMs) + 1;
    return static_cast<int>(std::min<int64_t>(index, static_cast<int64_t>(count) - 1));
}

void GsensorGraphRenderer::setData(const std::vector<CGsensorData>* samples, int durationMs,
                                   const std::vector<uint32_t>* timesMs) {
    m_samples = samples;
    m_times = timesMs;
    m_durationMs = durationMs;
    if (!samples || samples->empty()) {
        m_durationMs = 0;
        m_range = 2;
        return;
    }
    const size_t drawn = timeline().drawnCount();
    m_range = gsensorRange(drawn == samples->size()
                               ? *samples
                               : std::vector<CGsensorData>(samples->begin(), samples->begin() + drawn));
}

SampleTimeline GsensorGraphRenderer::timeline() const {
    if (!m_samples)
        return {};
    return m_times ? SampleTimeline(*m_times, m_samples->size(), m_durationMs)
                   : SampleTimeline({}, m_samples->size(), m_durationMs);
}

int64_t GsensorGraphRenderer::clampPosition(int64_t positionMs) const {
    return m_durationMs < positionMs ? m_durationMs - 1 : positionMs;
}

void GsensorGraphRenderer::paintBackground(QPainter& p, QSize size) const {
    p.fillRect(QRect(QPoint(0, 0), size), panelcolors::kBackground);
    if (!m_samples || m_samples->empty())
        return;
    const SampleTimeline samples = timeline();
    const int count = static_cast<int>(samples.drawnCount()); // none past the last picture
    const int y0 = zeroLine(size);
    const int plot = plotWidth(size);
    const float s = pixelsPerG(size, m_range);
    std::vector<int> xs(count);
    for (int i = 0; i < count; ++i)
        xs[i] = panelSampleX(samples, i, plot, m_durationMs) + kLeft;
    p.setRenderHint(QPainter::Antialiasing, false);
    const auto curve = [&](float CGsensorData::*field, const QColor& colour) {
        QPolygon line;
        line.reserve(count + 1);
        line << QPoint(kLeft, y0);
        for (int i = 0; i < count; ++i)
            line << QPoint(xs[i], static_cast<int>(y0 - (*m_samples)[i].*field * s));
        p.setPen(QPen(colour, 0));
        p.drawPolyline(line);
    };
    curve(&CGsensorData::x, panelcolors::kX);
    curve(&CGsensorData::y, panelcolors::kY);
    curve(&CGsensorData::z, panelcolors::kZ);
}

void GsensorGraphRenderer::paintOverlay(QPainter& p, QSize size, int64_t positionMs) const {
    p.setRenderHint(QPainter::Antialiasing, false);
    const int w = size.width();
    const int h = size.height();
    const int y0 = zeroLine(size);
    const int plot = plotWidth(size);
    const float s = pixelsPerG(size, m_range);

    drawPanelLine(p, kLeft, 10, kLeft, h - 10, panelcolors::kAxis);
    drawPanelLine(p, kLeft, y0, w - 5, y0, panelcolors::kAxis);
    const int tickTop = (h - 20) / 2 + 5;
    drawPanelLine(p, kLeft + plot / 2, tickTop, kLeft + plot / 2, tickTop + 10, panelcolors::kAxis);
    drawPanelLine(p, kLeft + plot, tickTop, kLeft + plot, tickTop + 10, panelcolors::kAxis);
    for (int k = 1; k <= m_range; ++k) {
        const int up = static_cast<int>(y0 - k * s);
        const int down = static_cast<int>(y0 + k * s);
        drawPanelLine(p, 35, up, kLeft, up, panelcolors::kAxis);
        drawPanelLine(p, 35, down, kLeft, down, panelcolors::kAxis);
    }
    drawPanelText(p, 10, static_cast<int>(y0 - m_range * s - 7), QStringLiteral("+%1G").arg(m_range),
                  panelcolors::kText);
    drawPanelText(p, 10, static_cast<int>(m_range * s + y0 - 7), QStringLiteral("-%1G").arg(m_range),
                  panelcolors::kText);

    if (m_durationMs > 0) {
        const int x = static_cast<int>(static_cast<double>(plot) / m_durationMs * positionMs + kLeft);
        const int d = h - 20;
        const int e = static_cast<int>(0.95 * d);
        drawPanelLine(p, x, d / 2 - e / 2 + 10, x, d / 2 + e / 2 + 10, panelcolors::kPosition);
    }

    CGsensorData v;
    const SampleTimeline samples = timeline();
    const int i = !m_samples                ? -1
                  : samples.byRecordTime() ? samples.indexAt(positionMs)
                                           : gsensorTextSampleIndex(positionMs, m_samples->size(), m_durationMs);
    if (i >= 0)
        v = (*m_samples)[i];
    drawPanelText(p, w - 243, 0, QString::asprintf("X:%+0.3f", v.x), panelcolors::kX);
    drawPanelText(p, w - 163, 0, QString::asprintf("Y:%+0.3f", v.y), panelcolors::kY);
    drawPanelText(p, w - 80, 0, QString::asprintf("Z:%+0.3f", v.z), panelcolors::kZ);
    drawPanelText(p, w - 160, h - 20,
                  panelText("PANEL_GSENSOR_SUM", "G-SENSOR SUM") + QString::asprintf(":%0.3f", v.magnitude),
                  panelcolors::kText);
}

void GsensorGraphRenderer::paint(QPainter& p, QSize size, int64_t positionMs) const {
    paintBackground(p, size);
    paintOverlay(p, size, positionMs);
}

QRect GsensorGraphRenderer::tickRect(QSize size) {
    // Down to the bottom: the sum text reaches below the plot area and must be repainted whole.
    return QRect(QPoint(kLeft, 0), QPoint(size.width() - 5, size.height() - 1));
}

std::optional<int64_t> GsensorGraphRenderer::seekPosition(QPoint pt, QSize size) const {
    return PanelSeekPosition(pt, size, 10, size.height() - 10, m_durationMs);
}
