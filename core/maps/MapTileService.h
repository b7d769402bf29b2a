// Where the map pages' tiles come from: the user's MBTiles files in their order, then the online
// tile server through a bounded disk cache (offline: from the cache only). The first source that
// has a tile serves it; a file that fails (locked, gone, not a map) is reported once and left out
// until the sources are set again. One per program, on the UI thread: the web engine's tile
// requests (map panel, print report, every map page) and the offline keeping all go through it.
#pragma once

#include "core/maps/MbTilesFile.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class QNetworkAccessManager;
class QNetworkReply;
class TileDiskCache;

struct TileAnswer {
    QByteArray bytes; // empty: no source has the tile
    QString type;     // MIME type
    QString source;   // name of the source that served it
    bool offline = false; // served from a file or the cache without asking the server
};

class MapTileService : public QObject {
    Q_OBJECT
public:
    static constexpr int kDefaultTimeoutMs = 8000;  // a tile server slower than this counts as failing
    static constexpr qint64 kDefaultCacheMb = 200;

    explicit MapTileService(QObject* parent = nullptr);
    ~MapTileService() override;
    static MapTileService& instance();

    // The MBTiles files, first choice first (kind 1 only: the files are in WGS-84). Files already
    // open stay open; failures are reported through message().
    void setFiles(const QStringList& paths);
    QStringList filePaths() const { return m_filePaths; }
    // The files in use, opened (failed ones left out).
    const std::vector<std::unique_ptr<MbTilesFile>>& files() const { return m_files; }
    // The online source of a map kind: URL template ({z}, {x}, {y}, optionally {s}) and its name.
    void setOnlineSource(int kind, const QString& urlTemplate, const QString& name);
    QString onlineTemplate(int kind) const { return m_online.value(kind).url; }
    void setUserAgent(const QString& agent) { m_userAgent = agent.toUtf8(); }
    // The connection check's verdict; while unreachable the server is not asked (cache only).
    void setReachable(bool reachable);
    bool isReachable() const { return m_reachable; }
    void setTimeoutMs(int ms) { m_timeoutMs = ms; }
    // The disk cache's folder and bound; an empty folder turns the cache off.
    void setCache(const QString& folder, qint64 maxBytes);
    TileDiskCache* cache() const { return m_cache; }

    // Counts the changes of the sources: part of the pages' tile URLs, so that the web engine's
    // own cache never shows the tiles of a source that was replaced.
    int generation() const { return m_generation; }

    // Zoom range the sources of `kind` cover together (the online source: 0..19).
    int minZoom(int kind) const;
    int maxZoom(int kind) const;

    // Tile z/x/y (y from the top) of map kind `kind`; `done` runs once, on this thread, unless
    // `context` is destroyed first. Files answer before this returns.
    // OnlineOnly passes the files by (keeping tiles of the online source).
    using Done = std::function<void(const TileAnswer&)>;
    enum class Sources { All, OnlineOnly };
    void fetch(int kind, int z, int x, int y, QObject* context, Done done, Sources sources = Sources::All);
    // The online URL of a tile, or empty without an online source.
    QString onlineUrl(int kind, int z, int x, int y) const;
    // True when the cache holds a tile of the online source that is still fresh.
    bool isCachedFresh(int kind, int z, int x, int y) const;

signals:
    void message(const QString& text);          // a source failed (each failure once)
    void tileServed(int kind, const QString& source, bool offline);

private:
    struct Online {
        QString url;
        QString name;
    };
    void fetchOnline(int kind, const QString& url, bool cacheOnly, QPointer<QObject> context, Done done,
                     bool askedServer);
    void report(const QString& text);

    QStringList m_filePaths;
    std::vector<std::unique_ptr<MbTilesFile>> m_files;
    QHash<int, Online> m_online;
    QByteArray m_userAgent = "Quillent/1.0 (dashboard camera viewer)";
    bool m_reachable = true;
    int m_timeoutMs = kDefaultTimeoutMs;
    QNetworkAccessManager* m_network = nullptr;
    TileDiskCache* m_cache = nullptr;
    QSet<QString> m_reported;
    int m_generation = 0;
};
