// The map panel and its pages in the real web engine, headless: a tile server on 127.0.0.1 that
// this test starts serves generated tiles; the route, the marker, the travelled path, the tile
// requests, the GCJ-02 shift of the map of mainland China, the offline base layer and a click
// on the route arriving as a seek.
#include "WindowTestApp.h"

#include "core/maps/MbTilesWriter.h"
#include "ui/page/BrowserHost.h"
#include "ui/dialogs/MapSettingsDialog.h"
#include "ui/map/MapPanel.h"
#include "ui/map/ConnectivityMonitor.h"
#include "ui/map/MapSource.h"
#include "ui/playback/PlaybackSession.h"

#include <QBuffer>
#include <QEventLoop>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QSpinBox>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Answers every GET with a 256 x 256 PNG and remembers the paths asked for.
class TileServer : public QObject {
public:
    TileServer() {
        QImage tile(256, 256, QImage::Format_RGB32);
        tile.fill(QColor(120, 200, 120));
        QBuffer buffer(&m_png);
        buffer.open(QIODevice::WriteOnly);
        tile.save(&buffer, "PNG");
        QObject::connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = m_server.nextPendingConnection()) {
                QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] {
                    const QByteArray request = s->readAll();
                    const QList<QByteArray> words = request.split(' ');
                    if (words.size() > 1 && words[0] == "GET")
                        paths.push_back(QString::fromLatin1(words[1]));
                    s->write(
                        "HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nAccess-Control-Allow-Origin: *\r\n"
                        "Connection: close\r\nContent-Length: " +
                        QByteArray::number(m_png.size()) + "\r\n\r\n" + m_png);
                    s->disconnectFromHost();
                });
                QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            }
        });
    }
    bool listen(quint16 port = 0) { return m_server.listen(QHostAddress::LocalHost, port); }
    void close() { m_server.close(); }
    quint16 port() const { return m_server.serverPort(); }
    QStringList paths;

private:
    QTcpServer m_server;
    QByteArray m_png;
};

QJsonObject state(MapPanel& map) {
    return QJsonDocument::fromJson(runScript(map.view()->page(), "mapState()").toString().toUtf8()).object();
}

// Waits until `check` holds for the page state, up to 15 s.
template <class Check> bool waitForState(MapPanel& map, Check check) {
    for (int i = 0; i < 150; ++i) {
        if (check(state(map)))
            return true;
        QTest::qWait(100);
    }
    return false;
}

// NMEA ddmm.mmmm of decimal degrees.
double nmea(double degrees) {
    const double d = std::trunc(degrees);
    return d * 100 + (degrees - d) * 60;
}

RecordingData route(double lat, double lon, int samples) {
    RecordingData data;
    for (int i = 0; i < samples; ++i) {
        CGpsData s;
        s.valid = 1;
        s.latitude = nmea(lat + i * 0.001);
        s.longitude = nmea(lon + i * 0.001);
        s.speed = 30;
        s.year = 24;
        s.month = 5;
        s.day = 6;
        s.hour = 12;
        s.minute = 0;
        s.second = i;
        data.gps.push_back(s);
    }
    return data;
}

class MapPanelTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        windowTestApp(QUILLENT_BUILT_SKIN, nullptr);
        // Kept tiles go to a private folder, never the user's.
        static QTemporaryDir cache;
        WriteSetting("mapCacheFolder", cache.path().toStdString());
    }
};

QByteArray solidPng(const QColor& colour) {
    QImage tile(256, 256, QImage::Format_RGB32);
    tile.fill(colour);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    tile.save(&buffer, "PNG");
    return png;
}

int tileColumn(double lon, int z) {
    return static_cast<int>((lon + 180) / 360 * std::pow(2.0, z));
}
int tileRow(double lat, int z) {
    const double r = lat * M_PI / 180;
    return static_cast<int>((1 - std::log(std::tan(r) + 1 / std::cos(r)) / M_PI) / 2 * std::pow(2.0, z));
}

