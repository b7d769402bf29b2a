// The data panels, run by hand (headless unless a display is set):
//   build/bench/panels_bench
// Opening: a recording with 3,600 GPS and 36,000 G-sensor samples reaches the speed, G-sensor and
// accelerometer panels and each is drawn once (curves included) at its docked size in a
// 1920 x 1080 window; the map page's route for the same recording, until the page has it.
// Tick: one clock tick with every panel visible (position published, the panels repainted, the
// map page told when the GPS sample changed), the UI thread's time.
#include "core/config/Settings.h"
#include "ui/page/BrowserHost.h"
#include "ui/map/MapPanel.h"
#include "ui/map/ConnectivityMonitor.h"
#include "ui/panels/DataPanelSet.h"
#include "ui/playback/PlaybackSession.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEnginePage>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>

namespace {

RecordingData hourOfDriving() {
    RecordingData data;
    for (int i = 0; i < 3600; ++i) {
        CGpsData s;
        s.valid = 1;
        s.latitude = 3730.0 + i * 0.01;
        s.longitude = 12700.0 + std::sin(i / 300.0) * 5;
        s.speed = 30 + 20 * std::sin(i / 200.0);
        data.gps.push_back(s);
    }
    for (int i = 0; i < 36000; ++i) {
        CGsensorData g;
        g.x = 0.3f * std::sin(i / 50.0f);
        g.y = 0.4f * std::cos(i / 70.0f);
        g.z = 1.0f + 0.05f * std::sin(i / 5.0f);
        g.magnitude = std::sqrt(g.x * g.x + g.y * g.y + g.z * g.z);
        data.gsensor.push_back(g);
    }
    return data;
}

// The docked places in a 1920 x 1080 window (a = 789, b = 942).
struct Window {
    QWidget top;
    ConnectivityMonitor monitor; // never started: no connection checks
    DataPanelSet panels{&top, &monitor};
    Window() {
        top.resize(1920, 1080);
        panels.gsensor()->setGeometry(795, 508, 785, 231);
        panels.speed()->setGeometry(795, 743, 785, 231);
        panels.accelerometer()->setGeometry(1584, 508, 785, 467);
        panels.map()->setGeometry(1584, 68, 320, 436);
        top.show();
        QApplication::processEvents();
    }
};

void waitForPage(QWebEnginePage* page, const QString& js) {
    QEventLoop loop;
    page->runJavaScript(js, [&](const QVariant&) { loop.quit(); });
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    loop.exec();
}

void BM_OpenRecordingDrawsThePanels(benchmark::State& state) {
    Window w;
    PlaybackSession session;
    w.panels.setSession(&session);
    OpenRecording rec;
    rec.trackRangeMs = 3540000;
    const RecordingData data = hourOfDriving();
    for (auto _ : state) {
        session.open(rec, data);
        w.panels.speed()->repaint();
        w.panels.gsensor()->repaint();
        w.panels.accelerometer()->repaint();
    }
}
BENCHMARK(BM_OpenRecordingDrawsThePanels)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_OpenRecordingMapRoute(benchmark::State& state) {
    Window w;
    PlaybackSession session;
    MapPanel* map = w.panels.map();
    map->setSession(&session);
    OpenRecording rec;
    rec.trackRangeMs = 3540000;
    const RecordingData data = hourOfDriving();
    QEventLoop loaded;
    QObject::connect(map, &MapPanel::pageLoaded, &loaded, &QEventLoop::quit);
    session.open(rec, data);
    QTimer::singleShot(30000, &loaded, &QEventLoop::quit);
    loaded.exec();
    for (auto _ : state) {
        session.open(rec, data); // the route goes to the page
        waitForPage(map->view()->page(), "mapState()");
    }
}
BENCHMARK(BM_OpenRecordingMapRoute)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();

void BM_TickAllPanelsVisible(benchmark::State& state) {
    Window w;
    PlaybackSession session;
    w.panels.setSession(&session);
    OpenRecording rec;
    rec.trackRangeMs = 3540000;
    QEventLoop loaded;
    QObject::connect(w.panels.map(), &MapPanel::pageLoaded, &loaded, &QEventLoop::quit);
    session.open(rec, hourOfDriving());
    QTimer::singleShot(30000, &loaded, &QEventLoop::quit);
    loaded.exec();
    QApplication::processEvents();
    int64_t pos = 0;
    for (auto _ : state) {
        pos += 100;
        session.publishPosition(pos);
        QApplication::sendPostedEvents();
        QApplication::processEvents(); // the paints of the invalidated plot areas
    }
}
BENCHMARK(BM_TickAllPanelsVisible)->Unit(benchmark::kMicrosecond)->Iterations(600);

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
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
