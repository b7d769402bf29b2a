#include "ui/tools/ToolBitmaps.h"

#include "ui/widgets/SkinBitmaps.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <functional>

namespace {

const QColor kAccent(0, 168, 255);
const QColor kPanel(44, 44, 44);

QPixmap background(int w, int h, int bandHeight) {
    QPixmap pm(w, h);
    pm.fill(kPanel);
    QPainter p(&pm);
    QLinearGradient band(0, 0, 0, bandHeight);
    band.setColorAt(0, QColor(62, 62, 62));
    band.setColorAt(1, QColor(30, 30, 30));
    p.fillRect(0, 0, w, bandHeight, band);
    p.fillRect(0, bandHeight, w, 2, kAccent);
    QLinearGradient body(0, bandHeight + 2, 0, h);
    body.setColorAt(0, QColor(48, 48, 48));
    body.setColorAt(1, QColor(34, 34, 34));
    p.fillRect(0, bandHeight + 2, w, h - bandHeight - 2, body);
    p.setPen(QColor(20, 20, 20));
    p.drawRect(0, 0, w - 1, h - 1);
    return pm;
}

// state: 0 normal, 1 pressed, 2 hover, 3 disabled.
QPixmap button(int w, int h, int state, const std::function<void(QPainter&, const QColor&)>& glyph) {
    QPixmap pm(w, h);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor top = state == 1 ? QColor(30, 30, 30) : state == 2 ? QColor(80, 80, 80) : QColor(66, 66, 66);
    const QColor bottom = state == 1 ? QColor(50, 50, 50) : QColor(36, 36, 36);
    QLinearGradient g(0, 0, 0, h);
    g.setColorAt(0, state == 3 ? QColor(50, 50, 50) : top);
    g.setColorAt(1, state == 3 ? QColor(44, 44, 44) : bottom);
    QPainterPath path;
    path.addRoundedRect(QRectF(0.5, 0.5, w - 1, h - 1), 5, 5);
    p.fillPath(path, g);
    p.setPen(state == 2 ? kAccent : QColor(20, 20, 20));
    p.drawPath(path);
    glyph(p, state == 3 ? QColor(90, 90, 90) : state == 2 ? kAccent : QColor(220, 220, 220));
    return pm;
}

QPixmap folderButton(int state) {
    return button(80, 36, state, [](QPainter& p, const QColor& c) {
        QPainterPath folder;
        folder.moveTo(26, 11);
        folder.lineTo(34, 11);
        folder.lineTo(37, 14);
        folder.lineTo(54, 14);
        folder.lineTo(54, 26);
        folder.lineTo(26, 26);
        folder.closeSubpath();
        p.setPen(QPen(c, 1.6));
        p.drawPath(folder);
    });
}

QPixmap startButton(int state) {
    return button(158, 36, state, [](QPainter& p, const QColor& c) {
        // Three strips joining into one: the merge.
        p.setPen(QPen(c, 2.2, Qt::SolidLine, Qt::RoundCap));
        for (int i = 0; i < 3; ++i)
            p.drawLine(QPointF(52, 10 + 8 * i), QPointF(70, 18));
        p.drawLine(QPointF(70, 18), QPointF(100, 18));
        QPainterPath arrow;
        arrow.moveTo(100, 12);
        arrow.lineTo(108, 18);
        arrow.lineTo(100, 24);
        arrow.closeSubpath();
        p.fillPath(arrow, c);
    });
}

// Channel toggle k (0-based) in states 0..3; a check box and the channel's number.
QPixmap channelButton(int k, int state) {
    return button(174, 25, state, [k, state](QPainter& p, const QColor& c) {
        p.setPen(QPen(c, 1.4));
        p.drawRect(QRectF(8.5, 5.5, 14, 14));
        if (state == 1) {
            p.setPen(QPen(kAccent, 2.2));
            p.drawLine(QPointF(11, 12.5), QPointF(15, 16.5));
            p.drawLine(QPointF(15, 16.5), QPointF(21, 8));
        }
        QFont f(QStringLiteral("Carlito"));
        f.setPixelSize(14);
        f.setBold(true);
        p.setFont(f);
        p.setPen(c);
        p.drawText(QRect(32, 0, 130, 25), Qt::AlignVCenter | Qt::AlignLeft,
                   QStringLiteral("CH %1").arg(k + 1));
    });
}

} // namespace

QPixmap ToolBitmap(int id) {
    QPixmap resource = LoadSkinBitmap(id);
    if (!resource.isNull())
        return resource;
    if (id == 133)
        return background(462, 406, 52);
    if (id == 137)
        return background(423, 199, 44);
    if (id >= 640 && id <= 643)
        return folderButton(id - 640);
    if (id >= 630 && id <= 633)
        return startButton(id - 630);
    if (id >= 550 && id < 590 && (id - 550) % 10 < 4)
        return channelButton((id - 550) / 10, (id - 550) % 10);
    return {};
}
