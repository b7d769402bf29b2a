#include "ui/render/PanelPainting.h"

#include "core/config/ViewerConfig.h"
#include "ui/render/ListPainting.h"

#include <QFontMetrics>
#include <QPainter>

QFont panelTextFont() {
    static const QFont font = listFont(18, 700);
    return font;
}

void drawPanelText(QPainter& p, int x, int y, const QString& text, const QColor& colour) {
    const QFont font = panelTextFont();
    p.setFont(font);
    p.setPen(colour);
    p.drawText(x, y + QFontMetrics(font).ascent(), text);
}

void drawPanelLine(QPainter& p, int x1, int y1, int x2, int y2, const QColor& colour) {
    p.setPen(QPen(colour, 0));
    p.drawLine(x1, y1, x2, y2);
}

QString panelText(const char* id, const char* fallback) {
    const std::string text = LString(id);
    return QString::fromStdString(text.empty() ? std::string(fallback) : text);
}

std::optional<int64_t> PanelSeekPosition(QPoint pt, QSize size, int top, int bottom, int durationMs) {
    constexpr int kLeft = 40;
    const int right = size.width();
    if (durationMs <= 0 || pt.x() < kLeft || pt.x() > right - 5 || pt.y() < top || pt.y() > bottom)
        return std::nullopt;
    if (right - 45 <= 0)
        return std::nullopt;
    const int64_t position = int64_t(pt.x() - kLeft) * durationMs / (right - 45);
    if (position >= durationMs)
        return std::nullopt;
    return position;
}

int panelSampleX(const SampleTimeline& samples, size_t i, int plot, int durationMs) {
    if (samples.byRecordTime())
        return durationMs > 0 ? static_cast<int>(static_cast<double>(plot) * samples.timeOf(i) / durationMs) : 0;
    const size_t count = samples.drawnCount();
    return count > 1 ? static_cast<int>(static_cast<float>(static_cast<double>(int64_t(i) * plot) / (count - 1)))
                     : 0;
}
