// Map tiles: MBTiles files of both row orders and every kind of bad one, the order of the sources
// and the fall back from one to the next, the disk cache of online tiles (bound, cache headers,
// offline use, failing and slow servers, a full disk), keeping a route for offline use within a
// cap, and the cache saved as an MBTiles file that reads back.
#include "core/maps/MapTileService.h"
#include "core/maps/MbTilesFile.h"
#include "core/maps/MbTilesWriter.h"
#include "core/maps/TileCacheExport.h"
#include "core/maps/TileDiskCache.h"
#include "core/maps/TilePrefetch.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QEventLoop>
#include <QFile>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QVariant>

#include <gtest/gtest.h>

#include <functional>
#include <map>

namespace {

void ensureApp() {
    if (QCoreApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "map-tiles-test";
    static char* argv[] = {name, nullptr};
    new QCoreApplication(argc, argv);
}

bool waitUntil(const std::function<bool()>& done, int limitMs = 15000) {
    QEventLoop loop;
    QTimer poll, limit;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    poll.start(5);
    limit.start(limitMs);
    if (!done())
        loop.exec();
    return done();
}

// Bytes that pass for a PNG tile: the signature and a label saying which tile they are.
QByteArray pngBytes(const QByteArray& label, int size = 0) {
    QByteArray b = QByteArray("\x89PNG\r\n\x1a\n", 8) + label;
    if (size > b.size())
        b.append(QByteArray(size - b.size(), '.'));
    return b;
}

struct Row {
    int z, column, row;
    QByteArray data;
};

// Writes an SQLite file with the given metadata and rows as they are (no row flipping).
void writeDatabase(const QString& path, const std::map<QString, QString>& metadata, const std::vector<Row>& rows,
                   bool withMetadata = true, bool withTiles = true) {
    const QString name = QStringLiteral("maker-") + path;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        if (withMetadata) {
            ASSERT_TRUE(q.exec("CREATE TABLE metadata (name TEXT, value TEXT)"));
            for (const auto& [k, v] : metadata) {
                q.prepare("INSERT INTO metadata VALUES (?, ?)");
                q.addBindValue(k);
                q.addBindValue(v);
                ASSERT_TRUE(q.exec());
            }
        }
        if (withTiles) {
            ASSERT_TRUE(q.exec("CREATE TABLE tiles (zoom_level INTEGER, tile_column INTEGER, tile_row INTEGER, "
                               "tile_data BLOB)"));
            for (const Row& r : rows) {
                q.prepare("INSERT INTO tiles VALUES (?, ?, ?, ?)");
                q.addBindValue(r.z);
                q.addBindValue(r.column);
                q.addBindValue(r.row);
                q.addBindValue(r.data);
                ASSERT_TRUE(q.exec());
            }
        } else {
            ASSERT_TRUE(q.exec("CREATE TABLE other (a INTEGER)"));
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

// Answers "/<z>/<x>/<y>.png" with a tile of `tileBytes` bytes kept for a day; "/err/..." with 500,
// "/hang/..." never. Counts the requests.
class TileServer : public QObject {
public:
    int tileBytes = 1000;
    QString cacheControl = QStringLiteral("max-age=86400");
    QStringList paths;
    QList<QByteArray> agents;

    TileServer() {
        m_server.listen(QHostAddress::LocalHost, 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = m_server.nextPendingConnection()) {
                connect(s, &QTcpSocket::readyRead, this, [this, s] { serve(s); });
                connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            }
        });
    }
    QString url(const QString& prefix = {}) const {
        return QStringLiteral("http://127.0.0.1:%1%2/{z}/{x}/{y}.png").arg(m_server.serverPort()).arg(prefix);
    }

private:
    void serve(QTcpSocket* s) {
        m_in[s] += s->readAll();
        if (!m_in[s].contains("\r\n\r\n"))
            return;
        const QList<QByteArray> lines = m_in[s].split('\n');
        m_in.remove(s);
        const QString path = QString::fromLatin1(lines.value(0).split(' ').value(1));
        paths << path;
        for (const QByteArray& l : lines)
            if (l.toLower().startsWith("user-agent:"))
                agents << l.mid(11).trimmed();
        if (path.startsWith(QLatin1String("/hang/")))
            return;
        QByteArray head, body;
        if (path.startsWith(QLatin1String("/err/"))) {
            body = "broken";
            head = "HTTP/1.1 500 Internal Server Error\r\n";
        } else {
            body = pngBytes(path.toLatin1(), tileBytes);
            head = "HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nCache-Control: " + cacheControl.toLatin1() + "\r\n";
        }
        s->write(head + "Content-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
        s->disconnectFromHost();
    }
    QTcpServer m_server;
    QHash<QTcpSocket*, QByteArray> m_in;
};

// The messages `service` sends, as they come.
const QStringList& collectMessages(MapTileService& service) {
    auto* list = new QStringList;
    QObject::connect(&service, &MapTileService::message, &service, [list](const QString& m) { *list << m; });
    QObject::connect(&service, &QObject::destroyed, [list] { delete list; });
    return *list;
}

TileAnswer fetchNow(MapTileService& service, int kind, int z, int x, int y) {
    TileAnswer answer;
    bool done = false;
    QObject context;
    service.fetch(kind, z, x, y, &context, [&](const TileAnswer& a) {
        answer = a;
        done = true;
    });
    EXPECT_TRUE(waitUntil([&] { return done; }));
    return answer;
}

qint64 folderBytes(const QString& folder) {
    qint64 total = 0;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        total += it.fileInfo().size();
    }
    return total;
}

class MapTiles : public ::testing::Test {
protected:
    void SetUp() override {
        ensureApp();
        ASSERT_TRUE(m_dir.isValid());
    }
    QString path(const QString& name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

} // namespace

// Both row orders read back the tile asked for; zooms and bounds come from the metadata or,
// without them, from the tiles; the unstated order is found at the file's centre.
TEST_F(MapTiles, RowOrdersZoomsAndBounds) {
    // Tile 10/873/396 (Seoul) and its row counted from the bottom.
    const int z = 10, x = 873, y = 396, flipped = (1 << z) - 1 - y;
    struct Case {
        const char* name;
        std::map<QString, QString> metadata;
        int storedRow;
        bool topDown;
    };
    const std::map<QString, QString> seoul{{"bounds", "126.9,37.5,127.1,37.6"}, {"format", "png"}};
    auto with = [&](std::map<QString, QString> m, const char* k, const char* v) {
        m[k] = v;
        return m;
    };
    const Case cases[] = {
        {"bottom-up, stated", with(seoul, "scheme", "tms"), flipped, false},
        {"bottom-up, unstated", seoul, flipped, false},
        {"top-down, stated", with(seoul, "scheme", "xyz"), y, true},
        {"top-down, unstated (found at the centre)", seoul, y, true},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = path(QStringLiteral("order%1.mbtiles").arg(n++));
        writeDatabase(file, c.metadata, {{z, x, c.storedRow, pngBytes("seoul")}});
        MbTilesFile f(file);
        ASSERT_TRUE(f.open()) << f.error().toStdString();
        EXPECT_EQ(f.topDownRows(), c.topDown);
        EXPECT_EQ(f.minZoom(), z); // no zooms stated: those of the tiles
        EXPECT_EQ(f.maxZoom(), z);
        EXPECT_TRUE(f.covers(z, x, y));
        EXPECT_FALSE(f.covers(z, 10, 10)); // outside the bounds
        EXPECT_FALSE(f.covers(z + 1, 2 * x, 2 * y));
        QByteArray bytes;
        ASSERT_EQ(f.tile(z, x, y, &bytes), MbTilesFile::Read::Found);
        EXPECT_TRUE(bytes.endsWith("seoul"));
        EXPECT_EQ(MbTilesFile::imageType(bytes), "image/png");
        EXPECT_EQ(f.tile(z, x, flipped, &bytes), MbTilesFile::Read::Missing);
    }

    // Stated zooms, name and attribution; the writer's files (bottom-up) read back.
    const QString written = path("written.mbtiles");
    MbTilesWriter w(written);
    ASSERT_TRUE(w.begin({{"name", "Written"}, {"minzoom", "3"}, {"maxzoom", "12"}, {"attribution", "drawn"},
                         {"format", "png"}}));
    ASSERT_TRUE(w.addTile(z, x, y, pngBytes("written")));
    ASSERT_TRUE(w.commit()) << w.error().toStdString();
    MbTilesFile f(written);
    ASSERT_TRUE(f.open()) << f.error().toStdString();
    EXPECT_EQ(f.name(), "Written");
    EXPECT_EQ(f.attribution(), "drawn");
    EXPECT_EQ(f.minZoom(), 3);
    EXPECT_EQ(f.maxZoom(), 12);
    EXPECT_FALSE(f.topDownRows());
    QByteArray bytes;
    ASSERT_EQ(f.tile(z, x, y, &bytes), MbTilesFile::Read::Found);
    EXPECT_TRUE(bytes.endsWith("written"));
}

// Every bad file says what is wrong with it, and the service goes on to the next source.
TEST_F(MapTiles, BadFilesAreNamedAndTheNextSourceServes) {
    const QString good = path("good.mbtiles");
    writeDatabase(good, {{"name", "Good"}, {"scheme", "xyz"}}, {{2, 1, 1, pngBytes("good")}});
    QFile text(path("notes.mbtiles"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("these are my notes, not a map\n");
    text.close();
    writeDatabase(path("nometa.mbtiles"), {}, {{2, 1, 1, pngBytes("x")}}, false, true);
    writeDatabase(path("notiles.mbtiles"), {{"name", "n"}}, {}, true, false);
    writeDatabase(path("vector.mbtiles"), {{"format", "pbf"}}, {{2, 1, 1, "\x1f\x8b"}});
    writeDatabase(path("empty.mbtiles"), {{"name", "e"}}, {});
    writeDatabase(path("locked.mbtiles"), {{"name", "l"}}, {{2, 1, 1, pngBytes("l")}});

    // Another program writing the file holds it locked.
    {
        QSqlDatabase holder = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("holder"));
        holder.setDatabaseName(path("locked.mbtiles"));
        ASSERT_TRUE(holder.open());
        QSqlQuery q(holder);
        ASSERT_TRUE(q.exec("BEGIN EXCLUSIVE"));
        ASSERT_TRUE(q.exec("INSERT INTO metadata VALUES ('x', 'y')"));

        struct Case {
            const char* file;
            const char* says;
        };
        const Case cases[] = {
            {"missing.mbtiles", "cannot be found"},
            {"notes.mbtiles", "no SQLite database"},
            {"nometa.mbtiles", "has no metadata"},
            {"notiles.mbtiles", "has no tiles"},
            {"vector.mbtiles", "vector tiles"},
            {"empty.mbtiles", "holds no tiles"},
            {"locked.mbtiles", "locked by another program"},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.file);
            MbTilesFile f(path(c.file));
            EXPECT_FALSE(f.open());
            EXPECT_TRUE(f.error().contains(QLatin1String(c.says))) << f.error().toStdString();
        }

        // The service names each bad file once and serves from the good one behind them.
        MapTileService service;
        const QStringList& messages = collectMessages(service);
        QStringList files;
        for (const Case& c : cases)
            files << path(c.file);
        files << good;
        service.setFiles(files);
        EXPECT_EQ(messages.size(), int(std::size(cases)));
        ASSERT_EQ(service.files().size(), 1u);
        const TileAnswer a = fetchNow(service, 1, 2, 1, 1);
        EXPECT_TRUE(a.bytes.endsWith("good"));
        EXPECT_EQ(a.source, "Good");
        EXPECT_TRUE(a.offline);
        q.exec("ROLLBACK");
        holder.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("holder"));

    // Two good files: the first that has the tile serves it; a file that disappears while in use
    // is named and the next one takes over; with no source left the answer is empty.
    const QString first = path("first.mbtiles");
    writeDatabase(first, {{"name", "First"}, {"scheme", "xyz"}}, {{2, 1, 1, pngBytes("first")}});
    MapTileService service;
    const QStringList& messages = collectMessages(service);
    service.setFiles({first, good});
    EXPECT_EQ(fetchNow(service, 1, 2, 1, 1).source, "First");
    EXPECT_EQ(fetchNow(service, 2, 2, 1, 1).source, ""); // the files are for the world map only
    ASSERT_TRUE(QFile::remove(first));
    EXPECT_EQ(fetchNow(service, 1, 2, 1, 1).source, "Good");
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("has disappeared"));
    EXPECT_TRUE(fetchNow(service, 1, 2, 0, 0).bytes.isEmpty());
}

// The online tiles go through the disk cache: kept as the server's headers say, shown offline
// once seen, never more than the bound; a failing or slow server is named and what was kept is
// shown; a full disk stops the keeping, not the map.
TEST_F(MapTiles, OnlineTilesThroughABoundedCache) {
    TileServer server;
    server.tileBytes = 20000;
    MapTileService service;
    const QStringList& messages = collectMessages(service);
    service.setOnlineSource(1, server.url(), "Test server");
    service.setUserAgent("Quillent/1.0 (test)");
    const qint64 bound = 256 * 1024;
    service.setCache(path("cache"), bound);

    // Fetched once from the server, then from the cache (fresh for a day) without asking again.
    TileAnswer a = fetchNow(service, 1, 5, 10, 12);
    EXPECT_TRUE(a.bytes.contains("/5/10/12.png"));
    EXPECT_FALSE(a.offline);
    EXPECT_EQ(server.agents.value(0), "Quillent/1.0 (test)");
    a = fetchNow(service, 1, 5, 10, 12);
    EXPECT_TRUE(a.offline);
    EXPECT_EQ(server.paths.size(), 1);
    EXPECT_TRUE(service.isCachedFresh(1, 5, 10, 12));

    // Offline: a place seen once shows, one never seen does not, and the server is not asked.
    service.setReachable(false);
    EXPECT_TRUE(fetchNow(service, 1, 5, 10, 12).bytes.contains("/5/10/12.png"));
    EXPECT_TRUE(fetchNow(service, 1, 5, 11, 12).bytes.isEmpty());
    EXPECT_EQ(server.paths.size(), 1);
    service.setReachable(true);

    // Many tiles: the cache stays within its bound after every one.
    for (int i = 0; i < 40; ++i) {
        ASSERT_FALSE(fetchNow(service, 1, 8, i, 3).bytes.isEmpty());
        EXPECT_LE(service.cache()->cacheSize(), bound) << "after tile " << i;
    }
    EXPECT_LE(folderBytes(path("cache")), bound + 64 * 1024); // the files on disk too
    EXPECT_TRUE(fetchNow(service, 1, 8, 39, 3).offline);      // the newest is still there

    // A server that answers "no-store" is not kept.
    server.cacheControl = QStringLiteral("no-store");
    fetchNow(service, 1, 9, 1, 1);
    EXPECT_FALSE(service.isCachedFresh(1, 9, 1, 1));
    server.cacheControl = QStringLiteral("max-age=86400");

    // Errors and silence: each named once; what was kept earlier is shown, nothing else.
    service.setOnlineSource(1, server.url("/err"), "Test server");
    EXPECT_TRUE(fetchNow(service, 1, 3, 1, 1).bytes.isEmpty());
    EXPECT_TRUE(fetchNow(service, 1, 3, 1, 2).bytes.isEmpty());
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages.last().contains("answers with an error")) << messages.last().toStdString();
    service.setTimeoutMs(300);
    service.setOnlineSource(1, server.url("/hang"), "Test server");
    QElapsedTimer took;
    took.start();
    EXPECT_TRUE(fetchNow(service, 1, 3, 1, 1).bytes.isEmpty());
    EXPECT_LT(took.elapsed(), 5000);
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages.last().contains("does not answer in time"));

