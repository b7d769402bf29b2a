// The main window's playback parts: the four video screens, the opening of recordings, the clock,
// the screen docking, the single-file open and the zoom window, built over the session, the
// engine holder, the shared state, the list and the busy flag. Nothing here calls the window: it
// follows the session, ScreenDocking::dockedChanged and the screens' own signals.
#pragma once

#include "ui/playback/Player.h"
#include "ui/playback/RecordingOpener.h"
#include "ui/screens/ScreenDocking.h"
#include "ui/playback/StartupOpener.h"
#include "ui/screens/ZoomWindow.h"

#include <QObject>
#include <QPointer>

#include <array>

class WindowPlayback : public QObject {
    Q_OBJECT
public:
    // `window`: the main window the screens, the busy window and the message boxes belong to.
    WindowPlayback(QWidget& window, PlaybackSession& session, PlaybackEngineHolder& engine,
                   PlaybackState& state, RecordingList& list, BusyFlag& busy);
    ~WindowPlayback() override;

    // The screens, created as children of the window (screen 3 hidden) and attached to the engine.
    const std::array<VideoScreen*, 4>& screens() const { return m_screens; }
    RecordingOpener& opener() { return m_opener; }
    Player& clock() { return m_clock; }
    ScreenDocking& docking() { return m_docking; }
    StartupOpener& startup() { return m_startup; }
    ZoomWindow* zoomWindow() const { return m_zoom; }

    // Command 1121 and message 0x501 (2): show or hide the zoom window.
    void toggleZoom();
    // The window is closing: the clock stops, the busy window goes, floating screens come home.
    void shutdown();

private:
    // QUILLENT_PLAYBACK_STATS set: prints the picture counts once a second (benchmarks).
    void startStats(PlaybackEngineHolder& engine);

    QWidget& m_window;
    std::array<VideoScreen*, 4> m_screens{};
    RecordingOpener m_opener;
    Player m_clock;
    ScreenDocking m_docking;
    StartupOpener m_startup;
    QPointer<ZoomWindow> m_zoom;
};
