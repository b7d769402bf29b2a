#include "ui/map/MapTileScheme.h"

#include "core/maps/MapTileService.h"
#include "ui/map/MapSource.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>

#include <algorithm>

namespace {
// The web engine learns its schemes before it starts: this runs when the program loads.
void registerScheme() {
    QWebEngineUrlScheme scheme(kMapTileScheme);
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    // Local: the skin pages (files) may load it whether or not they may reach the network, and
    // no page from the network may.
    scheme.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::LocalScheme |
                    QWebEngineUrlScheme::CorsEnabled | QWebEngineUrlScheme::ContentSecurityPolicyIgnored);
    QWebEngineUrlScheme::registerScheme(scheme);
}
Q_CONSTRUCTOR_FUNCTION(registerScheme)

QStringList g_cardFiles;
} // namespace

QString MapTileTemplate(int kind) {
    return QStringLiteral("%1:/%2/{z}/{x}/{y}?g=%3")
        .arg(QLatin1String(kMapTileScheme))
        .arg(kind == 2 ? 2 : 1)
        .arg(MapTileService::instance().generation());
}

QStringList MapTileSourceArguments(int kind) {
    kind = kind == 2 ? 2 : 1;
    const MapSource s = MapSourceFor(kind);
    const MapTileService& tiles = MapTileService::instance();
    QStringList attributions;
    if (kind == 1)
        for (const auto& f : tiles.files())
            if (!f->attribution().isEmpty() && !attributions.contains(f->attribution()))
                attributions << f->attribution();
    attributions << s.attribution;
    const int most = std::max(s.maxZoom, tiles.maxZoom(kind));
    const int least = std::min(s.minZoom, tiles.minZoom(kind));
    return {MapTileTemplate(kind), attributions.join(QStringLiteral(" | ")), QString::number(least),
            QString::number(most), s.coords};
}

void SetCardMapFiles(const QStringList& paths) {
    g_cardFiles = paths;
}

QStringList MapFilesBeside(const QString& recording) {
    QStringList found;
    if (recording.isEmpty())
        return found;
    QDir folder = QFileInfo(recording).absoluteDir();
    for (int level = 0; level < 2; ++level) {
        for (const QFileInfo& f :
             folder.entryInfoList({QStringLiteral("*.mbtiles"), QStringLiteral("*.MBTILES")}, QDir::Files, QDir::Name))
            if (!found.contains(f.absoluteFilePath()))
                found << f.absoluteFilePath();
        if (!folder.cdUp())
            break;
    }
    return found;
}

void PrepareMapTiles() {
    MapTileService& service = MapTileService::instance();
    QStringList files = StoredMapFiles();
    for (const QString& f : g_cardFiles)
        if (!files.contains(f))
            files << f;
    if (files != service.filePaths())
        service.setFiles(files);
    for (int kind : {1, 2}) {
        const MapSource s = MapSourceFor(kind);
        service.setOnlineSource(kind, s.url, MapSourceName(s));
    }
    const qint64 cacheBytes = MapCacheBytes();
    service.setCache(cacheBytes > 0 ? MapCacheFolder() : QString(), cacheBytes);

    QWebEngineProfile* profile = QWebEngineProfile::defaultProfile();
    service.setUserAgent(MapUserAgent(QStringLiteral("Mozilla/5.0")));
    if (!profile->urlSchemeHandler(kMapTileScheme))
        profile->installUrlSchemeHandler(kMapTileScheme, new MapTileSchemeHandler(QCoreApplication::instance()));
}

void MapTileSchemeHandler::requestStarted(QWebEngineUrlRequestJob* job) {
    // "/<kind>/<z>/<x>/<y>"
    const QStringList parts = job->requestUrl().path().split(QLatin1Char('/'), Qt::SkipEmptyParts);
    bool ok[4] = {false, false, false, false};
    const int kind = parts.size() == 4 ? parts[0].toInt(&ok[0]) : 0;
    const int z = parts.size() == 4 ? parts[1].toInt(&ok[1]) : 0;
    const int x = parts.size() == 4 ? parts[2].toInt(&ok[2]) : 0;
    const int y = parts.size() == 4 ? parts[3].toInt(&ok[3]) : 0;
    if (!ok[0] || !ok[1] || !ok[2] || !ok[3] || z < 0 || z > 24 || x < 0 || y < 0 || x >= (1 << z) ||
        y >= (1 << z)) {
        job->fail(QWebEngineUrlRequestJob::UrlInvalid);
        return;
    }
    QPointer<QWebEngineUrlRequestJob> guard(job);
    MapTileService::instance().fetch(kind, z, x, y, job, [guard](const TileAnswer& answer) {
        if (!guard)
            return;
        if (answer.bytes.isEmpty()) {
            guard->fail(QWebEngineUrlRequestJob::UrlNotFound);
            return;
        }
        auto* buffer = new QBuffer(guard); // read by the engine until the job ends
        buffer->setData(answer.bytes);
        buffer->open(QIODevice::ReadOnly);
        guard->reply(answer.type.toLatin1(), buffer);
    });
}