// An MBTiles file around (lat, lon) at zooms 13..18 in one colour, its rows in the given order;
// the row a reader of the other order would take holds green, so a wrong order shows.
void writeColouredMap(const QString& path, const QString& name, const QColor& colour, bool topDown, double lat,
                      double lon) {
    const QString connection = QStringLiteral("map-maker-") + path;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec("CREATE TABLE metadata (name TEXT, value TEXT)"));
        ASSERT_TRUE(q.exec("CREATE TABLE tiles (zoom_level INTEGER, tile_column INTEGER, tile_row INTEGER, "
                           "tile_data BLOB)"));
        const std::pair<QString, QString> meta[] = {
            {"name", name}, {"format", "png"}, {"scheme", topDown ? "xyz" : "tms"},
            {"bounds", QStringLiteral("%1,%2,%3,%4").arg(lon - 0.05).arg(lat - 0.05).arg(lon + 0.05).arg(lat + 0.05)}};
        for (const auto& [k, v] : meta) {
            q.prepare("INSERT INTO metadata VALUES (?, ?)");
            q.addBindValue(k);
            q.addBindValue(v);
            ASSERT_TRUE(q.exec());
        }
        const QByteArray right = solidPng(colour), wrong = solidPng(QColor(0, 200, 0));
        ASSERT_TRUE(db.transaction());
        for (int z = 13; z <= 18; ++z) {
            const int cx = tileColumn(lon, z), cy = tileRow(lat, z), n = 1 << z;
            for (int x = cx - 3; x <= cx + 3; ++x)
                for (int y = cy - 3; y <= cy + 3; ++y)
                    for (const bool mine : {true, false}) {
                        q.prepare("INSERT INTO tiles VALUES (?, ?, ?, ?)");
                        q.addBindValue(z);
                        q.addBindValue(x);
                        q.addBindValue(mine == topDown ? y : n - 1 - y);
                        q.addBindValue(mine ? right : wrong);
                        ASSERT_TRUE(q.exec());
                    }
        }
        ASSERT_TRUE(db.commit());
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
}

} // namespace

TEST_F(MapPanelTest, SourcesComeFromSettingsWithDefaults) {
    WriteSetting("map", "3");
    EXPECT_EQ(StoredMapKind(), 1);
    WriteSetting("map", "2");
    EXPECT_EQ(StoredMapKind(), 2);
    WriteSetting("map", "");
    EXPECT_EQ(StoredMapKind(), 1);
    EXPECT_EQ(MapPageFor(2), "Map.baidu.html");
    EXPECT_EQ(MapPageFor(7), "Map.html");

    const MapSource world = DefaultMapSource(1);
    EXPECT_TRUE(world.url.contains("openstreetmap.org"));
    EXPECT_TRUE(world.attribution.contains("OpenStreetMap"));
    EXPECT_EQ(world.coords, "wgs84");
    EXPECT_EQ(MapHostFor(world).port, 443);
    EXPECT_EQ(MapSourceFor(2).coords, "gcj02");
    EXPECT_EQ(MapHostFor(MapSourceFor(2)).host, "127.0.0.1"); // the test environment's stand-in
    EXPECT_TRUE(MapUserAgent("Mozilla/5.0").contains("Quillent/"));

    WriteSetting("mapTiles1", "http://127.0.0.1:8123/{z}/{x}/{y}.png");
    WriteSetting("mapMaxZoom1", "99"); // out of range: the default holds
    EXPECT_EQ(MapHostFor(MapSourceFor(1)).host, "127.0.0.1");
    EXPECT_EQ(MapHostFor(MapSourceFor(1)).port, 8123);
    EXPECT_EQ(MapSourceFor(1).maxZoom, 19);
    WriteSetting("mapTiles1", "");
    WriteSetting("mapMaxZoom1", "");
}

