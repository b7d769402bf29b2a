// The trips window on an indexed card of about 1,000 one-minute recordings, run by hand:
//   QT_QPA_PLATFORM=offscreen build/bench/trips_window_bench [--card <folder>] [--runs N]
// Without --card the card is generated into a temporary folder first (as trips_bench does: a few
// minutes, about 2.5 GB). The card is indexed once through the window; then the window is closed
// and opened again N times, each time timed from the "btnTrips" command to the map drawn with
// every trip (page loaded, index read, trips built, routes and events drawn), and the page's own
// drawing time of the trips on an open window.
#include "core/config/Settings.h"
#include "core/config/ViewerConfig.h"
#include "ui/app/MainWindow.h"
#include "ui/page/BrowserHost.h"
#include "ui/playback/PlaybackSession.h"
#include "ui/trips/TripsPageData.h"
#include "ui/trips/TripsWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEnginePage>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Runs the event loop until `done` holds or `limitMs` passed; false on the limit.
template <class Done> bool spin(Done done, int limitMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > limitMs)
            return false;
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    fs::path card;
    int runs = 5;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--card" && i + 1 < argc)
            card = argv[++i];
        else if (a == "--runs" && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
    }
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (::geteuid() == 0) // as root the web engine's renderer only starts without its sandbox
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", qgetenv("QTWEBENGINE_CHROMIUM_FLAGS") + " --no-sandbox");
    QTemporaryDir work;
    // The index and the settings of this run only.
    qputenv("XDG_DATA_HOME", (work.path() + "/data").toUtf8());
    QApplication app(argc, argv);
    SetSettingsDirectoryForTesting((work.path() + "/settings").toStdString());
    LoadViewerConfigFile(QUILLENT_BIN_DIR "/viewerconfig.cfg", ViewerConfig::Instance());
    BrowserHost::setSkinFolder(QStringLiteral(QUILLENT_BIN_DIR "/skin"));
    if (card.empty()) {
        card = fs::path(work.path().toStdString()) / "card";
        const std::string command = std::string("'") + QUILLENT_BIN_DIR + "/quillent-samplecard' '" +
                                    card.string() + "' --drives 286 --clip-seconds 60 > /dev/null";
        std::fprintf(stderr, "generating %s ...\n", card.c_str());
        if (std::system(command.c_str()) != 0)
            return 1;
    }

    PlaybackSession session;
    MainWindow window(session);
    window.show();
    auto open = [&]() -> TripsWindow* {
        window.commands().run(QStringLiteral("btnTrips"), 0);
        TripsWindow* w = window.findChild<TripsWindow*>();
        if (w)
            w->showCard(card);
        return w;
    };

    // First the index is built (not timed here: trips_bench times the indexing).
    QElapsedTimer clock;
    clock.start();
    TripsWindow* w = open();
    bool indexed = false;
    QObject::connect(w, &TripsWindow::indexingFinished, [&] { indexed = true; });
    if (!spin([&] { return indexed && w->isPageReady(); }, 30 * 60 * 1000))
        return 1;
    std::fprintf(stderr, "indexed %zu recordings, %zu trips in %lld ms\n", w->recordings().size(),
                 w->trips().size(), static_cast<long long>(clock.elapsed()));
    size_t points = 0;
    for (const auto& r : w->recordings())
        points += r.track.size();

    std::vector<double> reopen, load;
    for (int run = 0; run < runs; ++run) {
        delete w;
        clock.restart();
        w = open();
        qint64 loadMs = -1;
        int drawn = 0;
        auto shown = QObject::connect(w, &TripsWindow::tripsShown, [&](int count, qint64 ms) {
            if (count > 0) {
                drawn = count;
                loadMs = ms;
            }
        });
        if (!spin([&] { return loadMs >= 0; }, 60000))
            return 1;
        reopen.push_back(double(clock.elapsed()));
        load.push_back(double(loadMs));
        std::fprintf(stderr, "run %d: %d trips drawn %lld ms after the command\n", run + 1, drawn,
                     static_cast<long long>(clock.elapsed()));
        QObject::disconnect(shown);
        w->cancelIndexing();
        spin([&] { return !w->isIndexing(); }, 60000);
    }
    // The same on the open window, without its page load, and the parts of it.
    std::vector<double> redraw, json;
    for (int run = 0; run < runs; ++run) {
        qint64 loadMs = -1;
        auto c = QObject::connect(w, &TripsWindow::tripsShown, [&](int, qint64 ms) { loadMs = ms; });
        w->reloadFromIndex();
        spin([&] { return loadMs >= 0; }, 60000);
        QObject::disconnect(c);
        redraw.push_back(double(loadMs));
        clock.restart();
        const QByteArray page = tripsPageJson(w->recordings(), w->trips());
        json.push_back(double(clock.elapsed()));
        if (run == 0)
            std::printf("page data %lld KB\n", static_cast<long long>(page.size() / 1024));
    }
    std::printf("recordings %zu, trips %zu, route points %zu\n", w->recordings().size(), w->trips().size(),
                points);
    std::printf("open window, trips read again and drawn: median %.0f ms\n", median(redraw));
    std::printf("  of which the page data: median %.0f ms (the index read: trips_bench BM_ReopenToTrips)\n",
                median(json));
    std::printf("re-open to a drawn trips map: median %.0f ms (of %d)\n", median(reopen), runs);
    std::printf("  of which index read, trips, page data and drawing: median %.0f ms\n", median(load));
    delete w;
    return 0;
}
