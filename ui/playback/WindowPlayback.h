// The main window's playback parts: the four video screens, the player that draws into them, the
// screen docking and the zoom window, built over the session, the shared state, the list and the
// busy flag. Nothing here calls the window: it follows the session, ScreenDocking::dockedChanged
// and the screens' own signals.
#pragma once

#include "ui/playback/Player.h"
#include "ui/screens/ScreenDocking.h"
#include "ui/screens/ZoomWindow.h"

#include <QObject>
#include <QPointer>

#include <array>

class WindowPlayback : public QObject {
    Q_OBJECT
public:
    // `window`: the main window the screens, the busy window and the message boxes belong to;
    // `playerBarHeight`: the height of its player bar at the bottom, which the zoom window keeps clear.
    WindowPlayback(QWidget& window, PlaybackSession& session, PlaybackState& state, RecordingList& list,
                   BusyFlag& busy, int playerBarHeight);
    ~WindowPlayback() override;

    // The screens, created as children of the window (screen 3 hidden) and drawn into by the player.
    const std::array<VideoScreen*, 4>& screens() const { return m_screens; }
    Player& player() { return m_player; }
    ScreenDocking& docking() { return m_docking; }
    ZoomWindow* zoomWindow() const { return m_zoom; }

    // The zoom command: show or hide the zoom window.
    void toggleZoom();
    // The window is closing: the player stops, floating screens come home.
    void shutdown();

private:
    // QUILLENT_PLAYBACK_STATS set: prints the picture counts once a second (benchmarks).
    void startStats();

    QWidget& m_window;
    int m_playerBarHeight;
    std::array<VideoScreen*, 4> m_screens{};
    Player m_player;
    ScreenDocking m_docking;
    QPointer<ZoomWindow> m_zoom;
};
