#include "ui/render/ListPainting.h"

#include <QFontMetricsF>
#include <QPainter>
#include <cmath>

QFont listFont(int cellHeight, int weight) {
    static const bool substituted = [] {
        QFont::insertSubstitution(QStringLiteral("Calibri"), QStringLiteral("Carlito"));
        return true;
    }();
    (void)substituted;
    QFont font(QStringLiteral("Calibri"));
    font.setStyleHint(QFont::SansSerif);
    font.setWeight(static_cast<QFont::Weight>(weight));
    font.setPixelSize(cellHeight);
    const QFontMetricsF m(font);
    const qreal cell = m.ascent() + m.descent();
    if (cell > 0)
        font.setPixelSize(std::max(1, static_cast<int>(std::lround(cellHeight * cellHeight / cell))));
    return font;
}

void drawListCheckBox(QPainter& p, int x, int top, bool checked) {
    const QRect box(x, top + 5, 14, 14);
    p.fillRect(box, listcolors::kBoxFrame);
    p.fillRect(box.adjusted(2, 2, -2, -2), listcolors::kBackground);
    if (checked)
        p.fillRect(box.adjusted(3, 3, -3, -3), listcolors::kAccent);
}
