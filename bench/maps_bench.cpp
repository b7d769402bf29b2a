// Map tiles from an MBTiles file, run by hand (headless unless a display is set):
//   build/bench/maps_bench
// Read: one tile out of the file (SQLite query and the check that the file is still there).
// Service: one tile through the map tile service (the files in order, the answer handed over).
// ToPage: a page of the web engine (file origin, as the map pages) loads 256 tiles of the file
// one after the other through the tile scheme; the time from setting an image's source to its
// load event, as the page measures it (median, 95th percentile and worst in the counters).
#include "core/config/Settings.h"
#include "core/maps/MapTileService.h"
#include "core/maps/MbTilesFile.h"
#include "core/maps/MbTilesWriter.h"
#include "ui/page/BrowserHost.h"
#include "ui/map/MapTileScheme.h"

#include <QApplication>
#include <QDebug>
#include <QBuffer>
#include <QEventLoop>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kZoom = 16;
constexpr int kX0 = 55880, kY0 = 25370, kSide = 16; // 256 tiles of central Seoul

QTemporaryDir& folder() {
    static QTemporaryDir dir;
    return dir;
}

// A street-map-like tile: ground, a few roads, about 10 KB as PNG.
QByteArray drawnTile(int seed) {
    QImage image(256, 256, QImage::Format_RGB32);
    image.fill(QColor(0xf2, 0xef, 0xe9));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QRandomGenerator random(seed);
    for (int i = 0; i < 12; ++i) {
        p.setPen(QPen(i % 3 ? Qt::white : QColor(0xfc, 0xd6, 0x8a), 4 + random.bounded(8)));
        p.drawLine(random.bounded(256), random.bounded(256), random.bounded(256), random.bounded(256));
    }
    p.end();
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

const QString& mapFile() {
    static const QString path = [] {
        const QString p = folder().filePath(QStringLiteral("bench.mbtiles"));
        MbTilesWriter w(p);
        w.begin({{"name", "Bench"}, {"format", "png"}, {"minzoom", "16"}, {"maxzoom", "16"}});
        for (int x = 0; x < kSide; ++x)
            for (int y = 0; y < kSide; ++y)
                w.addTile(kZoom, kX0 + x, kY0 + y, drawnTile(x * kSide + y));
        w.commit();
        return p;
    }();
    return path;
}

void BM_MbTilesRead(benchmark::State& state) {
    MbTilesFile file(mapFile());
    if (!file.open()) {
        state.SkipWithError(file.error().toStdString().c_str());
        return;
    }
    int i = 0;
    for (auto _ : state) {
        QByteArray bytes;
        file.tile(kZoom, kX0 + i % kSide, kY0 + (i / kSide) % kSide, &bytes);
        benchmark::DoNotOptimize(bytes.size());
        ++i;
    }
}
BENCHMARK(BM_MbTilesRead)->Unit(benchmark::kMicrosecond);

void BM_TileServiceFetch(benchmark::State& state) {
    MapTileService service;
    service.setFiles({mapFile()});
    QObject context;
    int i = 0;
    for (auto _ : state) {
        qsizetype size = 0;
        service.fetch(1, kZoom, kX0 + i % kSide, kY0 + (i / kSide) % kSide, &context,
                      [&](const TileAnswer& a) { size = a.bytes.size(); });
        benchmark::DoNotOptimize(size);
        ++i;
    }
}
BENCHMARK(BM_TileServiceFetch)->Unit(benchmark::kMicrosecond);

QVariant run(QWebEnginePage* page, const QString& js) {
    QVariant result;
    QEventLoop loop;
    page->runJavaScript(js, [&](const QVariant& r) {
        result = r;
        loop.quit();
    });
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    loop.exec();
    return result;
}

void BM_TileToPage(benchmark::State& state) {
    BrowserHost view; // the map page's own host and origin
    SetCardMapFiles({mapFile()});
    PrepareMapTiles();
    view.resize(400, 300);
    view.show();
    QEventLoop loaded;
    QObject::connect(&view, &QWebEngineView::loadFinished, &loaded, &QEventLoop::quit);
    view.navigate(QStringLiteral("map.htm"));
    QTimer::singleShot(20000, &loaded, &QEventLoop::quit);
    loaded.exec();
    std::vector<double> times;
    int round = 0;
    for (auto _ : state) {
        const QString base = MapTileTemplate(1).replace(QLatin1String("{z}"), QString::number(kZoom));
        run(view.page(), QStringLiteral(
                             "window.times = null; (async function () { var t = [];"
                             "for (var x = 0; x < %1; ++x) for (var y = 0; y < %1; ++y) {"
                             "  var url = %2.replace('{x}', %3 + x).replace('{y}', %4 + y) + '&r=%5';"
                             "  var s = performance.now();"
                             "  await new Promise(function (ok) { var i = new Image(); i.onload = ok;"
                             "    i.onerror = function () { s = -1; ok(); }; i.src = url; });"
                             "  t.push(s < 0 ? -1 : performance.now() - s); }"
                             "window.times = JSON.stringify(t); })(); ''")
                             .arg(kSide)
                             .arg(QString::fromUtf8(QJsonDocument(QJsonArray{base}).toJson(QJsonDocument::Compact)) +
                                  QStringLiteral("[0]"))
                             .arg(kX0)
                             .arg(kY0)
                             .arg(round++));
        QVariant result;
        for (int i = 0; i < 400 && (result = run(view.page(), QStringLiteral("window.times"))).isNull(); ++i) {
            QEventLoop wait;
            QTimer::singleShot(25, &wait, &QEventLoop::quit);
            wait.exec();
        }
        const QJsonArray list = QJsonDocument::fromJson(result.toString().toUtf8()).array();
        double total = 0;
        for (const auto& v : list) {
            times.push_back(v.toDouble());
            total += v.toDouble();
        }
        state.SetIterationTime(total / 1000.0 / std::max<qsizetype>(1, list.size()));
    }
    std::sort(times.begin(), times.end());
    if (times.empty() || times.front() < 0) {
        qWarning() << "tiles measured:" << times.size() << "failed:" << std::count(times.begin(), times.end(), -1.0);
        state.SkipWithError("a tile did not load");
        return;
    }
    state.counters["tiles"] = double(times.size());
    state.counters["median_ms"] = times[times.size() / 2];
    state.counters["p95_ms"] = times[times.size() * 95 / 100];
    state.counters["max_ms"] = times.back();
}
BENCHMARK(BM_TileToPage)->Unit(benchmark::kMillisecond)->Iterations(5)->UseManualTime();

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu", 0);
    setenv("QUILLENT_MAP_TILES", "http://127.0.0.1:9/{z}/{x}/{y}.png", 0);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QTemporaryDir settings;
    SetSettingsDirectoryForTesting(settings.path().toStdString());
    BrowserHost::setSkinFolder(QStringLiteral(QUILLENT_BIN_DIR "/skin"));
    WriteSetting("mapCacheFolder", folder().filePath(QStringLiteral("cache")).toStdString());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
