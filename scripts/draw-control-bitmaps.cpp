// Draws the bitmaps of the skinned dialogs and the list header (resources/controls/<id>.png).
// They are committed; run this again only to change their look:
//   g++ -std=c++20 -fPIC scripts/draw-control-bitmaps.cpp -o /tmp/draw-bitmaps \
//       $(pkg-config --cflags --libs Qt6Gui) && QT_QPA_PLATFORM=offscreen /tmp/draw-bitmaps
//       resources/controls
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {
const QColor kAccent(0, 168, 255);
const QColor kPanel(44, 44, 44);
QString g_out;

QImage canvas(int w, int h, QColor fill = Qt::transparent) {
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(fill);
    return img;
}

void save(const QImage& img, int id) {
    img.save(g_out + QStringLiteral("/%1.png").arg(id));
}

QFont font(int px, int weight = QFont::Normal, const QString& family = QStringLiteral("Carlito")) {
    QFont f(family);
    f.setPixelSize(px);
    f.setWeight(static_cast<QFont::Weight>(weight));
    return f;
}

// Drive dialog background, 455 x 181: title band, caption, a label beside the drive combo.
void driveBackground(int id, const QString& title, const QString& label, const QString& family) {
    QImage img = canvas(455, 181, kPanel);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient band(0, 0, 0, 44);
    band.setColorAt(0, QColor(62, 62, 62));
    band.setColorAt(1, QColor(30, 30, 30));
    p.fillRect(0, 0, 455, 44, band);
    p.fillRect(0, 44, 455, 2, kAccent);
    QLinearGradient body(0, 46, 0, 181);
    body.setColorAt(0, QColor(48, 48, 48));
    body.setColorAt(1, QColor(34, 34, 34));
    p.fillRect(0, 46, 455, 135, body);
    p.setPen(QColor(20, 20, 20));
    p.drawRect(0, 0, 454, 180);
    p.setPen(Qt::white);
    p.setFont(font(19, QFont::Bold, family));
    p.drawText(QRect(18, 0, 340, 44), Qt::AlignVCenter | Qt::AlignLeft, title);
    p.setPen(QColor(200, 200, 200));
    p.setFont(font(15, QFont::Normal, family));
    p.drawText(QRect(14, 90, 90, 30), Qt::AlignVCenter | Qt::AlignRight, label);
    save(img, id);
}

// Close button, 65 x 28: a cross on the title band.
void closeButton(int id, QColor back, QColor cross) {
    QImage img = canvas(65, 28);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    if (back.alpha() > 0) {
        QPainterPath path;
        path.addRoundedRect(QRectF(0.5, 0.5, 64, 27), 4, 4);
        p.fillPath(path, back);
    }
    p.setPen(QPen(cross, 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(26.5, 8.5), QPointF(38.5, 20.5));
    p.drawLine(QPointF(38.5, 8.5), QPointF(26.5, 20.5));
    save(img, id);
}

// OK button, 158 x 36.
void okButton(int id, QColor top, QColor bottom, QColor text, const QString& caption = QStringLiteral("OK")) {
    QImage img = canvas(158, 36);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, 36);
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    QPainterPath path;
    path.addRoundedRect(QRectF(0.5, 0.5, 157, 35), 5, 5);
    p.fillPath(path, g);
    p.setPen(QColor(0, 0, 0, 90));
    p.drawPath(path);
    p.setPen(text);
    p.setFont(font(18, QFont::Bold));
    p.drawText(QRect(0, 0, 158, 36), Qt::AlignCenter, caption);
    save(img, id);
}

// Toggle button of the quick settings, 20 x 20: a ring, filled with the accent when lit.
void toggleButton(int id, QColor ring, QColor dot) {
    QImage img = canvas(20, 20);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(ring, 2.0));
    p.setBrush(QColor(30, 30, 30));
    p.drawEllipse(QPointF(10, 10), 8.2, 8.2);
    if (dot.alpha() > 0) {
        p.setPen(Qt::NoPen);
        p.setBrush(dot);
        p.drawEllipse(QPointF(10, 10), 4.6, 4.6);
    }
    save(img, id);
}

// Search icon of the list header, 20 x 20: a magnifier.
void searchIcon(int id) {
    QImage img = canvas(20, 20);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(220, 220, 220), 2.2));
    p.drawEllipse(QPointF(8.5, 8.5), 5.5, 5.5);
    p.setPen(QPen(QColor(220, 220, 220), 3.0, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(12.8, 12.8), QPointF(17.5, 17.5));
    save(img, id);
}
// Drop-down arrow of the dark combo boxes, 10 x 6.
void comboArrow() {
    QImage img = canvas(10, 6);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.moveTo(0, 0);
    path.lineTo(10, 0);
    path.lineTo(5, 6);
    path.closeSubpath();
    p.fillPath(path, QColor(200, 200, 200));
    img.save(g_out + QStringLiteral("/combo-arrow.png"));
}
} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    g_out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(g_out);
    driveBackground(131, QStringLiteral("Select Drive"), QStringLiteral("Drive"), QStringLiteral("Carlito"));
    driveBackground(339, QStringLiteral("드라이브 선택"), QStringLiteral("드라이브"),
                    QStringLiteral("Noto Sans CJK KR"));
    closeButton(145, Qt::transparent, QColor(190, 190, 190));
    closeButton(146, QColor(80, 80, 80), Qt::white);
    closeButton(147, QColor(200, 40, 40), Qt::white);
    okButton(380, QColor(20, 182, 255), QColor(0, 140, 214), Qt::white);
    okButton(381, QColor(70, 200, 255), QColor(10, 160, 235), Qt::white);
    okButton(382, QColor(0, 120, 186), QColor(0, 100, 160), QColor(220, 240, 255));
    okButton(383, QColor(80, 80, 80), QColor(64, 64, 64), QColor(140, 140, 140));
    searchIcon(364);
    // Quick settings: toggles (normal, hover, lit, disabled), Save without a caption (the window
    // writes it in the current language), Cancel as the close cross.
    toggleButton(530, QColor(150, 150, 150), Qt::transparent);
    toggleButton(531, QColor(0, 168, 255), Qt::transparent);
    toggleButton(532, QColor(0, 168, 255), QColor(0, 168, 255));
    toggleButton(533, QColor(80, 80, 80), Qt::transparent);
    okButton(500, QColor(20, 182, 255), QColor(0, 140, 214), Qt::white, {});
    okButton(501, QColor(70, 200, 255), QColor(10, 160, 235), Qt::white, {});
    okButton(502, QColor(0, 120, 186), QColor(0, 100, 160), QColor(220, 240, 255), {});
    okButton(503, QColor(80, 80, 80), QColor(64, 64, 64), QColor(140, 140, 140), {});
    closeButton(540, Qt::transparent, QColor(190, 190, 190));
    closeButton(541, QColor(80, 80, 80), Qt::white);
    closeButton(542, QColor(200, 40, 40), Qt::white);
    comboArrow();
    return 0;
}
