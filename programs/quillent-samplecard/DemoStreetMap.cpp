#include "DemoStreetMap.h"

#include "TrackRecords.h"
#include "core/maps/MbTilesFile.h"
#include "core/maps/MbTilesWriter.h"
#include "core/maps/TilePrefetch.h"

#include <QBuffer>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <memory>
#include <set>
#include <tuple>
#include <vector>

namespace {

constexpr int kFromZoom = 13;
constexpr int kToZoom = 17;
constexpr int kTile = 256;

struct Street {
    QString name;
    std::vector<std::pair<double, double>> points; // (lat, lon)
    bool main = true;
};

// The streets the demo drive follows, split where the route turns from one into the next.
std::vector<Street> demoStreets() {
    const auto& route = DemoRoute();
    auto part = [&](size_t from, size_t to) {
        return std::vector<std::pair<double, double>>(route.begin() + long(from), route.begin() + long(to) + 1);
    };
    std::vector<Street> streets{
        {QStringLiteral("세종대로 Sejong-daero"), part(0, 5), true},
        {QStringLiteral("종로 Jong-ro"), part(5, 12), true},
        {QStringLiteral("왕산로 Wangsan-ro"), part(12, route.size() - 1), true},
    };
    // Side streets across the way every 250 m or so, so the map reads as a street map.
    static const char* const kSideNames[] = {"Namdaemun-ro", "Eulji-ro", "Samil-daero", "Changgyeonggung-ro",
                                             "Daehak-ro",    "Jibong-ro", "Nangye-ro"};
    int named = 0;
    for (size_t i = 1; i < route.size(); ++i) {
        const auto [lat0, lon0] = route[i - 1];
        const auto [lat1, lon1] = route[i];
        const double kx = std::cos(lat0 * M_PI / 180);
        const double dx = (lon1 - lon0) * kx, dy = lat1 - lat0;
        const double len = std::hypot(dx, dy);
        if (len <= 0)
            continue;
        const int count = std::max(1, int(len / 0.0025));
        for (int c = 0; c < count; ++c) {
            const double f = (c + 0.5) / count;
            const double lat = lat0 + dy * f, lon = lon0 + (lon1 - lon0) * f;
            const double nx = -dy / len, ny = dx / len; // across the way
            const double reach = 0.0035;
            Street side;
            side.main = false;
            if (c == 0 && named < int(std::size(kSideNames)))
                side.name = QString::fromLatin1(kSideNames[named++]);
            side.points = {{lat - ny * reach, lon - nx * reach / kx}, {lat + ny * reach, lon + nx * reach / kx}};
            streets.push_back(side);
        }
    }
    return streets;
}

QPointF worldPixel(double lat, double lon, int z) {
    const double n = std::ldexp(1.0, z) * kTile;
    const double r = std::clamp(lat, -85.0511, 85.0511) * M_PI / 180;
    return {(lon + 180) / 360 * n, (1 - std::log(std::tan(r) + 1 / std::cos(r)) / M_PI) / 2 * n};
}

QByteArray drawTile(const std::vector<Street>& streets, int z, int x, int y) {
    QImage image(kTile, kTile, QImage::Format_RGB32);
    image.fill(QColor(0xf2, 0xef, 0xe9));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(-x * kTile, -y * kTile);
    const double scale = std::ldexp(1.0, z - 16); // widths are set for zoom 16
    auto pathOf = [&](const Street& s) {
        QPainterPath path;
        for (size_t i = 0; i < s.points.size(); ++i) {
            const QPointF pt = worldPixel(s.points[i].first, s.points[i].second, z);
            i == 0 ? path.moveTo(pt) : path.lineTo(pt);
        }
        return path;
    };
    // Casings first, then the fills, side streets under the main roads.
    for (int pass = 0; pass < 2; ++pass)
        for (bool main : {false, true})
            for (const Street& s : streets) {
                if (s.main != main)
                    continue;
                const double width = (main ? 12.0 : 6.0) * scale + (pass == 0 ? 2.5 : 0);
                const QColor colour = pass == 0 ? QColor(0xb8, 0xae, 0x9c)
                                      : main    ? QColor(0xfc, 0xd6, 0x8a)
                                                : QColor(0xff, 0xff, 0xff);
                p.setPen(QPen(colour, std::max(width, 1.5), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
                p.drawPath(pathOf(s));
            }
    // Names along the roads (from zoom 15), in each tile the label reaches into (so they join across edges).
    QFont font(QStringLiteral("Noto Sans CJK KR"));
    font.setPixelSize(z >= 17 ? 14 : 12);
    font.setBold(true);
    p.setFont(font);
    for (const Street& s : streets) {
        if (z < 15 || s.name.isEmpty() || (!s.main && z < 16))
            continue;
        for (size_t i = 1; i < s.points.size(); ++i) {
            const QPointF a = worldPixel(s.points[i - 1].first, s.points[i - 1].second, z);
            const QPointF b = worldPixel(s.points[i].first, s.points[i].second, z);
            const double length = std::hypot(b.x() - a.x(), b.y() - a.y());
            const double textWidth = QFontMetricsF(font).horizontalAdvance(s.name);
            if (length < textWidth + 40)
                continue;
            double angle = std::atan2(b.y() - a.y(), b.x() - a.x()) * 180 / M_PI;
            if (angle > 90 || angle < -90)
                angle += 180;
            const int labels = std::max(1, int(length / 700));
            for (int l = 0; l < labels; ++l) {
                const double f = (l + 0.5) / labels;
                const QPointF at = a + (b - a) * f;
                if (!QRectF(x * kTile - 300, y * kTile - 300, kTile + 600, kTile + 600).contains(at))
                    continue;
                p.save();
                p.translate(at);
                p.rotate(angle);
                QPainterPath text;
                text.addText(-textWidth / 2, QFontMetricsF(font).ascent() / 2 - 1, font, s.name);
                p.setPen(QPen(QColor(255, 255, 255, 230), 3));
                p.setBrush(Qt::NoBrush);
                p.drawPath(text);
                p.fillPath(text, QColor(0x40, 0x38, 0x30));
                p.restore();
            }
        }
    }
    p.end();
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

} // namespace

std::string WriteDemoStreetMap(const std::filesystem::path& target, int* tiles) {
    // Text is drawn with the toolkit's fonts, which need a GUI application (off screen: nothing is shown).
    std::unique_ptr<QGuiApplication> app;
    if (!QCoreApplication::instance()) {
        const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "quillent-samplecard";
        static char* argv[] = {name, nullptr};
        app = std::make_unique<QGuiApplication>(argc, argv);
        platform.isNull() ? qunsetenv("QT_QPA_PLATFORM") : qputenv("QT_QPA_PLATFORM", platform);
    }
    const auto streets = demoStreets();
    double south = 90, north = -90, west = 180, east = -180;
    for (const auto& [lat, lon] : DemoRoute()) {
        south = std::min(south, lat);
        north = std::max(north, lat);
        west = std::min(west, lon);
        east = std::max(east, lon);
    }
    // Tiles along the way, a tile further out than the keep command takes.
    std::set<std::tuple<int, int, int>> wanted;
    for (const TileNumber& t : TilePrefetch::tilesAlong(DemoRoute(), kFromZoom, kToZoom, 100000))
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                wanted.insert({t.z, t.x + dx, t.y + dy});

    MbTilesWriter writer(QString::fromStdString(target.string()));
    const double margin = 0.01;
    const QMap<QString, QString> metadata{
        {QStringLiteral("name"), QStringLiteral("Demo drive streets")},
        {QStringLiteral("format"), QStringLiteral("png")},
        {QStringLiteral("type"), QStringLiteral("baselayer")},
        {QStringLiteral("version"), QStringLiteral("1")},
        {QStringLiteral("description"), QStringLiteral("The streets of the demo drive, drawn by quillent-samplecard")},
        {QStringLiteral("minzoom"), QString::number(kFromZoom)},
        {QStringLiteral("maxzoom"), QString::number(kToZoom)},
        {QStringLiteral("bounds"), QStringLiteral("%1,%2,%3,%4")
                                       .arg(west - margin, 0, 'f', 5)
                                       .arg(south - margin, 0, 'f', 5)
                                       .arg(east + margin, 0, 'f', 5)
                                       .arg(north + margin, 0, 'f', 5)},
        {QStringLiteral("attribution"), QStringLiteral("Demo streets drawn from the sample route")},
    };
    if (!writer.begin(metadata))
        return writer.error().toStdString();
    for (const auto& [z, x, y] : wanted)
        if (!writer.addTile(z, x, y, drawTile(streets, z, x, y)))
            return writer.error().toStdString();
    if (!writer.commit())
        return writer.error().toStdString();
    if (tiles)
        *tiles = writer.tileCount();
    return {};
}
