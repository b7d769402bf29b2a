// Draws the program's icon at the usual desktop sizes (resources/icons/hicolor/<n>x<n>/apps/quillent.png).
// They are committed; run this again only to change their look:
//   g++ -std=c++20 -fPIC scripts/draw-app-icons.cpp -o /tmp/draw-icons \
//       $(pkg-config --cflags --libs Qt6Gui) && QT_QPA_PLATFORM=offscreen /tmp/draw-icons resources/icons
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

namespace {

QImage drawIcon(int n) {
    QImage img(n, n, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(n / 256.0, n / 256.0);
    // Body: a dark rounded camera front.
    QLinearGradient body(0, 16, 0, 240);
    body.setColorAt(0, QColor(70, 72, 78));
    body.setColorAt(1, QColor(24, 25, 28));
    p.setPen(Qt::NoPen);
    p.setBrush(body);
    p.drawRoundedRect(QRectF(12, 40, 232, 176), 36, 36);
    // Lens: rings in the program's accent blue.
    p.setBrush(QColor(14, 14, 16));
    p.drawEllipse(QPointF(128, 128), 76, 76);
    QRadialGradient lens(QPointF(112, 110), 70);
    lens.setColorAt(0, QColor(120, 215, 255));
    lens.setColorAt(0.45, QColor(0, 168, 255));
    lens.setColorAt(1, QColor(0, 50, 110));
    p.setBrush(lens);
    p.drawEllipse(QPointF(128, 128), 56, 56);
    p.setBrush(QColor(8, 20, 40));
    p.drawEllipse(QPointF(128, 128), 22, 22);
    p.setBrush(QColor(255, 255, 255, 200));
    p.drawEllipse(QPointF(108, 106), 10, 10);
    // Recording light.
    p.setBrush(QColor(235, 52, 52));
    p.drawEllipse(QPointF(208, 72), 14, 14);
    return img;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("resources/icons");
    for (int n : {16, 24, 32, 48, 64, 128, 256}) {
        const QString dir = QStringLiteral("%1/hicolor/%2x%2/apps").arg(out).arg(n);
        QDir().mkpath(dir);
        if (!drawIcon(n).save(dir + QStringLiteral("/quillent.png")))
            return 1;
    }
    return 0;
}
