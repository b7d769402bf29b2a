#include "ui/app/MainWindowPainter.h"

#include <QColor>
#include <QPainter>

namespace {
// Grey levels of the 27 lines of the title band, top to bottom.
constexpr int kTitleGreys[27] = {43, 45, 44, 43, 42, 41, 40, 39, 37, 36, 34, 32, 30, 28,
                                 26, 24, 22, 20, 18, 16, 13, 11, 10, 8,  7,  5,  4};
} // namespace

void paintMainWindow(QPainter& p, QSize client, int sb) {
    const int w = client.width();
    const int h = client.height();
    const int hh = (h - 138) / 2;

    p.fillRect(0, 0, w, 33, Qt::black);
    for (int y = 0; y < 27; ++y) {
        const int g = kTitleGreys[y];
        p.fillRect(0, y, w, 1, QColor(g, g, g));
    }

    // Frame around the skin page.
    p.fillRect(0, h - 97, 3, 95, Qt::black);
    p.fillRect(w - 3, h - 97, 3, 95, Qt::black);
    p.fillRect(0, h - 3, w, 3, Qt::black);

    // Panel area: black gaps between the children.
    p.fillRect(0, 33, w, h - 98 - 33, Qt::black);
    p.fillRect(w - 7, 33, 7, h - 99 - 33, Qt::black);
    const int third = (w - 12) / 3;
    p.fillRect(third * 2 + 6, h - 105, w - (third * 2 + 6), 6, Qt::black);
    p.fillRect(third * 2 + 6, hh + 34, third, 3, Qt::black);
    // Column behind the list scroll bar.
    p.fillRect((w - 12) - sb + 5, 95, sb + 1, hh - 62, QColor(0x2C, 0x2C, 0x2C));
}
