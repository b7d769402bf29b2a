#include "ui/panels/render/PanelPainting.h"

#include "core/config/ViewerConfig.h"
#include "ui/lists/ListPainting.h"

#include <QFontMetrics>
#include <QPainter>

QFont PanelTextFont() {
    static const QFont font = ListFont(18, 700);
    return font;
}

void DrawPanelText(QPainter& p, int x, int y, const QString& text, const QColor& colour) {
    const QFont font = PanelTextFont();
    p.setFont(font);
    p.setPen(colour);
    p.drawText(x, y + QFontMetrics(font).ascent(), text);
}

void DrawPanelLine(QPainter& p, int x1, int y1, int x2, int y2, const QColor& colour) {
    p.setPen(QPen(colour, 0));
    p.drawLine(x1, y1, x2, y2);
}

QString PanelText(const char* id, const char* fallback) {
    const std::string text = LString(id);
    return QString::fromStdString(text.empty() ? std::string(fallback) : text);
}