TEST_F(MapPanelTest, RouteMarkerTilesOfflineLayerAndSeeks) {
    ASSERT_TRUE(QFileInfo::exists(QUILLENT_BIN_DIR "/skin/leaflet/leaflet.js")) << "build the skin target";
    ASSERT_TRUE(QFileInfo::exists(QUILLENT_BIN_DIR "/skin/basemap/basemap.js")) << "build the skin target";
    TileServer tiles;
    ASSERT_TRUE(tiles.listen());
    const quint16 port = tiles.port();
    WriteSetting("map", "1");
    WriteSetting("mapTiles1", "http://127.0.0.1:" + std::to_string(port) + "/{z}/{x}/{y}.png");
    WriteSetting("mapTiles2", "http://127.0.0.1:" + std::to_string(port) + "/cn/{z}/{x}/{y}.png");

    ConnectivityMonitor monitor;
    monitor.setInterval(200);
    monitor.setTarget("127.0.0.1", port);
    MapPanel map(nullptr, &monitor);
    map.resize(640, 480);
    map.show();
    monitor.start();

    PlaybackSession session;
    map.setSession(&session);
    OpenRecording rec;
    rec.trackRangeMs = 10000;
    QSignalSpy loaded(&map, &MapPanel::pageLoaded);
    session.open(rec, route(37.5, 127.0, 10)); // Seoul, ten samples a second apart
    ASSERT_TRUE(loaded.wait(20000));
    ASSERT_TRUE(
        waitForState(map, [](const QJsonObject& s) { return s["online"].toBool() && s["tiles"].toBool(); }));
    QJsonObject s = state(map);
    EXPECT_TRUE(s["base"].toBool());
    EXPECT_EQ(s["route"].toInt(), 10);

    // Position 5000 ms: sample 5 at (37.505, 127.005); the page was told latitude first.
    session.publishPosition(5000);
    EXPECT_NEAR(map.currentLatitude(), 37.505, 1e-6);
    EXPECT_EQ(map.currentTimeText(), "2024-05-06 12:00:05");
    ASSERT_TRUE(waitForState(map, [](const QJsonObject& s) { return !s["marker"].isNull(); }));
    s = state(map);
    EXPECT_NEAR(s["marker"].toArray()[0].toDouble(), 37.505, 1e-6);
    EXPECT_NEAR(s["marker"].toArray()[1].toDouble(), 127.005, 1e-6);
    EXPECT_EQ(s["travelled"].toInt(), 7); // route points 0..5 and the marker
    EXPECT_GT(s["heading"].toDouble(), 0);
    EXPECT_LT(s["heading"].toDouble(), 90); // north-east

    // The tile under the marker was asked for, at the page's zoom.
    const int z = s["zoom"].toInt();
    const double n = std::pow(2.0, z);
    const int tx = static_cast<int>((127.005 + 180) / 360 * n);
    const double latRad = 37.505 * M_PI / 180;
    const int ty = static_cast<int>((1 - std::log(std::tan(latRad) + 1 / std::cos(latRad)) / M_PI) / 2 * n);
    const QString tile = QStringLiteral("/%1/%2/%3.png").arg(z).arg(tx).arg(ty);
    ASSERT_TRUE(waitForState(map, [&](const QJsonObject&) { return tiles.paths.contains(tile); }))
        << tile.toStdString() << " not in " << tiles.paths.join(' ').toStdString();

    // Keeping the recording's map for offline use (the page's button): the tiles along the route
    // from the server, at most the cap, with the progress and the end in the status line.
    WriteSetting("mapKeepTiles", "12");
    WriteSetting("mapKeepPause", "10");
    ASSERT_TRUE(waitForState(map, [](const QJsonObject& s) { return !s["keep"].toString().isEmpty(); }));
    const qsizetype before = tiles.paths.size();
    runScript(map.view()->page(), "document.querySelector('.q-status-keep').click()");
    ASSERT_TRUE(waitForState(map, [](const QJsonObject& s) {
        return s["status"].toString().contains("12 tiles kept for offline use");
    })) << state(map)["status"].toString().toStdString();
    EXPECT_GE(tiles.paths.size() - before, 12);
    EXPECT_TRUE(std::any_of(tiles.paths.begin() + before, tiles.paths.end(),
                            [](const QString& p) { return p.startsWith("/12/"); }));
    WriteSetting("mapKeepTiles", "");
    WriteSetting("mapKeepPause", "");

    // The same sample again makes no page call; clearPath empties the travelled part.
    const int calls = map.markerCalls();
    session.publishPosition(5050);
    EXPECT_EQ(map.markerCalls(), calls);
    map.clearMapPath();
    ASSERT_TRUE(waitForState(map, [](const QJsonObject& s) { return s["travelled"].toInt() == 0; }));

    // resizeScript: the map takes the panel's new size.
    map.resize(500, 300);
    ASSERT_TRUE(
        waitForState(map, [](const QJsonObject& s) { return s["size"].toArray()[0].toInt() == 500; }));

    // A click on the route seeks to that sample's moment (sample 3 -> 3000 ms).
    QSignalSpy seeks(&session, &PlaybackSession::seekRequested);
    const QStringList xy = runScript(map.view()->page(), "mapPointOf(37.503, 127.003)").toString().split(',');
    ASSERT_EQ(xy.size(), 2);
    const QString hit =
        runScript(map.view()->page(),
                  QStringLiteral("(function(){var e=document.elementFromPoint(%1,%2);if(!e)return 'none';"
                                 "e.dispatchEvent(new MouseEvent('click',{clientX:%1,clientY:%2,"
                                 "bubbles:true}));return e.tagName;})()")
                      .arg(xy[0], xy[1]))
            .toString();
    EXPECT_EQ(hit, "path") << xy.join(',').toStdString();
    ASSERT_TRUE(!seeks.isEmpty() || seeks.wait(5000));
    EXPECT_EQ(seeks[0][0].toLongLong(), 3000);

    // The tile server goes away: the monitor notices, the page says so and keeps drawing the
    // route and the marker over what the program still has; when it returns, tiles come back.
    tiles.close();
    ASSERT_TRUE(waitForState(map, [](const QJsonObject& s) { return !s["online"].toBool(); }));
    session.publishPosition(8000);
    ASSERT_TRUE(waitForState(map, [](const QJsonObject& s) {
        return s["status"].toString().startsWith("Offline") &&
               std::abs(s["marker"].toArray()[0].toDouble() - 37.508) < 1e-6;
    })) << QJsonDocument(state(map)).toJson().toStdString();
    ASSERT_TRUE(tiles.listen(port));
    ASSERT_TRUE(
        waitForState(map, [](const QJsonObject& s) { return s["online"].toBool() && s["tiles"].toBool(); }));

    // The map of mainland China: positions drawn shifted to GCJ-02 (Beijing moves by about
    // +0.0014 latitude and +0.0062 longitude); its tiles come from its own source.
    QSignalSpy reloaded(&map, &MapPanel::pageLoaded);
    map.reloadMapPage(2);
    ASSERT_TRUE(!reloaded.isEmpty() || reloaded.wait(20000));
    // The open recording's route is drawn again and fitted at street scale, and stays so once the
    // page's zoom animations (a quarter of a second) are over: this source's least zoom (3) is
    // above the fresh page's, which once pulled the view back out to it after the fit.
    EXPECT_TRUE(waitForState(map, [](const QJsonObject& s) { return s["route"].toInt() == 10; }));
    QTest::qWait(800);
    EXPECT_GE(state(map)["zoom"].toInt(), 14) << QJsonDocument(state(map)).toJson().toStdString();
    session.open(rec, route(39.9, 116.4, 10));
    session.publishPosition(0);
    ASSERT_TRUE(waitForState(map, [](const QJsonObject& s) { return !s["marker"].isNull(); }));
    s = state(map);
    EXPECT_EQ(s["coords"].toString(), "gcj02");
    const double dLat = s["marker"].toArray()[0].toDouble() - 39.9;
    const double dLon = s["marker"].toArray()[1].toDouble() - 116.4;
    EXPECT_GT(dLat, 0.0005);
    EXPECT_LT(dLat, 0.003);
    EXPECT_GT(dLon, 0.004);
    EXPECT_LT(dLon, 0.008);
    EXPECT_TRUE(waitForState(map, [&](const QJsonObject&) {
        return std::any_of(tiles.paths.begin(), tiles.paths.end(),
                           [](const QString& p) { return p.startsWith("/cn/"); });
    }));

    // Closing the recording empties the route; an empty sample array resets the current values.
    session.close();
    EXPECT_EQ(map.currentLatitude(), 0);
    EXPECT_TRUE(map.currentTimeText().isEmpty());
    ASSERT_TRUE(waitForState(map, [](const QJsonObject& s) { return s["route"].toInt() == 0; }));
}

