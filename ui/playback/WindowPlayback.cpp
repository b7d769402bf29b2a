#include "ui/playback/WindowPlayback.h"

#include "media/playback/PlaybackEngine.h"
#include "ui/common/WindowMetrics.h"
#include "ui/screens/VideoScreen.h"
#include "ui/screens/ZoomWindow.h"
#include "ui/screens/RefreshPacer.h"

#include <QElapsedTimer>
#include <QScreen>
#include <QTimer>

#include <cstdio>

namespace {
std::array<VideoScreen*, 4> createScreens(QWidget& window) {
    std::array<VideoScreen*, 4> screens{};
    for (int i = 0; i < 4; ++i)
        screens[i] = new VideoScreen(i, &window);
    screens[3]->hide();
    return screens;
}
} // namespace

WindowPlayback::WindowPlayback(QWidget& window, PlaybackSession& session, PlaybackEngineHolder& engine,
                               PlaybackState& state, RecordingList& list, BusyFlag& busy)
    : m_window(window), m_screens(createScreens(window)),
      m_opener(session, engine, state, list, busy, &window), m_clock(session, engine, state, list, m_opener),
      m_docking(engine, &window), m_startup(list, state, m_clock) {
    engine.attachWindows({m_screens[0], m_screens[1], m_screens[2], m_screens[3]});
    m_opener.setScreens(m_screens);
    m_docking.connectScreens(m_screens);
    if (qEnvironmentVariableIsSet("QUILLENT_PLAYBACK_STATS"))
        startStats(engine);
}

void WindowPlayback::startStats(PlaybackEngineHolder& engine) {
    // Once a second on the error output, for the whole-program benchmark: pictures handed to the
    // screens and painted, the video sinks' presented and late-skipped pictures, window updates.
    auto* timer = new QTimer(this);
    auto* since = new QElapsedTimer;
    since->start();
    connect(timer, &QTimer::destroyed, [since] { delete since; });
    connect(timer, &QTimer::timeout, this, [this, &engine, since] {
        quint64 presented = 0, painted = 0;
        for (const VideoScreen* screen : m_screens) {
            presented += screen->framesPresented();
            painted += screen->framesPainted();
        }
        PlaybackEngine* e = engine.engine();
        std::fprintf(stderr,
                     "playback-stats ms=%lld presented=%llu painted=%llu rendered=%llu dropped=%llu "
                     "updates=%llu position=%llu\n",
                     (long long)since->elapsed(), (unsigned long long)presented, (unsigned long long)painted,
                     (unsigned long long)(e ? e->getRenderedFrames() : 0),
                     (unsigned long long)(e ? e->getDroppedFrames() : 0),
                     (unsigned long long)RefreshPacer::instance().updates(),
                     (unsigned long long)engine.getPositionMs());
        std::fflush(stderr);
    });
    timer->start(1000);
}

WindowPlayback::~WindowPlayback() {
    shutdown();
}

void WindowPlayback::shutdown() {
    m_clock.returnToIdle();
    m_opener.shutdown();
    if (m_zoom)
        m_zoom->hide();
    // Floating screens are top-level windows: bring them home so they close with the window.
    for (int i = 0; i < 4; ++i) {
        if (m_screens[i] && m_screens[i]->isFloating())
            m_docking.dockOrFloat(i, true);
    }
}

void WindowPlayback::toggleZoom() {
    if (!m_zoom) {
        m_zoom = new ZoomWindow(&m_window);
        // Opened where it covers none of the player bar's controls; after that it stays where
        // the user puts it.
        const QSize size(425, 330);
        const QRect client(m_window.mapToGlobal(QPoint(0, 0)), m_window.size());
        const QScreen* screen = m_window.screen();
        const QRect available = screen ? screen->availableGeometry() : client;
        m_zoom->setGeometry(QRect(ZoomWindow::placement(client, available, size, kPlayerBarHeight), size));
        // Its close button hides it, as the command does.
        connect(m_zoom, &ZoomWindow::closedByUser, this, &WindowPlayback::toggleZoom);
    }
    m_zoom->setVisible(!m_zoom->isVisible());
}