    // A full disk: tiles are shown but no longer kept, and that is said once.
    service.setOnlineSource(1, server.url(), "Test server");
    service.cache()->setFreeSpaceProbe([] { return qint64(1024); });
    EXPECT_FALSE(fetchNow(service, 1, 6, 1, 1).bytes.isEmpty());
    EXPECT_FALSE(fetchNow(service, 1, 6, 1, 2).bytes.isEmpty());
    EXPECT_FALSE(service.isCachedFresh(1, 6, 1, 1));
    ASSERT_EQ(messages.size(), 3);
    EXPECT_TRUE(messages.last().contains("is full"));
}

// Keeping a route: the tiles along it at the zooms asked, at most the cap, each once, with a
// pause between server requests; the kept tiles saved as an MBTiles file read back.
TEST_F(MapTiles, KeepingARouteAndSavingTheCache) {
    const std::vector<std::pair<double, double>> route{{37.560, 126.975}, {37.570, 126.977}, {37.571, 127.010}};
    const auto all = TilePrefetch::tilesAlong(route, 12, 15, 100000);
    ASSERT_FALSE(all.empty());
    // Every sample's tile at every zoom is there, with its neighbours.
    for (int z = 12; z <= 15; ++z)
        for (const auto& [lat, lon] : route)
            for (int d : {-1, 0, 1}) {
                const TileNumber t{z, TileColumn(lon, z) + d, TileRow(lat, z) - d};
                EXPECT_NE(std::find(all.begin(), all.end(), t), all.end()) << z;
            }
    const auto capped = TilePrefetch::tilesAlong(route, 12, 15, 10);
    ASSERT_EQ(capped.size(), 10u);
    EXPECT_EQ(capped.front().z, 12); // the wide views first

    TileServer server;
    MapTileService service;
    service.setOnlineSource(1, server.url(), "Test server");
    service.setCache(path("cache"), 50 * 1024 * 1024);
    // A map file must not stop the keeping of online tiles.
    writeDatabase(path("file.mbtiles"), {{"name", "File"}}, {{12, capped[0].x, (1 << 12) - 1 - capped[0].y, pngBytes("f")}});
    service.setFiles({path("file.mbtiles")});
    TilePrefetch keep(service, 1);
    keep.setPauseMs(20);
    std::vector<std::pair<int, int>> finished, progress;
    QObject::connect(&keep, &TilePrefetch::finished, [&](int kept, int failed, bool) { finished.push_back({kept, failed}); });
    QObject::connect(&keep, &TilePrefetch::progress, [&](int done, int total) { progress.push_back({done, total}); });
    QElapsedTimer took;
    took.start();
    keep.start(capped);
    ASSERT_TRUE(waitUntil([&] { return finished.size() == 1; }, 20000));
    EXPECT_GE(took.elapsed(), 9 * 20);
    EXPECT_EQ(finished[0].first, 10);
    EXPECT_EQ(finished[0].second, 0);
    EXPECT_EQ(server.paths.size(), 10);
    EXPECT_EQ(progress.back().first, 10);
    // Again: everything is fresh in the cache, the server is not asked.
    keep.start(capped);
    ASSERT_TRUE(waitUntil([&] { return finished.size() == 2; }, 20000));
    EXPECT_EQ(server.paths.size(), 10);

    // The cache as an MBTiles file: every kept tile at its place.
    const QString saved = path("kept.mbtiles");
    const TileCacheExportResult r = SaveCachedTiles(*service.cache(), {server.url()}, saved, "Kept", "test");
    ASSERT_TRUE(r.error.isEmpty()) << r.error.toStdString();
    EXPECT_EQ(r.tiles, 10);
    MbTilesFile f(saved);
    ASSERT_TRUE(f.open()) << f.error().toStdString();
    EXPECT_EQ(f.minZoom(), capped.front().z);
    for (const TileNumber& t : capped) {
        QByteArray bytes;
        ASSERT_EQ(f.tile(t.z, t.x, t.y, &bytes), MbTilesFile::Read::Found);
        EXPECT_TRUE(bytes.contains(QStringLiteral("/%1/%2/%3.png").arg(t.z).arg(t.x).arg(t.y).toLatin1()));
        EXPECT_TRUE(f.covers(t.z, t.x, t.y));
    }
    // A target in a folder that does not exist: an error, nothing written.
    EXPECT_FALSE(SaveCachedTiles(*service.cache(), {server.url()}, path("no/such/kept.mbtiles"), "K", "").error.isEmpty());
}
