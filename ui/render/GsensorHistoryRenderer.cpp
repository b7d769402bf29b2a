#include "ui/render/GsensorHistoryRenderer.h"

#include "ui/render/PanelPainting.h"

#include <QPainter>
#include <QPolygonF>

double GsensorHistoryRenderer::countScale(const std::vector<RawGsensorSample>& samples) {
    return !samples.empty() && samples.front().mode == 2 ? 0.1640625 : 0.65625;
}

QPixmap GsensorHistoryRenderer::background() {
    static const QPixmap picture = [] {
        QPixmap pm(kWidth, kHeight);
        pm.fill(QColor(40, 40, 40));
        QPainter p(&pm);
        p.setPen(QPen(QColor(90, 90, 90), 1));
        p.drawRect(0, 0, kWidth - 1, kHeight - 1);
        p.fillRect(1, 1, kWidth - 2, 42, QColor(55, 55, 55));
        drawPanelText(p, 14, 12, panelText("PANEL_GSENSOR_TITLE", "G-Sensor"), panelcolors::kText);
        // The plot: one minute from x 54 to 534, +-84 counts-of-8-bit (about +-5 G) around y 164.
        const QRect plot(kOriginX, 64, 480, 200);
        p.fillRect(plot, QColor(30, 30, 30));
        p.setPen(QPen(QColor(62, 62, 62), 1));
        for (int s = 10; s < 60; s += 10) {
            const int x = kOriginX + static_cast<int>(s * 1000 * kPixelsPerMs);
            p.drawLine(x, plot.top(), x, plot.bottom());
        }
        for (int dy = -80; dy <= 80; dy += 40)
            p.drawLine(plot.left(), kOriginY + dy, plot.right(), kOriginY + dy);
        p.setPen(QPen(panelcolors::kAxis, 1));
        p.drawLine(kOriginX, plot.top(), kOriginX, plot.bottom());
        p.drawLine(kOriginX, kOriginY, plot.right(), kOriginY);
        QFont small = panelTextFont();
        small.setPixelSize(11);
        p.setFont(small);
        p.setPen(panelcolors::kText);
        for (int s = 0; s <= 60; s += 10) {
            const int x = kOriginX + static_cast<int>(s * 1000 * kPixelsPerMs);
            p.drawText(QRect(x - 20, plot.bottom() + 4, 40, 14), Qt::AlignHCenter,
                       QStringLiteral("%1s").arg(s));
        }
        p.drawText(QRect(8, kOriginY - 7, 40, 14), Qt::AlignRight, QStringLiteral("0"));
        // Legend: x green, y red, z blue.
        const struct {
            const char* name;
            QColor colour;
        } legend[] = {{"X", QColor(0, 255, 0)}, {"Y", QColor(255, 0, 0)}, {"Z", QColor(0, 0, 255)}};
        int lx = 200;
        for (const auto& l : legend) {
            p.fillRect(lx, 20, 16, 3, l.colour);
            p.drawText(QRect(lx + 20, 14, 20, 14), Qt::AlignLeft, QString::fromLatin1(l.name));
            lx += 50;
        }
        return pm;
    }();
    return picture;
}

void GsensorHistoryRenderer::paint(QPainter& p, QSize size,
                                   const std::vector<RawGsensorSample>& samples) const {
    p.drawPixmap(QRect(QPoint(0, 0), size), background());
    if (samples.empty())
        return;
    const double k = countScale(samples);
    QPolygonF xs, ys, zs;
    for (QPolygonF* line : {&xs, &ys, &zs})
        *line << QPointF(kOriginX, kOriginY);
    for (const RawGsensorSample& s : samples) {
        if (s.timestampMs > kLastMs)
            continue;
        const double x = kOriginX + s.timestampMs * kPixelsPerMs;
        xs << QPointF(x, kOriginY - s.x * k);
        ys << QPointF(x, kOriginY - s.y * k);
        zs << QPointF(x, kOriginY - s.z * k);
    }
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(QColor(0, 255, 0), 0));
    p.drawPolyline(xs);
    p.setPen(QPen(QColor(255, 0, 0), 0));
    p.drawPolyline(ys);
    p.setPen(QPen(QColor(0, 0, 255), 0));
    p.drawPolyline(zs);
}
