#include "core/maps/MapTileService.h"

#include "core/maps/TileDiskCache.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSet>
#include <QUrl>

#include <algorithm>

MapTileService::MapTileService(QObject* parent) : QObject(parent) {
    m_network = new QNetworkAccessManager(this);
}

MapTileService::~MapTileService() = default;

MapTileService& MapTileService::instance() {
    static MapTileService* service = new MapTileService; // lives as long as the program
    return *service;
}

void MapTileService::report(const QString& text) {
    if (m_reported.contains(text))
        return;
    m_reported.insert(text);
    qInfo().noquote() << "map:" << text;
    emit message(text);
}

void MapTileService::setFiles(const QStringList& paths) {
    std::vector<std::unique_ptr<MbTilesFile>> kept;
    for (const QString& p : paths) {
        if (p.trimmed().isEmpty())
            continue;
        auto same = std::find_if(m_files.begin(), m_files.end(),
                                 [&](const std::unique_ptr<MbTilesFile>& f) { return f && f->path() == p; });
        if (same != m_files.end() && (*same)->isOpen()) {
            kept.push_back(std::move(*same));
            continue;
        }
        auto file = std::make_unique<MbTilesFile>(p);
        if (!file->open()) {
            report(file->error());
            continue;
        }
        kept.push_back(std::move(file));
    }
    m_files = std::move(kept);
    m_filePaths = paths;
    ++m_generation;
    // A file set again is tried again, and a failure of it reported again.
    m_reported.clear();
}

void MapTileService::setOnlineSource(int kind, const QString& urlTemplate, const QString& name) {
    if (m_online.value(kind).url != urlTemplate)
        ++m_generation;
    m_online[kind] = Online{urlTemplate, name};
}

void MapTileService::setReachable(bool reachable) {
    if (reachable != m_reachable)
        m_reported.clear();
    m_reachable = reachable;
}

void MapTileService::setCache(const QString& folder, qint64 maxBytes) {
    if (folder.isEmpty()) {
        m_network->setCache(nullptr); // deletes the old one
        m_cache = nullptr;
        return;
    }
    if (!m_cache || m_cache->cacheDirectory() != QDir(folder).absolutePath() + QLatin1Char('/')) {
        QDir().mkpath(folder);
        m_cache = new TileDiskCache;
        m_cache->setCacheDirectory(folder);
        connect(m_cache, &TileDiskCache::diskFull, this, &MapTileService::report);
        m_network->setCache(m_cache); // takes it, deletes the old one
    }
    m_cache->setBound(maxBytes);
}

int MapTileService::minZoom(int kind) const {
    int least = m_online.value(kind).url.isEmpty() ? 24 : 0;
    if (kind == 1)
        for (const auto& f : m_files)
            least = std::min(least, f->minZoom());
    return least == 24 ? 0 : least;
}

int MapTileService::maxZoom(int kind) const {
    int most = m_online.value(kind).url.isEmpty() ? 0 : 19;
    if (kind == 1)
        for (const auto& f : m_files)
            most = std::max(most, f->maxZoom());
    return most == 0 ? 18 : most;
}

QString MapTileService::onlineUrl(int kind, int z, int x, int y) const {
    QString url = m_online.value(kind).url;
    if (url.isEmpty())
        return {};
    static const char kSubdomains[] = {'a', 'b', 'c'};
    url.replace(QLatin1String("{z}"), QString::number(z));
    url.replace(QLatin1String("{x}"), QString::number(x));
    url.replace(QLatin1String("{y}"), QString::number(y));
    url.replace(QLatin1String("{s}"), QString(QLatin1Char(kSubdomains[(x + y) % 3])));
    return url;
}

bool MapTileService::isCachedFresh(int kind, int z, int x, int y) const {
    if (!m_cache)
        return false;
    const QNetworkCacheMetaData meta = m_cache->metaData(QUrl(onlineUrl(kind, z, x, y)));
    return meta.isValid() && meta.expirationDate().isValid() &&
           meta.expirationDate() > QDateTime::currentDateTimeUtc();
}

void MapTileService::fetch(int kind, int z, int x, int y, QObject* context, Done done, Sources sources) {
    if (kind == 1 && sources == Sources::All) {
        for (size_t i = 0; i < m_files.size(); ++i) {
            MbTilesFile& file = *m_files[i];
            if (!file.covers(z, x, y))
                continue;
            QByteArray bytes;
            const MbTilesFile::Read r = file.tile(z, x, y, &bytes);
            if (r == MbTilesFile::Read::Found) {
                TileAnswer a{bytes, MbTilesFile::imageType(bytes), file.name(), true};
                if (a.type.isEmpty())
                    a.type = QStringLiteral("image/png");
                emit tileServed(kind, a.source, true);
                done(a);
                return;
            }
            if (r == MbTilesFile::Read::Failed) {
                // Locked, gone or broken: said once, and the next source takes over.
                report(file.error());
                if (!file.isOpen()) {
                    m_files.erase(m_files.begin() + long(i));
                    --i;
                }
            }
        }
    }
    const QString url = onlineUrl(kind, z, x, y);
    if (url.isEmpty()) {
        done(TileAnswer{});
        return;
    }
    fetchOnline(kind, url, !m_reachable, QPointer<QObject>(context), std::move(done), m_reachable);
}

void MapTileService::fetchOnline(int kind, const QString& url, bool cacheOnly, QPointer<QObject> context,
                                 Done done, bool askedServer) {
    QNetworkRequest request{QUrl(url)};
    request.setHeader(QNetworkRequest::UserAgentHeader, m_userAgent);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         cacheOnly ? QNetworkRequest::AlwaysCache : QNetworkRequest::PreferNetwork);
    request.setTransferTimeout(m_timeoutMs);
    QNetworkReply* reply = m_network->get(request);
    connect(reply, &QNetworkReply::finished, this, [=, this] {
        reply->deleteLater();
        if (!context)
            return;
        const bool fromCache = reply->attribute(QNetworkRequest::SourceIsFromCacheAttribute).toBool();
        const QByteArray bytes = reply->error() == QNetworkReply::NoError ? reply->readAll() : QByteArray();
        const QString type = MbTilesFile::imageType(bytes);
        if (!bytes.isEmpty() && !type.isEmpty()) {
            const QString name = m_online.value(kind).name;
            emit tileServed(kind, name, fromCache);
            done(TileAnswer{bytes, type, name, fromCache});
            return;
        }
        if (!cacheOnly) {
            const QString host = QUrl(url).host();
            if (reply->error() == QNetworkReply::OperationCanceledError ||
                reply->error() == QNetworkReply::TimeoutError)
                report(QStringLiteral("The tile server %1 does not answer in time: the map shows what it has kept.")
                           .arg(host));
            else if (reply->error() != QNetworkReply::NoError) {
                // The same words for every tile, so the failure is said once.
                const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
                const QString why =
                    status.isValid()
                        ? QStringLiteral("HTTP %1 %2").arg(status.toInt()).arg(
                              reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString())
                        : reply->errorString();
                report(QStringLiteral("The tile server %1 answers with an error (%2): the map shows what it has "
                                      "kept.")
                           .arg(host, why.trimmed()));
            }
            else
                report(QStringLiteral("The tile server %1 sends no pictures: the map shows what it has kept.")
                           .arg(host));
            // An expired tile kept earlier is better than none.
            fetchOnline(kind, url, true, context, done, askedServer);
            return;
        }
        done(TileAnswer{});
    });
}
