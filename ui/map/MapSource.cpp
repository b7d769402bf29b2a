#include "ui/map/MapSource.h"

#include "core/config/Settings.h"

#include <QStandardPaths>
#include <QUrl>

#include <algorithm>

namespace {
QString setting(const char* name, int kind, const QString& fallback) {
    const std::string value = ReadSetting(name + std::to_string(kind));
    return value.empty() ? fallback : QString::fromStdString(value);
}
} // namespace

int StoredMapKind() {
    return ReadSetting("map") == "2" ? 2 : 1;
}

MapSource DefaultMapSource(int kind) {
    MapSource d;
    if (kind == 2) {
        // Needs no account key; its tiles are drawn in GCJ-02.
        d.url = QStringLiteral(
            "https://webrd01.is.autonavi.com/appmaptile?lang=zh_cn&size=1&scale=1&style=8&x={x}&y={y}&z={z}");
        d.attribution = QStringLiteral("&copy; AutoNavi");
        d.minZoom = 3;
        d.maxZoom = 18;
        d.coords = QStringLiteral("gcj02");
    } else {
        d.url = QStringLiteral("https://tile.openstreetmap.org/{z}/{x}/{y}.png");
        d.attribution = QStringLiteral(
            "&copy; <a href=\"https://www.openstreetmap.org/copyright\">OpenStreetMap</a> contributors");
        d.minZoom = 0;
        d.maxZoom = 19;
        d.coords = QStringLiteral("wgs84");
    }
    return d;
}

MapSource MapSourceFor(int kind) {
    kind = kind == 2 ? 2 : 1;
    MapSource d = DefaultMapSource(kind);
    if (const QByteArray url = qgetenv("QUILLENT_MAP_TILES"); !url.isEmpty())
        d.url = QString::fromUtf8(url);
    MapSource s;
    s.url = setting("mapTiles", kind, d.url);
    s.attribution = setting("mapAttribution", kind, d.attribution);
    s.minZoom = setting("mapMinZoom", kind, QString::number(d.minZoom)).toInt();
    s.maxZoom = setting("mapMaxZoom", kind, QString::number(d.maxZoom)).toInt();
    if (s.maxZoom <= 0 || s.maxZoom > 22)
        s.maxZoom = d.maxZoom;
    s.minZoom = std::clamp(s.minZoom, 0, s.maxZoom);
    s.coords = setting("mapCoords", kind, d.coords) == QLatin1String("gcj02") ? QStringLiteral("gcj02")
                                                                              : QStringLiteral("wgs84");
    return s;
}

QString MapPageFor(int kind) {
    return kind == 2 ? QStringLiteral("Map.baidu.html") : QStringLiteral("Map.html");
}

MapHost MapHostFor(const MapSource& source) {
    QString url = source.url;
    url.replace(QLatin1String("{s}"), QLatin1String("a"));
    const QUrl parsed(url);
    MapHost h;
    h.host = parsed.host();
    h.port = static_cast<quint16>(parsed.port(parsed.scheme() == QLatin1String("http") ? 80 : 443));
    return h;
}

QString MapUserAgent(const QString& browserAgent) {
    return browserAgent + QStringLiteral(" Quillent/1.0 (dashboard camera viewer)");
}

QString MapSourceName(const MapSource& source) {
    const QString host = MapHostFor(source).host;
    if (host.contains(QLatin1String("openstreetmap")))
        return QStringLiteral("OpenStreetMap");
    return host.isEmpty() ? QStringLiteral("online map") : host;
}

QStringList StoredMapFiles() {
    QStringList files;
    for (const QString& line : QString::fromStdString(ReadSetting("mapFiles")).split(QLatin1Char('\n')))
        if (!line.trimmed().isEmpty())
            files << line.trimmed();
    return files;
}

void StoreMapFiles(const QStringList& paths) {
    WriteSetting("mapFiles", paths.join(QLatin1Char('\n')).toStdString());
}

qint64 MapCacheBytes() {
    bool ok = false;
    const qint64 mb = QString::fromStdString(ReadSetting("mapCacheSize")).toLongLong(&ok);
    return (ok && mb >= 0 ? std::min<qint64>(mb, 100000) : 200) * 1024 * 1024;
}

QString MapCacheFolder() {
    const std::string stored = ReadSetting("mapCacheFolder");
    if (!stored.empty())
        return QString::fromStdString(stored);
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/Quillent/map-tiles");
}
