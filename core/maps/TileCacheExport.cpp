#include "core/maps/TileCacheExport.h"

#include "core/maps/MbTilesFile.h"
#include "core/maps/MbTilesWriter.h"

#include <QDirIterator>
#include <QNetworkDiskCache>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {
// A template as a pattern whose groups are z, x and y in that order of the names.
struct TemplatePattern {
    QRegularExpression re;
    int zGroup = 0, xGroup = 0, yGroup = 0;
};

TemplatePattern patternOf(const QString& urlTemplate) {
    TemplatePattern p;
    QString re = QRegularExpression::escape(urlTemplate);
    int group = 0;
    // Each placeholder in the order it appears gets the next group number.
    QRegularExpression placeholder(QStringLiteral("\\\\\\{([zxys])\\\\\\}"));
    QString out;
    qsizetype last = 0;
    auto it = placeholder.globalMatch(re);
    while (it.hasNext()) {
        const auto m = it.next();
        out += re.mid(last, m.capturedStart() - last);
        const QString name = m.captured(1);
        if (name == QLatin1String("s")) {
            out += QStringLiteral("[^/.]+");
        } else {
            out += QStringLiteral("(\\d+)");
            ++group;
            (name == QLatin1String("z") ? p.zGroup : name == QLatin1String("x") ? p.xGroup : p.yGroup) = group;
        }
        last = m.capturedEnd();
    }
    out += re.mid(last);
    p.re.setPattern(QLatin1Char('^') + out + QLatin1Char('$'));
    return p;
}

double latitudeOfRow(double row, int z) {
    const double n = M_PI - 2.0 * M_PI * row / std::ldexp(1.0, z);
    return 180.0 / M_PI * std::atan(0.5 * (std::exp(n) - std::exp(-n)));
}
} // namespace

TileCacheExportResult SaveCachedTiles(QNetworkDiskCache& cache, const QStringList& urlTemplates,
                                      const QString& target, const QString& name, const QString& attribution) {
    TileCacheExportResult result;
    std::vector<TemplatePattern> patterns;
    for (const QString& t : urlTemplates)
        if (!t.isEmpty() && t.contains(QLatin1String("{z}")))
            patterns.push_back(patternOf(t));

    struct Found {
        int z, x, y;
        QString url;
    };
    std::vector<Found> found;
    QDirIterator files(cache.cacheDirectory(), {QStringLiteral("*.d")}, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString url = cache.fileMetaData(files.next()).url().toString();
        for (const TemplatePattern& p : patterns) {
            const auto m = p.re.match(url);
            if (m.hasMatch() && p.zGroup && p.xGroup && p.yGroup) {
                found.push_back({m.captured(p.zGroup).toInt(), m.captured(p.xGroup).toInt(),
                                 m.captured(p.yGroup).toInt(), url});
                break;
            }
        }
    }
    if (found.empty()) {
        result.error = QStringLiteral("The map cache holds no tiles to save.");
        return result;
    }
    int minZoom = 30, maxZoom = 0;
    for (const Found& f : found) {
        minZoom = std::min(minZoom, f.z);
        maxZoom = std::max(maxZoom, f.z);
    }
    // Bounds: what the tiles at the deepest zoom cover.
    double west = 180, east = -180, south = 90, north = -90;
    for (const Found& f : found) {
        if (f.z != maxZoom)
            continue;
        const double n = std::ldexp(1.0, f.z);
        west = std::min(west, f.x / n * 360.0 - 180.0);
        east = std::max(east, (f.x + 1) / n * 360.0 - 180.0);
        north = std::max(north, latitudeOfRow(f.y, f.z));
        south = std::min(south, latitudeOfRow(f.y + 1, f.z));
    }

    MbTilesWriter writer(target);
    QString format = QStringLiteral("png");
    QMap<QString, QString> metadata{
        {QStringLiteral("name"), name},
        {QStringLiteral("type"), QStringLiteral("baselayer")},
        {QStringLiteral("version"), QStringLiteral("1")},
        {QStringLiteral("description"), QStringLiteral("Map tiles kept by Quillent")},
        {QStringLiteral("minzoom"), QString::number(minZoom)},
        {QStringLiteral("maxzoom"), QString::number(maxZoom)},
        {QStringLiteral("bounds"), QStringLiteral("%1,%2,%3,%4").arg(west, 0, 'f', 6).arg(south, 0, 'f', 6)
                                       .arg(east, 0, 'f', 6).arg(north, 0, 'f', 6)},
        {QStringLiteral("attribution"), attribution},
    };
    bool formatSet = false;
    for (const Found& f : found) {
        std::unique_ptr<QIODevice> data(cache.data(QUrl(f.url)));
        if (!data)
            continue;
        const QByteArray bytes = data->readAll();
        const QString type = MbTilesFile::imageType(bytes);
        if (type.isEmpty())
            continue;
        if (!formatSet) {
            formatSet = true;
            format = type == QLatin1String("image/jpeg") ? QStringLiteral("jpg") : type.mid(6);
            metadata.insert(QStringLiteral("format"), format);
            if (!writer.begin(metadata)) {
                result.error = writer.error();
                return result;
            }
        }
        if (!writer.addTile(f.z, f.x, f.y, bytes)) {
            result.error = writer.error();
            return result;
        }
    }
    if (!formatSet) {
        result.error = QStringLiteral("The map cache holds no tiles to save.");
        return result;
    }
    if (!writer.commit()) {
        result.error = writer.error();
        return result;
    }
    result.tiles = writer.tileCount();
    return result;
}