TEST_F(MapPanelTest, TheMainWindowsPageTakesLongitudeFirst) {
    ASSERT_TRUE(QFileInfo::exists(QUILLENT_BIN_DIR "/skin/map.htm")) << "build the skin target";
    BrowserHost view;
    view.resize(400, 300);
    view.show();
    QSignalSpy loaded(&view, &BrowserHost::pageLoaded);
    view.navigate("map.htm");
    ASSERT_TRUE(loaded.wait(20000));
    runScript(view.page(), "DrawCurrent('127.000000', '37.500000')");
    const QJsonObject s =
        QJsonDocument::fromJson(runScript(view.page(), "mapState()").toString().toUtf8()).object();
    EXPECT_NEAR(s["marker"].toArray()[0].toDouble(), 37.5, 1e-9);
    EXPECT_NEAR(s["marker"].toArray()[1].toDouble(), 127.0, 1e-9);
    // No position fix (0, 0) leaves the marker where it was.
    runScript(view.page(), "DrawCurrent('0.000000', '0.000000')");
    const QJsonObject t =
        QJsonDocument::fromJson(runScript(view.page(), "mapState()").toString().toUtf8()).object();
    EXPECT_NEAR(t["marker"].toArray()[0].toDouble(), 37.5, 1e-9);
}

// MBTiles files of both row orders served to the page through the tile scheme, offline: the page
// draws each file's own colour (never the other order's), a file chosen first wins, a bad file
// is named in the status line and the next one is shown.
TEST_F(MapPanelTest, MapFilesOfBothRowOrdersAreDrawnOffline) {
    ASSERT_TRUE(QFileInfo::exists(QUILLENT_BIN_DIR "/skin/leaflet/leaflet.js")) << "build the skin target";
    QTemporaryDir dir;
    const double lat = 37.5665, lon = 126.978;
    const QString topDown = dir.filePath("top-down.mbtiles"), bottomUp = dir.filePath("bottom-up.mbtiles");
    writeColouredMap(topDown, "Red rows from the top", QColor(220, 30, 30), true, lat, lon);
    writeColouredMap(bottomUp, "Blue rows from the bottom", QColor(30, 30, 220), false, lat, lon);
    QFile notMap(dir.filePath("notes.mbtiles"));
    ASSERT_TRUE(notMap.open(QIODevice::WriteOnly));
    notMap.write("not a map");
    notMap.close();

    WriteSetting("map", "1");
    WriteSetting("mapTiles1", "");
    ConnectivityMonitor monitor; // never started: offline
    MapPanel map(nullptr, &monitor);
    map.resize(640, 480);
    map.show();
    PlaybackSession session;
    map.setSession(&session);
    OpenRecording rec;
    rec.trackRangeMs = 3000;
    RecordingData data;
    for (int i = 0; i < 3; ++i) {
        CGpsData g;
        g.valid = 1;
        g.latitude = nmea(lat + i * 0.0005);
        g.longitude = nmea(lon + i * 0.0005);
        data.gps.push_back(g);
    }

    // The colour the page shows at a spot away from the route, the marker and the controls.
    auto shownColour = [&] { return QColor(map.view()->grab().toImage().pixel(560, 150)); };
    auto near = [](const QColor& a, const QColor& b) {
        return std::abs(a.red() - b.red()) < 40 && std::abs(a.green() - b.green()) < 40 &&
               std::abs(a.blue() - b.blue()) < 40;
    };
    struct Case {
        const char* what;
        QStringList files;
        QColor colour;
        const char* source;
        const char* message;
    };
    const Case cases[] = {
        {"rows from the top", {topDown}, QColor(220, 30, 30), "Red rows from the top", nullptr},
        {"rows from the bottom", {bottomUp}, QColor(30, 30, 220), "Blue rows from the bottom", nullptr},
        {"the first choice wins", {bottomUp, topDown}, QColor(30, 30, 220), "Blue rows", nullptr},
        {"a bad file is passed by", {dir.filePath("notes.mbtiles"), topDown}, QColor(220, 30, 30), "Red rows",
         "no SQLite database"},
        {"a missing file is passed by", {dir.filePath("gone.mbtiles"), bottomUp}, QColor(30, 30, 220), "Blue rows",
         "cannot be found"},
    };
    bool first = true;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        StoreMapFiles(c.files);
        QSignalSpy loaded(&map, &MapPanel::pageLoaded);
        if (first)
            session.open(rec, data);
        else
            map.reloadMapPage(1);
        first = false;
        ASSERT_TRUE(loaded.wait(20000));
        ASSERT_TRUE(waitForState(map, [](const QJsonObject& s) { return s["route"].toInt() == 3; }));
        const int zoom = state(map)["zoom"].toInt();
        EXPECT_GE(zoom, 15);
        EXPECT_LE(zoom, 17);
        QColor seen;
        for (int i = 0; i < 100 && !near(seen = shownColour(), c.colour); ++i)
            QTest::qWait(100);
        EXPECT_TRUE(near(seen, c.colour)) << seen.name().toStdString();
        ASSERT_TRUE(waitForState(map, [&](const QJsonObject& s) {
            return s["status"].toString().contains(c.source) && (!c.message || s["status"].toString().contains(c.message));
        })) << state(map)["status"].toString().toStdString();
        EXPECT_TRUE(state(map)["status"].toString().startsWith("Offline"));
    }
    StoreMapFiles({});
    session.close();
}

// The map settings: map files are checked as they are added (a bad one is refused with the reason),
// their order and the cache bound are stored on OK, and the panel is asked to reload.
TEST_F(MapPanelTest, MapSettingsTakeFilesInOrderAndTheCacheBound) {
    QTemporaryDir dir;
    const QString a = dir.filePath("a.mbtiles"), b = dir.filePath("b.mbtiles");
    writeColouredMap(a, "A", Qt::red, true, 37.5, 127.0);
    writeColouredMap(b, "B", Qt::blue, false, 37.5, 127.0);
    StoreMapFiles({b});
    int reloaded = 0;
    MapSettingsDialog dlg([&](int kind) { reloaded = kind; });
    EXPECT_EQ(dlg.files(), QStringList{b});
    EXPECT_TRUE(dlg.addFile(a).isEmpty());
    EXPECT_TRUE(dlg.addFile(dir.filePath("none.mbtiles")).contains("cannot be found"));
    EXPECT_EQ(dlg.files(), (QStringList{b, a}));
    dlg.findChild<QSpinBox*>("mapCacheSize")->setValue(50);
    dlg.accept();
    EXPECT_EQ(reloaded, 1);
    EXPECT_EQ(StoredMapFiles(), (QStringList{b, a}));
    EXPECT_EQ(MapCacheBytes(), 50LL * 1024 * 1024);
    StoreMapFiles({});
    WriteSetting("mapCacheSize", "");
}
